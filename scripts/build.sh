#!/usr/bin/env bash
# Sets up a fresh Debian machine, builds both presets (the 32-bit DLLs and
# the host build on the simulated Windows) and shows what the DLLs export
# and import.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset windows >/dev/null
cmake --build --preset windows
cmake --preset host >/dev/null
cmake --build --preset host

for dll in build/windows/source/dll/portopt.dll build/windows/comlist/comlist.dll; do
  echo "== $dll"
  i686-w64-mingw32-objdump -p "$dll" |
    awk '/^\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
         t && /^[ \t]*\[/ {print "  exports " $NF; next}
         {t = 0}
         /DLL Name:/ {print "  imports " $3}'
done
