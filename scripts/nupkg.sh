#!/usr/bin/env bash
# Builds the .NET library's NuGet package into build/package (or
# $PACKAGE_DIR): Portopt.<version>.nupkg, with build/windows' DLLs under
# runtimes/win-x86/native and build/windows64's under
# runtimes/win-x64/native.  The version is the project's, from
# CMakeLists.txt.  Configures the two presets when needed and builds their
# DLLs first.  Where dotnet is missing, says so and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/dotnet-windows.sh Portopt.nupkg
mkdir -p "$PACKAGE_DIR"
rm -f "$PACKAGE_DIR"/Portopt.*.nupkg
dotnet pack dotnet/Portopt -c Release -o "$PACKAGE_DIR" --disable-build-servers --nologo -v quiet \
    -p:PortoptWindowsBuild="$WINDOWS_BUILD_DIR" -p:PortoptWindows64Build="$WINDOWS64_BUILD_DIR"
ls -l "$PACKAGE_DIR"/Portopt.*.nupkg
