#!/usr/bin/env bash
# Builds the release packages into build/package (or $PACKAGE_DIR) from the
# windows and windows64 presets:
#   portopt-<version>-win32.zip, -win64.zip  the DLLs, portctl.exe, headers,
#                                            import libraries, CMake package
#   portopt-<version>-symbols.zip            win32/ and win64/: the debug
#                                            information of every shipped
#                                            PE file, NAME.debug, which each
#                                            names in its debug link
#   Portopt.<version>.nupkg                  the .NET library (scripts/nupkg.sh)
#   portopt-<version>-powershell.zip         the PowerShell module (scripts/psmodule.sh)
#   portopt-<version>-x86.msi, -x64.msi      the installers (scripts/msi.sh)
# the last three where dotnet is installed.  Every package ships the
# binaries of scripts/release-tree.sh: stripped, then signed.
#
# Signing: with PORTOPT_SIGN_PFX and PORTOPT_SIGN_PASSWORD (and optionally
# PORTOPT_SIGN_TIMESTAMP_URL) set, every PE file, the module's assemblies,
# manifest and formats, the MSIs and the NuGet package are signed
# (scripts/sign.sh); without them everything is built unsigned, and the
# script says so in one line.  Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sign.sh

scripts/install-deps.sh --wine
export INSTALL_DEPS_DONE=1
export RELEASE_DIR=$(realpath -m "${RELEASE_DIR:-build/release}")
export PACKAGE_DIR=$(realpath -m "${PACKAGE_DIR:-build/package}")
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
signing_say

scripts/release-tree.sh
export PORTOPT_RELEASE_TREE_READY=1
mkdir -p "$PACKAGE_DIR"
for arch in win32 win64; do
    rm -f "$PACKAGE_DIR/portopt-$version-$arch.zip"
    (cd "$RELEASE_DIR" && cmake -E tar cf "$PACKAGE_DIR/portopt-$version-$arch.zip" --format=zip "portopt-$version-$arch")
done
rm -f "$PACKAGE_DIR/portopt-$version-symbols.zip"
(cd "$RELEASE_DIR/symbols" && cmake -E tar cf "$PACKAGE_DIR/portopt-$version-symbols.zip" --format=zip win32 win64)
ls -l "$PACKAGE_DIR"/*.zip
scripts/nupkg.sh
scripts/psmodule.sh
scripts/msi.sh
