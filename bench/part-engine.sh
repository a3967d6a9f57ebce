#!/usr/bin/env bash
# The archiving, update, restore, test and verify runs of kvr against bare zlib loops,
# with tar | pigz, zip and 7z beside them, peak memory, and adding a folder of
# 100,000 files. The other archivers come from Debian (pigz, zip, p7zip-full),
# and eatmydata, which turns the flushes of one update into no-ops to show
# what they cost: installed here when missing and we may, else their rows are
# left out.
set -euo pipefail
build=$1
missing=()
for p in pigz:pigz zip:zip 7z:p7zip-full eatmydata:eatmydata; do
  command -v "${p%%:*}" >/dev/null 2>&1 || missing+=("${p#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    DEBIAN_FRONTEND=noninteractive sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "Without ${missing[*]}, their rows are left out: sudo apt-get install ${missing[*]}"
  fi
fi
echo "load: $(uptime)"
"$KV_BENCH_BIN/kv_bench_engine" "$KV_BENCH_CORPUS" "$KV_BENCH_WORK/engine" "$KV_BENCH_RUNS" "$build/bin/kvr"
echo "load: $(uptime)"
