#!/usr/bin/env bash
# Builds the Windows presets and runs their test suites under Wine:
#   windows    the 32-bit DLLs; their suites need 32-bit Wine and a kernel
#              that runs 32-bit programs, and are reported as skipped where
#              either is missing
#   windows64  the same sources and tests built for x86-64, run by wine64
# then reads both builds' DLL headers on the host.  Installs missing Debian
# packages first.  Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}
failures=()

install_missing() {
    local packages=(cmake ninja-build g++ googletest libgtest-dev
                    g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386)
    local missing=() p
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    local sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    echo "wine-tests: installing ${missing[*]}"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386 || return 1
    fi
    $sudo apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
        "${missing[@]}" >/dev/null
}

step() {
    local name=$1
    shift
    echo "== wine-tests: $name"
    if ! "$@"; then
        echo "wine-tests: FAILED: $name" >&2
        failures+=("$name")
        return 1
    fi
}

run_preset() {
    local preset=$1
    step "configure $preset" cmake --preset "$preset" >/dev/null &&
        step "build $preset" cmake --build --preset "$preset" -j "$JOBS" &&
        step "test $preset" ctest --preset "$preset"
}

step "install missing packages" install_missing || exit 1

# Say up front why the 32-bit suites will be reported as skipped.
cmake/wine-run.sh --prefix "$PWD/build/windows/wineprefix" --check i686 ||
    echo "wine-tests: the windows preset's Wine tests will be reported as skipped"

run_preset windows
run_preset windows64

step "configure PE header check" cmake -S tests/pe -B build/pe-check -G Ninja \
        -DPE_WINDOWS_BUILD_DIR="$PWD/build/windows" \
        -DPE_WINDOWS64_BUILD_DIR="$PWD/build/windows64" >/dev/null &&
    step "build PE header check" cmake --build build/pe-check -j "$JOBS" &&
    step "PE header check" ctest --test-dir build/pe-check --output-on-failure

if [[ ${#failures[@]} -gt 0 ]]; then
    echo "wine-tests: failed: ${failures[*]}" >&2
    exit 1
fi
echo "wine-tests: all passed"
