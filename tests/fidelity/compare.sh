#!/bin/sh
# Runs the platform probe on the simulator and under Wine and compares the
# two outputs line by line.  A probe whose lines differ must be listed in the
# known-differences file; a listed probe whose lines agree is a stale entry.
# Both fail the comparison.
#
#   compare.sh HOST_PROBE WINE_RUN PREFIX WINDOWS_PROBE i686|x86_64 KNOWN_DIFFERENCES
#
# Exits 77 (skip) when the Windows probe cannot run here: a Wine that cannot
# start (wine-run.sh says why), no such build, or no Wine prefix yet.
set -u
host_probe=$1 wine_run=$2 prefix=$3 windows_probe=$4 arch=$5 known=$6
SKIP=77

"$wine_run" --prefix "$prefix" --check "$arch" >/dev/null || exit $?
[ -f "$windows_probe" ] || { echo "fidelity: SKIPPED: no $windows_probe; build the Windows preset first"; exit $SKIP; }
[ -d "$prefix/drive_c" ] || { echo "fidelity: SKIPPED: no Wine prefix at $prefix; run that build's ctest first"; exit $SKIP; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$host_probe" >"$work/simulator" || { echo "fidelity: the probe failed on the simulator"; exit 1; }
"$wine_run" --prefix "$prefix" "$windows_probe" >"$work/wine" 2>"$work/wine.err"
status=$?
[ $status -eq $SKIP ] && { cat "$work/wine.err"; exit $SKIP; }
[ $status -eq 0 ] || { cat "$work/wine.err"; echo "fidelity: the probe failed under Wine ($status)"; exit 1; }
tr -d '\r' <"$work/wine" >"$work/wine.lf"

awk -F' [|] ' -v known="$known" '
    BEGIN {
        while ((getline line < known) > 0) {
            if (line ~ /^[ \t]*(#|$)/) continue
            n = split(line, f, / [|] /)
            if (n != 3 || (f[2] != "simulator" && f[2] != "wine")) {
                printf "fidelity: malformed entry in %s: %s\n", known, line; bad = 1; continue
            }
            listed[f[1]] = 1
        }
    }
    FNR == NR { sim[$1] = $0; order[++count] = $1; next }
    { wine[$1] = $0; if (!($1 in sim)) order[++count] = $1 }
    END {
        for (i = 1; i <= count; ++i) {
            p = order[i]
            if (sim[p] == wine[p]) {
                ++agree
                if (p in listed) { printf "STALE  %s: listed, but both sides now agree\n", p; bad = 1 }
            } else if (p in listed) {
                ++differ
            } else {
                printf "DIFFER %s\n  simulator: %s\n  wine:      %s\n", p, sim[p], wine[p]; bad = 1
            }
            delete listed[p]
        }
        for (p in listed) { printf "STALE  %s: listed, but no such probe\n", p; bad = 1 }
        printf "fidelity: %d probes, %d agree, %d listed differences\n", count, agree, differ
        exit bad
    }' "$work/simulator" "$work/wine.lf"
