#!/usr/bin/env bash
# Builds the release packages: portopt-<version>-win32.zip and
# portopt-<version>-win64.zip in build/package/, from the windows and
# windows64 presets, and beside them the .NET library's NuGet package
# Portopt.<version>.nupkg (scripts/nupkg.sh) and the PowerShell module
# portopt-<version>-powershell.zip (scripts/psmodule.sh), both where dotnet
# is installed.
# Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --wine

mkdir -p build/package
for preset in windows windows64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "${JOBS:-2}"
  cpack --config "build/$preset/CPackConfig.cmake" -B build/package >/dev/null
done
# cpack's staging area; only the ZIPs are the result.
rm -rf build/package/_CPack_Packages
ls -l build/package/*.zip
scripts/nupkg.sh
scripts/psmodule.sh
