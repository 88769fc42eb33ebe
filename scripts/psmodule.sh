#!/usr/bin/env bash
# Builds the PowerShell module for Windows into build/package (or
# $PACKAGE_DIR): portopt-<version>-powershell.zip, which unpacks to one
# folder, Portopt/: the manifest Portopt.psd1, the cmdlets' assembly
# Portopt.PowerShell.dll, the .NET library Portopt.Net.dll with
# System.Text.Json and the packages it needs (for Windows PowerShell's .NET
# Framework), the formats, the help in en-US/, and the release tree's win32
# DLLs in x86/ and its win64 DLLs in x64/, where the library loads those of
# the process's bitness (scripts/release-tree.sh lays it out first).  The version is the
# project's, from CMakeLists.txt.  When a certificate is given
# (scripts/sign.sh), the two assemblies, the manifest and the formats are
# signed, so that the module loads under the AllSigned policy; the help
# file is XML, which Authenticode cannot sign and PowerShell does not
# check.  Where dotnet is missing, says so and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

source scripts/dotnet-windows.sh "the PowerShell module"
source scripts/sign.sh
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
work=$RELEASE_DIR/psmodule
rm -rf "$work/Portopt"
dotnet build powershell/Portopt.PowerShell -c Release --disable-build-servers --nologo -v quiet \
    -p:ArtifactsPath="$work/artifacts" -p:ModuleFolder="$work/Portopt" \
    -p:PortoptNativeX86="$NATIVE_X86_DIR" -p:PortoptNativeX64="$NATIVE_X64_DIR" >"$work.log" 2>&1 \
    || { cat "$work.log"; exit 1; }

# The native DLLs in x86/ and x64/ come signed from the release tree, and
# System.Text.Json and the packages it needs keep their publisher's
# signature.
sign_files "$work"/Portopt/Portopt.*.dll "$work"/Portopt/*.psd1 "$work"/Portopt/*.ps1xml

mkdir -p "$PACKAGE_DIR"
zip=$(cd "$PACKAGE_DIR" && pwd)/portopt-$version-powershell.zip
rm -f "$zip"
(cd "$work" && cmake -E tar cf "$zip" --format=zip Portopt)
ls -l "$zip"
