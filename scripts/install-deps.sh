#!/usr/bin/env bash
# Installs the Debian packages the builds need, when they are missing.
#   scripts/install-deps.sh          host and 32-bit Windows builds
#   scripts/install-deps.sh --wine   also the 64-bit build, what the Wine
#                                    test runs need, and clang and lld for
#                                    the package's MSVC-ABI consumer test,
#                                    and what the release packages need:
#                                    wixl and msitools for the MSIs,
#                                    osslsigncode (2.8 or later, from
#                                    bookworm-backports where the release's
#                                    is older) and openssl for signing;
#                                    then, as an optional step, 32-bit Wine
# clang-14 builds the fuzz targets; libFuzzer and the sanitizer runtimes
# come with libclang-rt-14-dev, llvm-symbolizer with llvm-14.
#
# A package list that fails to download (a mirror in mid-sync) does not stop
# the script: apt-get update is tried three times, then the packages are
# installed from the lists there are.  A required package that still cannot
# be installed fails the script with apt's own messages.
#
# 32-bit Wine (wine32:i386 and what it pulls in) is optional: it is only
# tried on a machine that executes 32-bit programs, and never at the price
# of removing or downgrading an installed package.  When it cannot be
# installed the script says why in one line, leaves that reason in
# $WINE32_SKIP_REASON_FILE for cmake/wine-run.sh, which reports the 32-bit
# suites as skipped with it, and succeeds.
#
# Environment: INSTALL_DEPS_RETRY_PAUSE (seconds before the second try of
# apt-get update, doubled before the third; default 10); INSTALL_DEPS_EXEC32_PROBE
# (a program that exits 42 where 32-bit programs run; default a 96-byte
# i386 program written here); INSTALL_DEPS_SOURCES_DIR (where a package
# source is added; default /etc/apt/sources.list.d); INSTALL_DEPS_DONE
# (set: do nothing, the caller has run this script already).
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
reason_file=${WINE32_SKIP_REASON_FILE:-$root/build/wine32-skip-reason}
pause=${INSTALL_DEPS_RETRY_PAUSE:-10}
sources_dir=${INSTALL_DEPS_SOURCES_DIR:-/etc/apt/sources.list.d}
[[ -n "${INSTALL_DEPS_DONE:-}" ]] && exit 0

# llvm: llvm-dlltool and llvm-readobj make the MSVC import libraries.
# python3-pefile reads the built binaries' PE headers (tests/pe).
required=(cmake ninja-build g++ googletest libgtest-dev libbenchmark-dev nlohmann-json3-dev libcli11-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 llvm
          python3 python3-pytest python3-setuptools python3-wheel python3-pefile clang-14 libclang-rt-14-dev llvm-14)
wine32=()
if [[ "${1:-}" == "--wine" ]]; then
  required+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 clang lld wixl msitools osslsigncode openssl)
  wine32=(wine32:i386)
fi

say() { echo "install-deps: $*"; }

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

