#!/usr/bin/env bash
# Builds the installers portopt-<version>-x86.msi and -x64.msi into
# build/package (or $PACKAGE_DIR) with wixl, from the release tree of each
# bitness and the PowerShell module's folder that scripts/release-tree.sh
# and scripts/psmodule.sh leave in build/release (or $RELEASE_DIR); what
# goes where: installer/make_wxs.py.
#
#   scripts/msi.sh [VERSION]
#
# VERSION is the product version the MSIs carry, by default the project's
# (a test builds an older one to upgrade from).  wixl has no Environment
# element: msibuild adds the table make_wxs.py writes for it (portctl's
# folder on the system PATH) and the actions that write and take away the
# PATH entry.  Signs both MSIs when a
# certificate is given (scripts/sign.sh).  Where the module's folder is
# missing (no dotnet), says so and builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/sign.sh

RELEASE_DIR=$(realpath -m "${RELEASE_DIR:-build/release}")
PACKAGE_DIR=$(realpath -m "${PACKAGE_DIR:-build/package}")
project_version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
version=${1:-$project_version}
module=$RELEASE_DIR/psmodule/Portopt
if [[ ! -f $module/Portopt.psd1 ]]; then
    echo "SKIPPED: the MSIs: no PowerShell module in $module (scripts/psmodule.sh builds it; it needs dotnet)"
    exit 0
fi

make_wxs=$PWD/installer/make_wxs.py
mkdir -p "$PACKAGE_DIR"
for entry in "x86 win32" "x64 win64"; do
    set -- $entry
    msi=$PACKAGE_DIR/portopt-$version-$1.msi
    work=$RELEASE_DIR/msi-$1
    rm -rf "$work" "$msi"
    mkdir -p "$work"
    # wixl takes the files' paths relative to the folder it runs in.
    (cd "$RELEASE_DIR" && python3 -B "$make_wxs" "$1" "$version" "portopt-$project_version-$2" psmodule/Portopt "$work" &&
        wixl -a "$1" -o "$msi" "$work/portopt.wxs")
    msibuild "$msi" -i "$work/Environment.idt" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)" \
        -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)"
    sign_files "$msi"
done
ls -l "$PACKAGE_DIR"/portopt-"$version"-x86.msi "$PACKAGE_DIR"/portopt-"$version"-x64.msi
