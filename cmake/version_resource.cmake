# add_version_resource(TARGET DESCRIPTION): gives a Windows DLL or program
# a VERSIONINFO resource carrying the project version, DESCRIPTION as its
# file description, and its own file and internal name.  Does nothing on
# other platforms.
function(add_version_resource target description)
  if(NOT WIN32)
    return()
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(version_file_type VFT_APP)
    set(suffix .exe)
  else()
    set(version_file_type VFT_DLL)
    set(suffix .dll)
  endif()
  set(version_description "${description}")
  set(version_internal_name ${target})
  set(version_file_name ${target}${suffix})
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
