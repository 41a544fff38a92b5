#!/usr/bin/env bash
# Runs the benchmark on a private desktop (tests/e2e/desktop.sh) and prints
# its table. Usage: bench/run-bench.sh [build folder] [bench.py options]
# e.g. bench/run-bench.sh build --runs 3 --idle-seconds 2 for a quick look.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-build}")
shift || true
for program in "$build/tovlan" "$build/bench/tovlan-bench-baseline" \
    "$build/bench/tovlan-bench-target"; do
    [ -x "$program" ] || { echo "bench: no $program; build first (make bench does)" >&2; exit 1; }
done
exec "$here/../tests/e2e/desktop.sh" --timeout 1800 -- \
    /usr/bin/python3 "$here/bench.py" --launcher "$build/tovlan" \
    --baseline "$build/bench/tovlan-bench-baseline" \
    --target "$build/bench/tovlan-bench-target" "$@"
