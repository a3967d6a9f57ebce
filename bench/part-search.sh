#!/usr/bin/env bash
# The search dialog on a 100,000-row catalog in the real main window, against
# a plain loop over the same rows' paths.
set -euo pipefail
"$KV_BENCH_BIN/kv_bench_search" 100000 "$KV_BENCH_RUNS"
