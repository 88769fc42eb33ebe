#!/usr/bin/env bash
# Installs the Debian packages the builds need, when they are missing.
#   scripts/install-deps.sh          host and 32-bit Windows builds
#   scripts/install-deps.sh --wine   also the 64-bit build, what the Wine
#                                    test runs need, and clang and lld for
#                                    the package's MSVC-ABI consumer test
# clang-14 builds the fuzz targets; libFuzzer and the sanitizer runtimes
# come with libclang-rt-14-dev, llvm-symbolizer with llvm-14.
set -euo pipefail

# llvm: llvm-dlltool and llvm-readobj make the MSVC import libraries.
# python3-pefile reads the built binaries' PE headers (tests/pe).
packages=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 llvm
          python3 python3-pytest python3-setuptools python3-wheel python3-pefile clang-14 libclang-rt-14-dev llvm-14)
if [[ "${1:-}" == "--wine" ]]; then
  packages+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 wine32:i386 clang lld)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  $sudo dpkg --add-architecture i386
fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
