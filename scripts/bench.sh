#!/usr/bin/env bash
# Runs every benchmark and writes its tables to build/bench/:
#   host.md           every exported call on the simulated Windows, machines
#                     of 1 to 256 ports, both store layouts, with scan counts
#                     and multiples of the floor (build/host/bench/portopt_bench)
#   portctl.txt       portctl's one-pass listing against four query calls per
#                     port, 16 and 256 ports (build/host/bench/portctl_list_bench)
#   wine-windows.md   the queries, the listing, portctl's listing against the
#   wine-windows64.md naive one and a bare scan on a Wine machine of 64 ports
#                     (wine_bench.exe of each preset, a few minutes); the
#                     32-bit run is reported as skipped, with the reason,
#                     where this machine cannot run 32-bit programs
#   wine-faces.md     Ports.GetAll() of the NuGet package and Get-PoPort of
#                     the module's ZIP on Windows' own .NET under wine64,
#                     each beside PoGetAllPortInfo plus EnumCOMPortsEx from
#                     C in the same process (BENCH_FACES_MS, default 20000,
#                     per face)
# Every portopt call is set beside the same call made by the library of
# another revision, BENCH_BASELINE (default: the last revision before each
# adapter was looked up by itself), built into build/bench/baseline; with
# BENCH_BASELINE= (empty), beside the calls made step by step instead.
# BENCH_MIN_TIME (seconds per host benchmark, default 0.2) and BENCH_WINE_MS
# (milliseconds per Wine figure, default 300) trade time for steadier
# figures.  Installs missing Debian packages first.
set -uo pipefail
cd "$(dirname "$0")/.."

JOBS=${JOBS:-2}
OUT=build/bench
mkdir -p "$OUT"
failures=()

scripts/install-deps.sh --wine || exit 1

# The baseline library: its sources as of BENCH_BASELINE, built for the
# host and both Windows presets.  baseline_lib PRESET prints the path of
# that preset's build of the library, or nothing without a baseline.
BASELINE=${BENCH_BASELINE-f13795b}
BASELINE_DIR=$PWD/$OUT/baseline
if [ -n "$BASELINE" ]; then
    echo "== bench: the baseline library, revision $BASELINE"
    rm -rf "$BASELINE_DIR" && mkdir -p "$BASELINE_DIR"
    git archive "$BASELINE" | tar -x -C "$BASELINE_DIR" || { echo "bench: no revision $BASELINE" >&2; exit 1; }
fi
baseline_lib() {
    [ -n "$BASELINE" ] || return 0
    local preset=$1 file=source/dll/libportopt.so
    [ "$preset" = host ] || file=source/dll/portopt.dll
    (cd "$BASELINE_DIR" && cmake --preset "$preset" >/dev/null &&
        cmake --build "build/$preset" -j "$JOBS" --target portopt >/dev/null) || return 1
    echo "$BASELINE_DIR/build/$preset/$file"
}

echo "== bench: host"
if cmake --preset host >/dev/null && cmake --build --preset host -j "$JOBS" --target portopt_bench &&
    lib=$(baseline_lib host); then
    build/host/bench/portopt_bench --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" \
        ${lib:+--baseline="$lib"} --markdown="$OUT/host.md" || failures+=(host)
else
    failures+=("host build")
fi

echo "== bench: portctl list against four queries per port"
if cmake --build --preset host -j "$JOBS" --target portctl_list_bench; then
    build/host/bench/portctl_list_bench --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" \
        | tee "$OUT/portctl.txt" || failures+=(portctl)
else
    failures+=("portctl bench build")
fi

for preset in windows windows64; do
    echo "== bench: $preset under Wine"
    arch=i686
    [ "$preset" = windows64 ] && arch=x86_64
    dir=build/$preset
    prefix=$PWD/$dir/bench/wineprefix
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build "$dir" -j "$JOBS" --target wine_bench ||
        ! lib=$(baseline_lib "$preset"); then
        failures+=("$preset build")
        continue
    fi
    # The baseline DLL beside the program, under a name of its own.
    baseline_arg=()
    if [ -n "$lib" ]; then
        cp "$lib" "$dir/bench/portopt_baseline.dll"
        baseline_arg=(--baseline=portopt_baseline.dll)
    fi
    check=$(cmake/wine-run.sh --prefix "$prefix" --check "$arch" 2>&1)
    case $? in
        0) echo "$check" ;;
        77) echo "bench: $preset SKIPPED: ${check#wine-run: SKIPPED: }" | tee "$OUT/wine-$preset.md"; continue ;;
        *) echo "$check" >&2; failures+=("$preset wine"); continue ;;
    esac
    if [ ! -d "$prefix/drive_c" ]; then
        cmake/wine-run.sh --prefix "$prefix" --boot "$arch" || { failures+=("$preset prefix"); continue; }
    fi
    (cd "$dir/bench" && "$OLDPWD/cmake/wine-run.sh" --prefix "$prefix" wine_bench.exe \
        --min-ms="${BENCH_WINE_MS:-300}" "${baseline_arg[@]}") >"$OUT/wine-$preset.md" ||
        failures+=("$preset wine_bench")
    cat "$OUT/wine-$preset.md"
done

echo "== bench: Ports.GetAll() and Get-PoPort under Wine, beside the calls they make"
# The NuGet package's and the module ZIP's own DLLs on Windows' own .NET,
# on the 64-bit Wine machine of wine_bench (the 32-bit twin is not timed).
faces=$OUT/wine-faces.md
prefix=$PWD/build/windows64/bench/wineprefix
if scripts/nupkg.sh >/dev/null && scripts/psmodule.sh >/dev/null &&
    cmake --build build/windows64 -j "$JOBS" --target wine_machine record_layout >/dev/null &&
    { [ -d "$prefix/drive_c" ] || cmake/wine-run.sh --prefix "$prefix" --boot x86_64; }; then
    {
        echo "| Face | ms per listing | PoGetAllPortInfo + EnumCOMPortsEx from C, ms | the face's own ms | its share | rounds |"
        echo "|---|---:|---:|---:|---:|---:|"
    } >"$faces"
    for suite in dotnet powershell; do
        WINE_RUN=$PWD/cmake/wine-run.sh WINE_PREFIX_DIR=$prefix \
            WINE_MACHINE_DLL=$PWD/build/windows64/tests/wine/wine_machine.dll \
            RECORD_LAYOUT_EXE=$PWD/build/windows64/tests/wine/record_layout.exe \
            tests/wine/managed/run-managed-suite.sh "$suite" win-x64 --bench "${BENCH_FACES_MS:-20000}" >"$OUT/wine-$suite.log" 2>&1
        case $? in
            0) grep '^|' "$OUT/wine-$suite.log" >>"$faces" ;;
            77) echo "bench: $suite $(grep -m1 SKIPPED "$OUT/wine-$suite.log")" | tee -a "$faces" ;;
            *) cat "$OUT/wine-$suite.log" >&2; failures+=("$suite under Wine") ;;
        esac
    done
    cat "$faces"
else
    failures+=("managed faces' build")
fi

if [[ ${#failures[@]} -gt 0 ]]; then
    echo "bench: failed: ${failures[*]}" >&2
    exit 1
fi
echo "bench: tables in $OUT/"
