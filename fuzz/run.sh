#!/usr/bin/env bash
# bash fuzz/run.sh [BUILD_DIR] [SECONDS]: runs each fuzz target for SECONDS
# (default 60) from the seeds in fuzz/seeds/, keeping what it finds in
# BUILD_DIR/fuzz/corpus-*. Build first with `make fuzz` (BUILD_DIR build-fuzz).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build-fuzz}" && pwd)
seconds=${2:-60}
for pair in ArchiveWalk:walk Decompress:gzip EntryPlacement:placement; do
  target=${pair%%:*}
  seeds=${pair##*:}
  corpus="$build/fuzz/corpus-$seeds"
  mkdir -p "$corpus"
  echo "== fuzz$target, $seconds s"
  "$build/fuzz/fuzz$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$here/seeds/$seeds" 2>&1 |
    grep -E "^#[0-9]+[[:space:]]+DONE|ERROR|SUMMARY|stat::(number_of_executed_units|average_exec_per_sec)"
done
