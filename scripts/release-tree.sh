#!/usr/bin/env bash
# Lays out what the release packages ship, from the windows and windows64
# presets, in $RELEASE_DIR (build/release):
#   portopt-<version>-win32/, -win64/   what `cmake --install` puts there
#                                      (bin/, include/, lib/, share/): the
#                                      ZIPs' contents, and the files the
#                                      MSIs, the NuGet package and the
#                                      PowerShell module take
#   symbols/win32/, symbols/win64/     the debug information of each PE
#                                      file in bin/, as NAME.debug
# Every PE file in bin/ loses its debug information and symbols, keeps a
# debug link to its NAME.debug, and is then signed when a certificate is
# given (scripts/sign.sh).  Builds the presets' `shipped` target first
# (cmake/package.cmake), configuring them when needed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sign.sh

JOBS=${JOBS:-2}
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-$PWD/build/windows}
WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$PWD/build/windows64}
RELEASE_DIR=${RELEASE_DIR:-$PWD/build/release}
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# objcopy stamps a PE file it writes with this time (else the current
# one), so the same build strips to the same bytes every time: the
# commit's time, as reproducible builds take it.
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 0)}

for entry in "windows $WINDOWS_BUILD_DIR win32 i686" "windows64 $WINDOWS64_BUILD_DIR win64 x86_64"; do
    set -- $entry
    [[ -f $2/CMakeCache.txt ]] || cmake --preset "$1" -B "$2" >/dev/null
    cmake --build "$2" --target shipped -j "$JOBS" >/dev/null
    tree=$RELEASE_DIR/portopt-$version-$3
    symbols=$RELEASE_DIR/symbols/$3
    rm -rf "$tree" "$symbols"
    mkdir -p "$symbols"
    cmake --install "$2" --prefix "$tree" >/dev/null
    for binary in "$tree"/bin/*.dll "$tree"/bin/*.exe; do
        name=$(basename "$binary")
        "$4-w64-mingw32-objcopy" --only-keep-debug "$binary" "$symbols/$name.debug"
        # The link names the file alone: a debugger looks for it beside the binary.
        (cd "$symbols" && "$4-w64-mingw32-objcopy" --strip-all --add-gnu-debuglink="$name.debug" "$binary")
    done
    sign_files "$tree"/bin/*.dll "$tree"/bin/*.exe
done
