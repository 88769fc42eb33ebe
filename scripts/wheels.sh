#!/usr/bin/env bash
# Builds the Python package's Windows wheels into build/wheels (or $WHEEL_DIR):
#   portopt-<version>-py3-none-win32.whl      with the release tree's win32 DLLs (x86)
#   portopt-<version>-py3-none-win_amd64.whl  with its win64 DLLs (x64)
# scripts/release-tree.sh lays the tree out in build/release (or
# $RELEASE_DIR) first, unless the caller has (PORTOPT_RELEASE_TREE_READY
# set): the DLLs stripped of their debug information, and signed when a
# certificate is given.  The version is the project's, from CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

PYTHON=${PYTHON:-/usr/bin/python3}
export RELEASE_DIR=${RELEASE_DIR:-$PWD/build/release}
WHEEL_DIR=${WHEEL_DIR:-$PWD/build/wheels}
version=$(sed -n 's/^project(portopt VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

scripts/install-deps.sh --wine  # the MinGW toolchains, when missing
[[ -n ${PORTOPT_RELEASE_TREE_READY:-} ]] || scripts/release-tree.sh

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
mkdir -p "$WHEEL_DIR"
rm -f "$WHEEL_DIR"/portopt-*.whl

# wheel RELEASE_ARCH PLATFORM_TAG DLL_FOLDER
wheel() {
    local bin=$RELEASE_DIR/portopt-$version-$1/bin tag=$2 folder=$3

    # A copy of the package with the DLLs in it; CMakeLists.txt and
    # include/portopt.h beside it give setup.py the version and the header
    # the package reads the COM range from.
    local src=$staging/$tag
    mkdir -p "$src/python/portopt/$folder" "$src/include"
    cp CMakeLists.txt "$src/"
    cp include/portopt.h "$src/include/"
    cp python/pyproject.toml python/setup.py "$src/python/"
    cp python/portopt/*.py python/portopt/py.typed "$src/python/portopt/"
    cp "$bin/portopt.dll" "$bin/comlist.dll" "$bin/portprofile.dll" "$src/python/portopt/$folder/"
    # setuptools' notes about the DLL folders and setup.py are shown only
    # when the build fails.
    if ! (cd "$src/python" &&
        "$PYTHON" setup.py -q bdist_wheel --plat-name "$tag" --python-tag py3 \
            --dist-dir "$WHEEL_DIR") >"$staging/$tag.log" 2>&1; then
        cat "$staging/$tag.log" >&2
        return 1
    fi
}

wheel win32 win32 x86
wheel win64 win_amd64 x64
ls "$WHEEL_DIR"/portopt-*.whl
