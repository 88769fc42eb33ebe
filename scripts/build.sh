#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds the 32-bit Windows deliverables
# (portopt.dll, comlist.dll, portctl.exe) and the host build on the
# simulated Windows, and ends by running the host portctl on the demo
# machine: every COM port with its adapter and options.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset host >/dev/null
cmake --build --preset host

echo
echo "Built for Windows (32-bit):"
for file in source/dll/portopt.dll comlist/comlist.dll tools/portctl/portctl.exe; do
  echo "  build/windows/$file"
done
echo
echo "$ build/host/tools/portctl/portctl list     # the demo machine"
build/host/tools/portctl/portctl list
