#!/usr/bin/env bash
# The archiving and restore runs of kvr against bare zlib loops, tar | gzip -6
# for reference, peak memory, and adding a folder of 100,000 files.
set -euo pipefail
build=$1
"$KV_BENCH_BIN/kv_bench_engine" "$KV_BENCH_CORPUS" "$KV_BENCH_WORK/engine" "$KV_BENCH_RUNS" "$build/bin/kvr"
