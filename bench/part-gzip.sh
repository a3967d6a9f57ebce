#!/usr/bin/env bash
# The compression stream against a bare zlib loop with the same settings.
set -euo pipefail
"$KV_BENCH_BIN/kv_bench_gzip" "$KV_BENCH_CORPUS" "$KV_BENCH_WORK/gzip" "$KV_BENCH_RUNS"
