include(${CMAKE_CURRENT_LIST_DIR}/version_resource.cmake)

if(WIN32)
  find_program(LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14 REQUIRED)
  find_program(LLVM_READOBJ NAMES llvm-readobj llvm-readobj-14 REQUIRED)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(MSVC_IMPORT_MACHINE i386:x86-64)
  else()
    set(MSVC_IMPORT_MACHINE i386)
  endif()
endif()

# add_msvc_import_lib(NAME): NAME.lib beside NAME.dll, the import library
# MSVC's linker takes, rebuilt whenever the DLL is.
function(add_msvc_import_lib name)
  add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.lib
    COMMAND ${CMAKE_COMMAND} -DDLL=$<TARGET_FILE:${name}> -DLIB=${CMAKE_CURRENT_BINARY_DIR}/${name}.lib
            -DMACHINE=${MSVC_IMPORT_MACHINE} -DREADOBJ=${LLVM_READOBJ} -DDLLTOOL=${LLVM_DLLTOOL}
            -P ${PROJECT_SOURCE_DIR}/cmake/msvc_import_lib.cmake
    DEPENDS ${name} ${PROJECT_SOURCE_DIR}/cmake/msvc_import_lib.cmake
    VERBATIM)
  add_custom_target(${name}_msvc_lib ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/${name}.lib)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${name}.lib DESTINATION lib)
endfunction()

# add_deliverable(NAME DEFINE DESCRIPTION): one of the shipped DLLs, built
# from every .cpp beside the calling CMakeLists.txt.
#
# Callers see only the public headers in include/: linking NAME gives that
# folder and nothing else.  The objects form NAME_internals, which the DLL
# links privately; its own folder and the platform layer are usage
# requirements of that target alone, so only a target that links
# NAME_internals by name (the DLL, white-box tests, fuzzers) can include the
# library's internal headers.  DEFINE marks the sources as the library's
# own, so its public header NAME.h exports the calls.  On Windows the DLL
# carries a version resource with DESCRIPTION, gets an MSVC import library
# besides MinGW's, and is installed with its header and both import
# libraries.
function(add_deliverable name define description)
  set(public_headers ${PROJECT_SOURCE_DIR}/include)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name}_internals OBJECT ${sources})
  target_include_directories(${name}_internals PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${public_headers})
  target_compile_definitions(${name}_internals PUBLIC ${define})
  target_link_libraries(${name}_internals PUBLIC platform)

  add_library(${name} SHARED)
  target_link_libraries(${name} PRIVATE ${name}_internals platform)
  target_include_directories(${name} INTERFACE ${public_headers})
  if(WIN32)
    set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "lib")
    # Only system DLLs at run time: the C++ runtime, libgcc and winpthread
    # are linked in.
    target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
    add_version_resource(${name} "${description}")
    add_msvc_import_lib(${name})
    install(TARGETS ${name} RUNTIME DESTINATION bin ARCHIVE DESTINATION lib)
    install(FILES ${public_headers}/${name}.h DESTINATION include)
  endif()
endfunction()
