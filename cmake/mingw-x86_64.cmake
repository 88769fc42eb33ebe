# Cross-build for 64-bit Windows with Debian's MinGW-w64 toolchain: the
# win64 package, and the same sources and tests run under 64-bit Wine on
# machines that cannot execute 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
