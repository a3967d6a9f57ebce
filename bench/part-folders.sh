#!/usr/bin/env bash
# Creating many files in a few new folders through the platform (each path
# looked up first, as a restore does) against plain POSIX creation.
set -euo pipefail
mkdir -p "$KV_BENCH_WORK/folders"
TMPDIR="$KV_BENCH_WORK/folders" "$KV_BENCH_BIN/kv_bench_folder_cache" 10000 10
TMPDIR="$KV_BENCH_WORK/folders" "$KV_BENCH_BIN/kv_bench_folder_cache" 20000 2
