#!/usr/bin/env bash
# Builds the PowerShell module for Windows into build/package (or
# $PACKAGE_DIR): portopt-<version>-powershell.zip, which unpacks to one
# folder, Portopt/: the manifest Portopt.psd1, the cmdlets' assembly
# Portopt.PowerShell.dll, the .NET library Portopt.Net.dll, the formats, the
# help in en-US/, and build/windows' DLLs in x86/ and build/windows64's in
# x64/, where the library loads those of the process's bitness.  The
# version is the project's, from CMakeLists.txt.  Configures the two
# presets when needed and builds their DLLs first.  Where dotnet is
# missing, says so and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/dotnet-windows.sh "the PowerShell module"
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$PWD/build/psmodule
rm -rf "$work/Portopt"
dotnet build powershell/Portopt.PowerShell -c Release --disable-build-servers --nologo -v quiet \
    -p:ArtifactsPath="$work/artifacts" -p:ModuleFolder="$work/Portopt" \
    -p:PortoptWindowsBuild="$WINDOWS_BUILD_DIR" -p:PortoptWindows64Build="$WINDOWS64_BUILD_DIR" >"$work.log" 2>&1 \
    || { cat "$work.log"; exit 1; }

mkdir -p "$PACKAGE_DIR"
zip=$(cd "$PACKAGE_DIR" && pwd)/portopt-$version-powershell.zip
rm -f "$zip"
(cd "$work" && cmake -E tar cf "$zip" --format=zip Portopt)
ls -l "$zip"
