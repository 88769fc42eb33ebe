#!/bin/sh
# Runs a Windows test executable under Wine, in a throwaway prefix.
#
#   wine-run.sh --prefix DIR PROGRAM.exe [ARGS...]   run one program
#   wine-run.sh --prefix DIR --boot i686|x86_64      create the prefix
#   wine-run.sh --prefix DIR --check i686|x86_64     can this machine run it?
#
# The loader follows the program's PE machine: the 32-bit loader for i386
# programs, wine64 for x86-64 ones.  When the loader for a program cannot
# run on this machine (no 32-bit Wine, or a kernel that cannot execute
# 32-bit code), the script says why and exits with the skip code 77, so
# that ctest reports the test as skipped rather than passed.  The reason is
# the one scripts/install-deps.sh left when it could not install 32-bit
# Wine, or what the 32-bit loader said when it failed to start twice.
#
# Environment: WINE32_LOADER, WINE64_LOADER (the loaders); WINE_RUN_DOTNET
# (set: the program runs on Windows' own .NET, which needs Wine's mscoree);
# WINE32_SKIP_REASON_FILE (where install-deps.sh leaves its reason; default
# build/wine32-skip-reason); WINE_START_TIMEOUT (seconds the loader has to
# answer, default 60); WINE_START_RETRY_PAUSE (seconds before its second
# start, default 1).
set -u

SKIP=77
WINE32=${WINE32_LOADER:-/usr/lib/wine/wine}
WINE64=${WINE64_LOADER:-/usr/lib/wine/wine64}
REASON_FILE=${WINE32_SKIP_REASON_FILE:-$(dirname "$0")/../build/wine32-skip-reason}
START_TIMEOUT=${WINE_START_TIMEOUT:-60}
RETRY_PAUSE=${WINE_START_RETRY_PAUSE:-1}

die() { echo "wine-run: $*" >&2; exit 2; }
skip() { echo "wine-run: SKIPPED: $*" >&2; exit $SKIP; }

[ "${1:-}" = "--prefix" ] && [ $# -ge 3 ] || die "usage: $0 --prefix DIR (PROGRAM [ARGS...] | --boot ARCH | --check ARCH)"
prefix=$2
shift 2

# The PE machine field of a program: "i686", "x86_64" or "".
pe_arch() {
    lfanew=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')
    [ -n "$lfanew" ] || return 0
    machine=$(od -An -tx2 -j$((lfanew + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    case $machine in
        014c) echo i686 ;;
        8664) echo x86_64 ;;
    esac
}

# Starts LOADER --version, leaving what it printed first and its exit
# status in $started (empty when it started).  bash starts it: where the
# kernel refuses the program (Exec format error), timeout's own exec would
# hand it to /bin/sh as a script and report a syntax error instead.
try_loader() {
    out=$(timeout "$START_TIMEOUT" bash -c 'exec "$@"' wine-run "$1" --version 2>&1)
    status=$?
    case $status in
        0) started=""; return 0 ;;
        124) started="it did not answer within $START_TIMEOUT s" ;;
        *) started="exit status $status${out:+: $(printf '%s\n' "$out" | head -n 1)}" ;;
    esac
    return 1
}

# Picks the loader for ARCH into $loader, or skips with the reason.
pick_loader() {
    case $1 in
        i686)
            if [ ! -x "$WINE32" ]; then
                # scripts/install-deps.sh leaves why it could not install it.
                [ -s "$REASON_FILE" ] && skip "$(head -n 1 "$REASON_FILE"); the 32-bit DLLs are tested by the windows64 build's twin suite instead"
                skip "32-bit Wine ($WINE32) is not installed; install wine32:i386 to run the 32-bit tests"
            fi
            # The 32-bit loader is itself a 32-bit program; a kernel without
            # 32-bit support refuses to start it.  A start that fails on a
            # busy machine is tried once more before it counts.
            if ! try_loader "$WINE32"; then
                sleep "$RETRY_PAUSE"
                try_loader "$WINE32" ||
                    skip "32-bit Wine ($WINE32) cannot start here ($started, twice); the 32-bit DLLs are tested by the windows64 build's twin suite instead"
            fi
            loader=$WINE32
            export WINEARCH=win32
            ;;
        x86_64)
            [ -x "$WINE64" ] || skip "64-bit Wine ($WINE64) is not installed; install wine64"
            loader=$WINE64
            export WINEARCH=win64
            ;;
        *) die "unknown architecture '$1'" ;;
    esac
    export WINELOADER=$loader
}

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install prompts in a fresh prefix.  Windows' own .NET
# needs Wine's mscoree, through which Wine's loader maps the images of .NET
# assemblies: its programs run with WINE_RUN_DOTNET=1.
if [ -n "${WINE_RUN_DOTNET:-}" ]; then
    export WINEDLLOVERRIDES="mshtml="
else
    export WINEDLLOVERRIDES="mscoree,mshtml="
fi
unset DISPLAY WAYLAND_DISPLAY

if [ "$1" = "--check" ]; then
    pick_loader "${2:-}"
    echo "wine-run: $loader runs ${2} programs here"
    exit 0
fi

if [ "$1" = "--boot" ]; then
    pick_loader "${2:-}"
    # Only ever replace a prefix of our own making.
    [ "$(basename "$prefix")" = wineprefix ] || die "refusing to replace $prefix: not a test prefix"
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    start=$(date +%s)
    "$loader" wineboot --init >/dev/null 2>&1 || die "wineboot failed in $prefix"
    "${loader%/*}/wineserver" -w 2>/dev/null
    echo "wine-run: created $prefix in $(( $(date +%s) - start )) s"
    exit 0
fi

program=$1
shift
[ -f "$program" ] || die "no such program: $program"
arch=$(pe_arch "$program")
[ -n "$arch" ] || die "$program is not a PE program for i386 or x86-64"
pick_loader "$arch"
[ -d "$prefix/drive_c" ] || die "no Wine prefix at $prefix (the wine32_prefix or wine64_prefix test creates it)"
exec "$loader" "$program" "$@"