missing() {
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

as_root() {
  if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

apt_get() { as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@"; }

# What apt said, without its progress lines.
apt_messages() { grep -v -E '^(Reading|Building|Reading state|Calculating)' <<<"$1" | sed '/^[[:space:]]*$/d'; }

# apt's reason in one line: the first unmet dependency, else the first error.
apt_reason() {
  local line
  line=$(grep -m1 -E ' : (Depends|PreDepends|Conflicts|Breaks):' <<<"$1") ||
    line=$(grep -m1 '^E: ' <<<"$1") ||
    line=$(apt_messages "$1" | tail -n 1)
  tr -s ' \t' ' ' <<<"${line# }"
}

lists_updated=""
update_lists() {
  local try out
  for try in 1 2 3; do
    if out=$(apt_get update 2>&1); then
      lists_updated=yes
      return 0
    fi
    if [[ $try -lt 3 ]]; then
      say "apt-get update failed ($(apt_reason "$out")); trying again in $((pause * try)) s"
      sleep $((pause * try))
    fi
  done
  lists_updated=partly
  say "some package lists could not be updated after 3 tries ($(apt_reason "$out")); going on with the lists there are"
}

install_required() {
  local out
  say "installing: $*"
  [[ -n $lists_updated ]] || update_lists
  if ! out=$(apt_get install -y --no-remove --no-install-recommends -o DPkg::Lock::Timeout=300 "$@" 2>&1); then
    apt_messages "$out" | tail -n 40 >&2
    [[ $lists_updated == partly ]] && say "(some package lists were not updated; see above)" >&2
    say "FAILED: cannot install the required packages: $(apt_reason "$out")" >&2
    exit 1
  fi
}

# Whether this machine executes 32-bit x86 programs: runs a minimal static
# i386 program (exit(42) through int 0x80, no libraries needed).  Sets
# exec32_failure when it does not.
exec32_failure=""
can_execute_32bit() {
  local probe=${INSTALL_DEPS_EXEC32_PROBE:-} dir="" out status
  if [[ -z $probe ]]; then
    dir=$(mktemp -d) || { exec32_failure="no temporary directory for the probe"; return 1; }
    probe=$dir/exec32-probe
    printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
      '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
      '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
      '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
      '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
      '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >"$probe"
    chmod +x "$probe"
  fi
  out=$("$probe" 2>&1)
  status=$?
  [[ -n $dir ]] && rm -rf "$dir"
  [[ $status -eq 42 ]] && return 0
  out=$(head -n 1 <<<"$out")
  exec32_failure="a 32-bit test program did not run: exit status $status${out:+: ${out##*exec32-probe: }}"
  return 1
}

# "package old new" for each package the simulated install in $1 would
# downgrade, and "package" for each it would remove.
harmful_changes() {
  local name old new
  grep -E '^Remv ' <<<"$1" | awk '{ print $2 " (removed)" }'
  while read -r name old new; do
    dpkg --compare-versions "$new" lt "$old" && echo "$name $old -> $new (downgraded)"
  done < <(sed -n -E 's/^Inst ([^ ]+) \[([^]]+)\] \(([^ ]+) .*/\1 \2 \3/p' <<<"$1")
}

# Installs 32-bit Wine, or sets wine32_failure to why not.  Adds the i386
# architecture only when needed, and takes it away again when the install
# then fails.
wine32_failure=""
install_wine32() {
  local added="" out harm
  if ! can_execute_32bit; then
    wine32_failure="this machine cannot execute 32-bit programs ($exec32_failure)"
    return 1
  fi
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386 || { wine32_failure="dpkg --add-architecture i386 failed"; return 1; }
    added=yes
    lists_updated=""
  fi
  say "installing (optional): $*"
  [[ -n $lists_updated ]] || update_lists
  if ! out=$(apt_get install -s --no-remove --no-install-recommends "$@" 2>&1); then
    wine32_failure="apt-get: $(apt_reason "$out")"
  elif harm=$(harmful_changes "$out"); [[ -n $harm ]]; then
    wine32_failure="it would change installed packages: $(tr '\n' ';' <<<"$harm" | sed 's/;$//; s/;/; /g')"
  elif ! out=$(apt_get install -y --no-remove --no-install-recommends -o DPkg::Lock::Timeout=300 "$@" 2>&1); then
    wine32_failure="apt-get: $(apt_reason "$out")"
  else
    return 0
  fi
  # Leaves the machine's architectures as they were; dpkg refuses when an
  # i386 package did get installed, and then i386 stays.
  [[ -n $added ]] && as_root dpkg --remove-architecture i386 2>/dev/null
  return 1
}

# Installs PACKAGE from bookworm-backports when the installed one is older
# than VERSION (osslsigncode signs PowerShell files from 2.8 on; bookworm
# has 2.5, its backports 2.9).
backport_if_older() {
  local package=$1 wanted=$2 have out
  have=$(dpkg-query -W -f='${Version}' "$package" 2>/dev/null) || return 0
  dpkg --compare-versions "$have" lt "$wanted" 2>/dev/null || return 0
  say "$package $have is older than $wanted: installing it from bookworm-backports"
  printf 'Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' |
    as_root tee "$sources_dir/bookworm-backports.sources" >/dev/null
  lists_updated=""
  update_lists
  if ! out=$(apt_get install -y --no-remove --no-install-recommends -o DPkg::Lock::Timeout=300 "$package/bookworm-backports" 2>&1); then
    apt_messages "$out" | tail -n 20 >&2
    say "FAILED: cannot install $package from bookworm-backports: $(apt_reason "$out")" >&2
    exit 1
  fi
}

mapfile -t absent < <(missing "${required[@]}")
[[ ${#absent[@]} -eq 0 ]] || install_required "${absent[@]}"
[[ " ${required[*]} " == *" osslsigncode "* ]] && backport_if_older osslsigncode 2.8

[[ ${#wine32[@]} -gt 0 ]] || exit 0
mapfile -t absent < <(missing "${wine32[@]}")
if [[ ${#absent[@]} -eq 0 ]] || install_wine32 "${absent[@]}"; then
  rm -f "$reason_file"
  exit 0
fi
say "32-bit Wine not installed, the 32-bit suites will be skipped: $wine32_failure"
mkdir -p "$(dirname "$reason_file")" &&
  echo "32-bit Wine could not be installed: $wine32_failure" >"$reason_file"
exit 0
