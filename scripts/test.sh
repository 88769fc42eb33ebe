#!/usr/bin/env bash
# Runs every test: the host suites on the simulated Windows, the DLLs' PE
# header checks, and the Windows builds' suites under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --wine

cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

scripts/wine-tests.sh
