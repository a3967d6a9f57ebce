#!/usr/bin/env bash
# bash bench/run.sh BUILD_DIR: makes the shared corpus once (seeded, so every
# run measures the same files), then runs every benchmark part bench/part-*.sh
# in name order. Each part gets BUILD_DIR as its argument and finds the corpus
# in $KV_BENCH_CORPUS and a scratch folder in $KV_BENCH_WORK.
#   KV_BENCH_MB    corpus size in MB (default 300)
#   KV_BENCH_RUNS  runs per measurement (default 5)
#   KV_BENCH_PARTS only the parts whose names hold one of these words
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
mb=${KV_BENCH_MB:-300}
export KV_BENCH_RUNS=${KV_BENCH_RUNS:-5}
export KV_BENCH_BIN="$build/bench/bin"
export KV_BENCH_CORPUS=${KV_BENCH_CORPUS:-$build/bench/corpus-$mb}
export KV_BENCH_WORK=${KV_BENCH_WORK:-$build/bench/work}

if [ ! -f "$KV_BENCH_CORPUS.done" ]; then
  "$KV_BENCH_BIN/kv_make_corpus" "$KV_BENCH_CORPUS" "$mb" 1
  touch "$KV_BENCH_CORPUS.done"
fi
mkdir -p "$KV_BENCH_WORK"

for part in "$here"/part-*.sh; do
  name=$(basename "$part" .sh)
  if [ -n "${KV_BENCH_PARTS:-}" ]; then
    keep=no
    for word in $KV_BENCH_PARTS; do [[ $name == *"$word"* ]] && keep=yes; done
    [ $keep = yes ] || continue
  fi
  echo "== $name"
  bash "$part" "$build"
done
