#!/usr/bin/env bash
# Runs every test: the Windows builds' suites under Wine and the DLLs' PE
# header checks (scripts/wine-tests.sh), then the host suites on the
# simulated Windows.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --wine
scripts/wine-tests.sh

cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host
