# The release package of a Windows build: `cmake --install` lays out
#   bin/                 the DLLs and portctl.exe
#   include/             the DLLs' headers
#   lib/                 MSVC (.lib) and MinGW (.dll.a) import libraries
#   lib/cmake/portopt/   the CMake package (portopt::portopt, portopt::comlist,
#                        portopt::portprofile, portopt::portctl)
#   share/doc/portopt/   the README
# and cpack turns that into portopt-<version>-win32.zip or -win64.zip.
include(CMakePackageConfigHelpers)

# Every PE file the packages ship, by target: scripts/release-tree.sh
# builds them (target `shipped`) and takes every DLL and program `cmake
# --install` puts into bin/ into the ZIPs, the MSIs, and (the DLLs) the
# NuGet package and the PowerShell module.  A new DLL or program is one
# more name here.
set(PORTOPT_SHIPPED_TARGETS portopt comlist portprofile portctl)
add_custom_target(shipped)
foreach(target IN LISTS PORTOPT_SHIPPED_TARGETS)
  add_dependencies(shipped ${target})
  if(TARGET ${target}_msvc_lib)
    add_dependencies(shipped ${target}_msvc_lib)
  endif()
endforeach()

set(package_config_dir lib/cmake/portopt)
# Checks the version and that the consumer's pointer size matches the
# package's, so a 64-bit project never picks the 32-bit package.
write_basic_package_version_file(${CMAKE_BINARY_DIR}/portoptConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/portoptConfig.cmake
              ${CMAKE_BINARY_DIR}/portoptConfigVersion.cmake
        DESTINATION ${package_config_dir})
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/portopt)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(package_arch win64)
else()
  set(package_arch win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME portopt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME portopt-${PROJECT_VERSION}-${package_arch})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
# Where `cpack` in the build directory puts the ZIP.
set(PACKAGE_ZIP ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.zip)
include(CPack)
