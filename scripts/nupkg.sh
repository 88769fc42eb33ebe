#!/usr/bin/env bash
# Builds the .NET library's NuGet package into build/package (or
# $PACKAGE_DIR): Portopt.<version>.nupkg, with build/windows' DLLs under
# runtimes/win-x86/native and build/windows64's under
# runtimes/win-x64/native.  The version is the project's, from
# CMakeLists.txt.  Configures the two presets when needed and builds their
# DLLs first.  Where dotnet is missing, says so and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-$PWD/build/windows}
WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$PWD/build/windows64}
PACKAGE_DIR=${PACKAGE_DIR:-$PWD/build/package}

if ! command -v dotnet >/dev/null 2>&1; then
    echo "SKIPPED: Portopt.nupkg: dotnet is not installed"
    exit 0
fi
scripts/install-deps.sh --wine  # the MinGW toolchains, when missing

for build in "windows $WINDOWS_BUILD_DIR" "windows64 $WINDOWS64_BUILD_DIR"; do
    set -- $build
    [[ -f "$2/CMakeCache.txt" ]] || cmake --preset "$1" -B "$2" >/dev/null
    cmake --build "$2" --target portopt comlist -j "$JOBS" >/dev/null
done

source dotnet/dotnet-env.sh
mkdir -p "$PACKAGE_DIR"
rm -f "$PACKAGE_DIR"/Portopt.*.nupkg
dotnet pack dotnet/Portopt -c Release -o "$PACKAGE_DIR" --disable-build-servers --nologo -v quiet \
    -p:PortoptWindowsBuild="$WINDOWS_BUILD_DIR" -p:PortoptWindows64Build="$WINDOWS64_BUILD_DIR"
ls -l "$PACKAGE_DIR"/Portopt.*.nupkg
