#!/bin/sh
# Steps of the package tests, each one ctest entry (see CMakeLists.txt):
#
#   package-test.sh unpack ZIP DIR BUILD_DIR SOURCE_DIR FILE...
#       unpacks the ZIP into DIR, checks that it holds each FILE (relative
#       to its top directory) and that no file in it names the build or
#       source directory, i.e. that the package works wherever it lies
#   package-test.sh cmake-consumer PACKAGE_DIR OUT TOOLCHAIN
#       configures and builds consumer/ in OUT with find_package(portopt)
#   package-test.sh msvc-consumer PACKAGE_DIR OUT i686|x86_64
#       compiles consumer/consumer.cpp for MSVC's ABI with clang and links it
#       with lld-link against the package's .lib files, without any C runtime
#
# The package's top directory within DIR is DIR/package.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "package-test: $*" >&2; exit 1; }

# Runs a command, showing its output only when it fails.
quietly() {
    log=$(mktemp)
    if "$@" >"$log" 2>&1; then rm -f "$log"; return 0; fi
    cat "$log" >&2
    rm -f "$log"
    return 1
}

unpack() {
    zip=$1 dir=$2 build=$3 source=$4
    shift 4
    [ -f "$zip" ] || fail "no package at $zip"
    rm -rf "$dir"
    mkdir -p "$dir/unzip"
    (cd "$dir/unzip" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
    # One top directory, named after the ZIP.
    top="$dir/unzip/$(basename "$zip" .zip)"
    [ -d "$top" ] || fail "$zip has no top directory $(basename "$zip" .zip)"
    mv "$top" "$dir/package"
    for file in "$@"; do
        [ -f "$dir/package/$file" ] || fail "$zip lacks $file"
    done
    for path in "$build" "$source"; do
        if grep -rlaF -e "$path" "$dir/package" >&2; then
            fail "the files above name $path; the package would not work elsewhere"
        fi
    done
    echo "package-test: $(basename "$zip"): $(find "$dir/package" -type f | wc -l) files, no build paths"
}

cmake_consumer() {
    package=$1 out=$2 toolchain=$3
    rm -rf "$out"
    # portopt_DIR rather than CMAKE_PREFIX_PATH: the MinGW toolchain file
    # confines package searches to its sysroot.
    quietly cmake -S "$here/consumer" -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -Dportopt_DIR="$package/lib/cmake/portopt" ||
        fail "the consumer project does not configure against $package"
    quietly cmake --build "$out" || fail "the consumer project does not build against $package"
}

msvc_consumer() {
    package=$1 out=$2 arch=$3
    case $arch in
        i686) machine=i386; kernel32_exports="GetLastError@0 SetLastError@4 ExitProcess@4" ;;
        x86_64) machine=i386:x86-64; kernel32_exports="GetLastError SetLastError ExitProcess" ;;
        *) fail "unknown architecture $arch" ;;
    esac
    rm -rf "$out"
    mkdir -p "$out"
    # The few kernel32 calls the consumer makes; -k imports them by their
    # plain names.
    printf 'LIBRARY kernel32.dll\nEXPORTS\n' >"$out/kernel32.def"
    for name in $kernel32_exports; do echo "  $name" >>"$out/kernel32.def"; done
    llvm-dlltool -k -m "$machine" -d "$out/kernel32.def" -l "$out/kernel32.lib"
    clang --target="$arch-pc-windows-msvc" -O2 -Wall -Wextra -Werror -DCONSUMER_NO_RUNTIME \
        -I"$package/include" -c "$here/consumer/consumer.cpp" -o "$out/consumer.obj"
    lld-link -nologo -nodefaultlib -subsystem:console -entry:consumer_start \
        "$out/consumer.obj" "$package/lib/portopt.lib" "$package/lib/comlist.lib" \
        "$package/lib/portprofile.lib" \
        "$out/kernel32.lib" -out:"$out/consumer.exe"
    cp "$package/bin/portopt.dll" "$package/bin/comlist.dll" "$package/bin/portprofile.dll" "$out/"
}

step=${1:-}
[ $# -ge 1 ] && shift
case $step in
    unpack) [ $# -ge 4 ] || fail "usage: $0 unpack ZIP DIR BUILD_DIR SOURCE_DIR FILE..."; unpack "$@" ;;
    cmake-consumer) [ $# -eq 3 ] || fail "usage: $0 cmake-consumer PACKAGE_DIR OUT TOOLCHAIN"; cmake_consumer "$@" ;;
    msvc-consumer) [ $# -eq 3 ] || fail "usage: $0 msvc-consumer PACKAGE_DIR OUT ARCH"; msvc_consumer "$@" ;;
    *) fail "usage: $0 unpack|cmake-consumer|msvc-consumer ..." ;;
esac
