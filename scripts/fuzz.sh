#!/usr/bin/env bash
# Builds the libFuzzer targets (in the `asan` build: clang with ASan and
# UBSan) and runs each for SECONDS (default 20), starting from its seed
# corpus in fuzz/corpus/<target>/.  New inputs go to build/fuzz/corpus/
# <target>/ (the repository's seeds are only read); a failing input stops
# the run and is left in build/fuzz/findings/.
#   scripts/fuzz.sh          every target briefly, as the test command does
#   scripts/fuzz.sh 600      every target for ten minutes
#   scripts/fuzz.sh 600 store_reader port_names   chosen targets
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true

cmake --preset asan >/dev/null
cmake --build --preset fuzz

targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for binary in build/asan/fuzz/*_fuzz; do targets+=("$(basename "$binary" _fuzz)"); done
fi

mkdir -p build/fuzz/findings build/fuzz/logs
total=0
for name in "${targets[@]}"; do
  work=build/fuzz/corpus/$name
  mkdir -p "$work"
  log=build/fuzz/logs/$name.log
  if ! "build/asan/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
       -artifact_prefix=build/fuzz/findings/"$name"- "$work" "fuzz/corpus/$name" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "fuzz: $name found a failing input (build/fuzz/findings/)" >&2
    exit 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  total=$((total + runs))
  printf 'fuzz: %-14s %9d executions in %ss, corpus %s inputs\n' "$name" "$runs" "$seconds" \
    "$(find "$work" "fuzz/corpus/$name" -type f | wc -l)"
done
echo "fuzz: $total executions in all"
