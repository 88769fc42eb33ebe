#!/usr/bin/env bash
# Runs every test: the Python wheels, the NuGet package, the PowerShell
# module's ZIP and the MSIs from the Windows builds' release tree
# (scripts/wheels.sh, scripts/nupkg.sh, scripts/psmodule.sh,
# scripts/msi.sh), the Windows builds' suites under
# Wine, the package and the module on Windows' own .NET among them, and the
# DLLs' PE header checks (scripts/wine-tests.sh), then the host
# suites on the simulated Windows, which include the Python package's, the
# .NET library's and the PowerShell module's tests, the wheels', NuGet
# package's and module ZIP's checks, and the MSIs' and signatures' tests,
# the same suites under AddressSanitizer with UndefinedBehaviorSanitizer, the
# suites in which threads meet under ThreadSanitizer, and every fuzz target
# for 15 seconds.
#
# Stops at the first step that fails, with its exit status.  Either way it
# ends with one line over every ctest run so far (scripts/test-summary.py):
# the counts, the tests that failed, and each test that was skipped, wholly
# or in part, with its reason.  Each run's results are kept as JUnit files
# in build/test-results (or $TEST_RESULTS_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."

export TEST_RESULTS_DIR=${TEST_RESULTS_DIR:-$PWD/build/test-results}
mkdir -p "$TEST_RESULTS_DIR"
rm -f "$TEST_RESULTS_DIR"/*.xml
summarise() {
  local status=$?
  if ! python3 scripts/test-summary.py "$TEST_RESULTS_DIR" "$status"; then
    echo "test summary: could not be made from $TEST_RESULTS_DIR" >&2
    [[ $status -ne 0 ]] || status=1
  fi
  exit "$status"
}
trap summarise EXIT

scripts/install-deps.sh --wine
export INSTALL_DEPS_DONE=1  # the scripts below need not check again
# The packages first: the Windows builds' suites run the NuGet package and
# the module's ZIP on Windows' own .NET under Wine.
# One release tree for every package, so each carries the same bytes.
scripts/release-tree.sh
export PORTOPT_RELEASE_TREE_READY=1
scripts/wheels.sh
scripts/nupkg.sh
scripts/psmodule.sh
scripts/msi.sh
scripts/wine-tests.sh

for preset in host asan tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  # Passed tests' output is kept whole: the summary looks in it for skipped cases.
  ctest --preset "$preset" --output-junit "$TEST_RESULTS_DIR/$preset.xml" --test-output-size-passed 1048576
done
scripts/fuzz.sh 15
