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
# The presets' build directories, unless the caller picks others.
WINDOWS_BUILD_DIR=${WINDOWS_BUILD_DIR:-$PWD/build/windows}
WINDOWS64_BUILD_DIR=${WINDOWS64_BUILD_DIR:-$PWD/build/windows64}
# Each ctest run's results as JUnit, for scripts/test.sh's closing summary.
TEST_RESULTS_DIR=${TEST_RESULTS_DIR:-$PWD/build/test-results}
mkdir -p "$TEST_RESULTS_DIR"
failures=()

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

# Runs a command, showing its output only when it fails.
quietly() {
    local log
    log=$(mktemp)
    if "$@" >"$log" 2>&1; then
        rm -f "$log"
        return 0
    fi
    cat "$log" >&2
    rm -f "$log"
    return 1
}

run_preset() {
    local preset=$1 dir=$2
    step "configure $preset" quietly cmake --preset "$preset" -B "$dir" &&
        step "build $preset" cmake --build "$dir" -j "$JOBS" &&
        step "test $preset" ctest_run "$preset" --test-dir "$dir"
}

# Runs ctest, keeping its results as RESULTS_DIR/NAME.xml.
ctest_run() {
    local name=$1
    shift
    ctest "$@" --output-on-failure --output-junit "$TEST_RESULTS_DIR/$name.xml" \
        --test-output-size-passed 1048576
}

step "install missing packages" scripts/install-deps.sh --wine || exit 1

# Say up front why the 32-bit suites will be reported as skipped.
cmake/wine-run.sh --prefix "$WINDOWS_BUILD_DIR/wineprefix" --check i686 ||
    echo "wine-tests: the windows preset's Wine tests will be reported as skipped"

run_preset windows "$WINDOWS_BUILD_DIR"
run_preset windows64 "$WINDOWS64_BUILD_DIR"

step "configure PE header check" quietly cmake -S tests/pe -B build/pe-check -G Ninja \
        -DPE_WINDOWS_BUILD_DIR="$WINDOWS_BUILD_DIR" \
        -DPE_WINDOWS64_BUILD_DIR="$WINDOWS64_BUILD_DIR" &&
    step "PE header check" ctest_run pe-check --test-dir build/pe-check

if [[ ${#failures[@]} -gt 0 ]]; then
    echo "wine-tests: failed: ${failures[*]}" >&2
    exit 1
fi
echo "wine-tests: all passed"
