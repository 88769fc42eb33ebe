#!/usr/bin/env bash
# Runs every test: the Windows builds' suites under Wine and the DLLs' PE
# header checks (scripts/wine-tests.sh), the Python wheels, the NuGet
# package and the PowerShell module's ZIP from those builds
# (scripts/wheels.sh, scripts/nupkg.sh, scripts/psmodule.sh), then the host
# suites on the simulated Windows, which include the Python package's, the
# .NET library's and the PowerShell module's tests and the wheels', NuGet
# package's and module ZIP's checks,
# the same suites under AddressSanitizer with UndefinedBehaviorSanitizer and
# under ThreadSanitizer, and every fuzz target for 15 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --wine
scripts/wine-tests.sh
scripts/wheels.sh
scripts/nupkg.sh
scripts/psmodule.sh

for preset in host asan tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
scripts/fuzz.sh 15
