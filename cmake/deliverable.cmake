# add_deliverable(NAME DEFINE): one of the shipped DLLs, built from every
# .cpp beside the calling CMakeLists.txt.  The objects form NAME_core, which
# the shared library NAME and the host's white-box tests both link; DEFINE
# marks the sources as the library's own, so its header exports the calls.
function(add_deliverable name define)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name}_core OBJECT ${sources})
  target_include_directories(${name}_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(${name}_core PUBLIC ${define})
  target_link_libraries(${name}_core PUBLIC platform)

  add_library(${name} SHARED)
  target_link_libraries(${name} PRIVATE ${name}_core)
  if(WIN32)
    set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
    # Only system DLLs at run time: the C++ runtime, libgcc and winpthread
    # are linked in.
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  endif()
endfunction()
