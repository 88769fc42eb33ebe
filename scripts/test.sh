#!/usr/bin/env bash
# Runs every test: the Windows builds' suites under Wine and the DLLs' PE
# header checks (scripts/wine-tests.sh), then the host suites on the
# simulated Windows, the same suites under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer, and every fuzz
# target for 20 seconds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --wine
scripts/wine-tests.sh

for preset in host asan tsan; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset"
done
scripts/fuzz.sh 20
