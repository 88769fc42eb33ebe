#!/usr/bin/env bash
# Builds the Python package's Windows wheels into build/wheels (or $WHEEL_DIR):
#   portopt-<version>-py3-none-win32.whl      with build/windows' DLLs (x86)
#   portopt-<version>-py3-none-win_amd64.whl  with build/windows64's DLLs (x64)
# The version is the project's, from CMakeLists.txt.  Configures the two
# presets when needed and builds their DLLs first.
set -euo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}
PYTHON=${PYTHON:-/usr/bin/python3}
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-$PWD/build/windows}
WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$PWD/build/windows64}
WHEEL_DIR=${WHEEL_DIR:-$PWD/build/wheels}

scripts/install-deps.sh --wine  # the MinGW toolchains, when missing

staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
mkdir -p "$WHEEL_DIR"
rm -f "$WHEEL_DIR"/portopt-*.whl

# wheel PRESET BUILD_DIR PLATFORM_TAG DLL_FOLDER
wheel() {
    local preset=$1 dir=$2 tag=$3 folder=$4
    [[ -f "$dir/CMakeCache.txt" ]] || cmake --preset "$preset" -B "$dir" >/dev/null
    cmake --build "$dir" --target portopt comlist portprofile -j "$JOBS" >/dev/null

    # A copy of the package with the DLLs in it; CMakeLists.txt and
    # include/portopt.h beside it give setup.py the version and the header
    # the package reads the COM range from.
    local src=$staging/$tag
    mkdir -p "$src/python/portopt/$folder" "$src/include"
    cp CMakeLists.txt "$src/"
    cp include/portopt.h "$src/include/"
    cp python/pyproject.toml python/setup.py "$src/python/"
    cp python/portopt/*.py python/portopt/py.typed "$src/python/portopt/"
    cp "$dir/source/dll/portopt.dll" "$dir/comlist/comlist.dll" "$dir/profile/portprofile.dll" \
        "$src/python/portopt/$folder/"
    # setuptools' notes about the DLL folders and setup.py are shown only
    # when the build fails.
    if ! (cd "$src/python" &&
        "$PYTHON" setup.py -q bdist_wheel --plat-name "$tag" --python-tag py3 \
            --dist-dir "$WHEEL_DIR") >"$staging/$tag.log" 2>&1; then
        cat "$staging/$tag.log" >&2
        return 1
    fi
}

wheel windows "$WINDOWS_BUILD_DIR" win32 x86
wheel windows64 "$WINDOWS64_BUILD_DIR" win_amd64 x64
ls "$WHEEL_DIR"/portopt-*.whl
