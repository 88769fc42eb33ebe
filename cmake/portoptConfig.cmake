# Imported targets of the portopt package:
#   portopt::portopt   portopt.dll, header portopt.h
#   portopt::comlist   comlist.dll, header comlist.h
#   portopt::portprofile  portprofile.dll, header portprofile.h (profiles)
#   portopt::portctl   portctl.exe, the command-line tool
# Every path is taken relative to this file, so the unpacked package works
# wherever it lies.  MSVC-style toolchains (cl, clang-cl, clang targeting
# MSVC) link the .lib import libraries, GNU ones MinGW's .dll.a.
get_filename_component(_portopt_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(MSVC OR CMAKE_C_SIMULATE_ID STREQUAL "MSVC" OR CMAKE_CXX_SIMULATE_ID STREQUAL "MSVC")
  set(_portopt_implib "lib/@name@.lib")
else()
  set(_portopt_implib "lib/lib@name@.dll.a")
endif()

foreach(_portopt_name IN ITEMS portopt comlist portprofile)
  if(NOT TARGET portopt::${_portopt_name})
    string(REPLACE "@name@" "${_portopt_name}" _portopt_lib "${_portopt_implib}")
    add_library(portopt::${_portopt_name} SHARED IMPORTED)
    set_target_properties(portopt::${_portopt_name} PROPERTIES
      IMPORTED_LOCATION "${_portopt_prefix}/bin/${_portopt_name}.dll"
      IMPORTED_IMPLIB "${_portopt_prefix}/${_portopt_lib}"
      INTERFACE_INCLUDE_DIRECTORIES "${_portopt_prefix}/include")
  endif()
endforeach()

if(NOT TARGET portopt::portctl)
  add_executable(portopt::portctl IMPORTED)
  set_target_properties(portopt::portctl PROPERTIES
    IMPORTED_LOCATION "${_portopt_prefix}/bin/portctl.exe")
endif()

unset(_portopt_name)
unset(_portopt_lib)
unset(_portopt_implib)
unset(_portopt_prefix)
