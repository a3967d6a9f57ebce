#!/usr/bin/env bash
# A catalog of 1,000,000 files: add, first archive, load, unchanged update and
# test, each timed with its peak memory (bench/ScaleBench.cpp). It makes a
# million small files (about 4 GB of disk blocks) the first time and takes
# minutes, so it runs only when asked: KV_BENCH_PARTS=scale make bench
# (KV_BENCH_SCALE_COUNT for another count).
set -euo pipefail
build=$1
if [[ " ${KV_BENCH_PARTS:-} " != *scale* ]]; then
  echo "(run by hand: KV_BENCH_PARTS=scale make bench)"
  exit 0
fi
echo "load: $(uptime)"
"$KV_BENCH_BIN/kv_bench_scale" "$KV_BENCH_WORK/scale" "$build/bin/kvr" "${KV_BENCH_SCALE_COUNT:-1000000}"
echo "load: $(uptime)"
