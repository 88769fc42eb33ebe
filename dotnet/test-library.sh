#!/usr/bin/env bash
# Builds the .NET library and its tests (into build/dotnet) and runs the
# tests.  ctest names the host build's pieces in the environment (see
# Portopt.Tests/TestMachine.cs); run by hand, they are taken from
# build/host.  Exits 77 (skipped) where dotnet is missing.
set -euo pipefail
cd "$(dirname "$0")"

if ! command -v dotnet >/dev/null 2>&1; then
    echo "SKIPPED: dotnet is not installed; the .NET library's tests need the .NET SDK"
    exit 77
fi
source ./dotnet-env.sh
dotnet test Portopt.Tests --disable-build-servers --nologo -v quiet --logger "console;verbosity=minimal"
