#!/usr/bin/env bash
# Runs each fuzz target of tests/fuzz for a bounded time, both at once, and
# says how many inputs each tried. Inputs found on the way go to the build
# folder, never into the seed corpus in the repository; an input that broke
# a target is kept there as crash-* and its log is shown.
# Usage: scripts/fuzz.sh BUILD_FOLDER SECONDS
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-30}
here=$(cd "$(dirname "$0")/.." && pwd)
targets=(shortcutlist settings)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

pids=()
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/findings/$target"
  "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$target/" \
    "$build/corpus/$target" "$here/tests/fuzz/corpus/$target" >"$build/fuzz_$target.log" 2>&1 &
  pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
  target=${targets[$i]}
  log="$build/fuzz_$target.log"
  if wait "${pids[$i]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "fuzz_$target: ${runs:-?} inputs in ${seconds} s (${rate:-?}/s), no crash, no sanitizer report"
  else
    failed=1
    echo "fuzz_$target FAILED; its log ($log) ends:"
    tail -n 60 "$log"
    ls "$build/findings/$target"
  fi
done
exit $failed
