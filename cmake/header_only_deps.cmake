# CLI11 and nlohmann-json are header-only Debian packages under /usr/include.
# Their two directories are linked into one include directory of the build,
# so that the MinGW builds see them without seeing the host's /usr/include.
# Programs link the interface target header_only_deps.
if(TARGET header_only_deps)
  return()
endif()

find_path(CLI11_INCLUDE_DIR CLI/CLI.hpp HINTS /usr/include NO_CMAKE_FIND_ROOT_PATH)
find_path(NLOHMANN_JSON_INCLUDE_DIR nlohmann/json.hpp HINTS /usr/include NO_CMAKE_FIND_ROOT_PATH)
if(NOT CLI11_INCLUDE_DIR OR NOT NLOHMANN_JSON_INCLUDE_DIR)
  message(FATAL_ERROR "CLI11 and nlohmann-json headers are needed: "
                      "apt-get install libcli11-dev nlohmann-json3-dev (scripts/install-deps.sh)")
endif()

set(header_only_dir ${CMAKE_BINARY_DIR}/header-only-deps)
file(MAKE_DIRECTORY ${header_only_dir})
file(CREATE_LINK ${CLI11_INCLUDE_DIR}/CLI ${header_only_dir}/CLI SYMBOLIC)
file(CREATE_LINK ${NLOHMANN_JSON_INCLUDE_DIR}/nlohmann ${header_only_dir}/nlohmann SYMBOLIC)

add_library(header_only_deps INTERFACE)
target_include_directories(header_only_deps SYSTEM INTERFACE ${header_only_dir})
