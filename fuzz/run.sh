#!/usr/bin/env bash
# bash fuzz/run.sh [BUILD_DIR] [SECONDS] [NAME...]: runs each fuzz target (or
# the ones named) for SECONDS (default 60) from its seeds in fuzz/seeds/<Name>,
# keeping what it finds in BUILD_DIR/fuzz/corpus-<Name>. Build first with
# `make fuzz` (BUILD_DIR build-fuzz).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build-fuzz}" && pwd)
seconds=${2:-60}
shift $(( $# > 2 ? 2 : $# ))
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for program in "$build"/fuzz/fuzz*; do
    [ -x "$program" ] && names+=("$(basename "$program" | sed 's/^fuzz//')")
  done
fi
for name in "${names[@]}"; do
  corpus="$build/fuzz/corpus-$name"
  mkdir -p "$corpus"
  echo "== fuzz$name, $seconds s"
  "$build/fuzz/fuzz$name" -max_total_time="$seconds" -print_final_stats=1 "$corpus" "$here/seeds/$name" 2>&1 |
    grep -E "^#[0-9]+[[:space:]]+DONE|ERROR|SUMMARY|stat::(number_of_executed_units|average_exec_per_sec)"
done
