#!/usr/bin/env bash
# Builds the .NET library's NuGet package into build/package (or
# $PACKAGE_DIR): Portopt.<version>.nupkg, with the release tree's win32
# DLLs under runtimes/win-x86/native and its win64 DLLs under
# runtimes/win-x64/native (scripts/release-tree.sh lays it out first: the
# DLLs stripped of their debug information).  The version is the
# project's, from CMakeLists.txt.  When a certificate is given
# (scripts/sign.sh), the library's assembly is signed before it is packed,
# and the package after.  Where dotnet is missing, says so and builds
# nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/dotnet-windows.sh Portopt.nupkg
source scripts/sign.sh
mkdir -p "$PACKAGE_DIR"
rm -f "$PACKAGE_DIR"/Portopt.*.nupkg
artifacts=$RELEASE_DIR/nupkg-build
options=(-c Release --disable-build-servers --nologo -v quiet -p:ArtifactsPath="$artifacts"
    -p:PortoptNativeX86="$NATIVE_X86_DIR" -p:PortoptNativeX64="$NATIVE_X64_DIR")
dotnet build dotnet/Portopt "${options[@]}" >/dev/null
# One assembly for each target framework.
sign_files "$artifacts"/bin/Portopt/release_*/Portopt.Net.dll
dotnet pack dotnet/Portopt "${options[@]}" --no-build -o "$PACKAGE_DIR"
sign_nupkg "$PACKAGE_DIR"/Portopt.*.nupkg
ls -l "$PACKAGE_DIR"/Portopt.*.nupkg
