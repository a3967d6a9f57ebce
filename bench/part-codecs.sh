#!/usr/bin/env bash
# The Targa and Photoshop decoders against Qt's PNG reader on one 24-megapixel
# picture (6000 x 4000, smooth like a photograph), made once by ImageMagick:
# uncompressed Targa, PackBits Photoshop, and PNG.
set -euo pipefail
work="$KV_BENCH_WORK/codecs"
mkdir -p "$work"
if [ ! -f "$work/done" ]; then
  convert -size 1500x1000 -seed 1 plasma:fractal -resize '6000x4000!' -attenuate 0.3 +noise Gaussian \
    -alpha off -depth 8 "PNG24:$work/picture.png"
  convert "$work/picture.png" -compress None "$work/picture.tga"
  convert "$work/picture.png" -compress RLE "$work/picture.psd"
  touch "$work/done"
fi
"$KV_BENCH_BIN/kv_bench_codecs" "$work" "$KV_BENCH_RUNS"
