# GoogleTest for the Windows builds, and the registration of test programs
# that run under Wine.
#
# GoogleTest is built from Debian's sources with the cross toolchain; only
# what the test programs link is built.  Test programs are registered to run
# through wine-run.sh (the cross-compiling emulator), one ctest entry per
# program, so building never starts Wine.  Every run uses a prefix inside
# the build directory that the <flavour>_prefix test creates first.

set(GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to cross-build")

if(NOT TARGET GTest::gtest)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  add_subdirectory(${GOOGLETEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own flags are its business; ours would only add noise.
  foreach(target gtest gtest_main)
    target_compile_options(${target} PRIVATE -w)
  endforeach()
  # The win32 thread model's libstdc++ has no std::mutex; a port
  # customisation header replaces the one GoogleTest class that needs it.
  target_include_directories(gtest BEFORE PUBLIC ${PROJECT_SOURCE_DIR}/cmake/gtest-custom)
  # Recent GoogleTest versions define these aliases themselves.
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()

set(WINE_RUNNER ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh)
set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wineprefix)
set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_RUNNER} --prefix ${WINE_PREFIX_DIR})
# Test names carry the Wine flavour, so that a skipped 32-bit run reads as
# such in ctest's summary.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(WINE_ARCH x86_64)
  set(WINE_TEST_PREFIX wine64)
else()
  set(WINE_ARCH i686)
  set(WINE_TEST_PREFIX wine32)
endif()

# Creates the throwaway prefix once per ctest run, before any Wine test.
add_test(NAME ${WINE_TEST_PREFIX}_prefix COMMAND ${WINE_RUNNER} --prefix ${WINE_PREFIX_DIR} --boot ${WINE_ARCH})
set_tests_properties(${WINE_TEST_PREFIX}_prefix PROPERTIES
  FIXTURES_SETUP wine_prefix
  SKIP_RETURN_CODE 77
  TIMEOUT 300)

# Keeps fresh copies of the DLLs under test in `dir`, recopied whenever a
# DLL is rebuilt (not only when a test program is relinked).
function(_wine_test_dlls_in dir out_target)
  string(MAKE_C_IDENTIFIER "wine_dlls_${dir}" copy_target)
  if(NOT TARGET ${copy_target})
    add_custom_command(
      OUTPUT ${dir}/portopt.dll ${dir}/comlist.dll ${dir}/portprofile.dll
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:portopt> $<TARGET_FILE:comlist>
              $<TARGET_FILE:portprofile> ${dir}
      DEPENDS portopt comlist portprofile
      VERBATIM)
    add_custom_target(${copy_target} DEPENDS ${dir}/portopt.dll ${dir}/comlist.dll
                                             ${dir}/portprofile.dll)
  endif()
  set(${out_target} ${copy_target} PARENT_SCOPE)
endfunction()

# Makes `target` a program to run under Wine.  It finds the DLLs under
# test next to itself, and links its runtime statically so that Wine needs
# nothing but its own system DLLs.
function(add_wine_program target)
  target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
  get_target_property(dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT dir)
    set(dir ${CMAKE_CURRENT_BINARY_DIR})
  endif()
  _wine_test_dlls_in(${dir} copy_target)
  add_dependencies(${target} ${copy_target})
endfunction()

# Registers the Wine program `target` as a test.
function(add_wine_test target)
  add_wine_program(${target})
  add_test(NAME ${WINE_TEST_PREFIX}_${target} COMMAND ${target})
  set_tests_properties(${WINE_TEST_PREFIX}_${target} PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    RESOURCE_LOCK wine_prefix
    SKIP_RETURN_CODE 77
    TIMEOUT 240)
endfunction()
