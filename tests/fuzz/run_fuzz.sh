#!/usr/bin/env bash
# Runs one fuzz target over its saved corpus and regression inputs, then keeps
# fuzzing for a time or a number of executions (LIMIT is libFuzzer's
# -max_total_time=SECONDS or -runs=COUNT).
#   run_fuzz.sh BINARY NAME LIMIT SOURCE_DIR WORK_DIR
# New inputs go to WORK_DIR/NAME/new (the saved corpus is never written), and
# a finding is saved as WORK_DIR/NAME/artifacts/crash-... and fails the run.
set -eu
bin=$1 name=$2 limit=$3 src=$4 work=$5
scratch="$work/$name/new"
artifacts="$work/$name/artifacts/"
log="$work/$name/log.txt"
rm -rf "$scratch" "$artifacts"
mkdir -p "$scratch" "$artifacts" "$src/corpus/$name" "$src/regressions/$name"
# Every saved regression input on its own first, so a fault that comes back
# is reported with the name of the input that found it.
shopt -s nullglob
regressions=("$src/regressions/$name"/*)
if [ ${#regressions[@]} -gt 0 ]; then
  "$bin" -runs=1 -malloc_limit_mb=9000 "${regressions[@]}" >"$log" 2>&1 || { cat "$log"; exit 1; }
fi
status=0
"$bin" -artifact_prefix="$artifacts" -print_final_stats=1 -timeout=10 -rss_limit_mb=3072 -malloc_limit_mb=9000 -max_len=4096 \
  "$limit" "$scratch" "$src/corpus/$name" "$src/regressions/$name" >"$log" 2>&1 || status=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
found=$(ls "$artifacts" | wc -l)
echo "$name: ${runs:-?} executions, ${#regressions[@]} regression inputs, $found findings, exit $status"
if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
  tail -60 "$log"
  exit 1
fi
