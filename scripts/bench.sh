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

echo "== bench: host"
if cmake --preset host >/dev/null && cmake --build --preset host -j "$JOBS" --target portopt_bench; then
    build/host/bench/portopt_bench --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" \
        --markdown="$OUT/host.md" || failures+=(host)
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
    if ! cmake --preset "$preset" >/dev/null || ! cmake --build "$dir" -j "$JOBS" --target wine_bench; then
        failures+=("$preset build")
        continue
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
    cmake/wine-run.sh --prefix "$prefix" "$dir/bench/wine_bench.exe" --min-ms="${BENCH_WINE_MS:-300}" \
        >"$OUT/wine-$preset.md" || failures+=("$preset wine_bench")
    cat "$OUT/wine-$preset.md"
done

if [[ ${#failures[@]} -gt 0 ]]; then
    echo "bench: failed: ${failures[*]}" >&2
    exit 1
fi
echo "bench: tables in $OUT/"
