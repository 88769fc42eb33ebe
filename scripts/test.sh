#!/usr/bin/env bash
# Runs every test: the Windows builds' suites under Wine and the DLLs' PE
# header checks (scripts/wine-tests.sh), the Python wheels and the NuGet
# package from those builds (scripts/wheels.sh, scripts/nupkg.sh), then the
# host suites on the simulated Windows, which include the Python package's
# and the .NET library's tests and the wheels' and NuGet package's checks,
# the same suites under AddressSanitizer with UndefinedBehaviorSanitizer and
# under ThreadSanitizer, and every fuzz target for 15 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --wine
scripts/wine-tests.sh
scripts/wheels.sh
scripts/nupkg.sh

for preset in host asan tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
scripts/fuzz.sh 15
