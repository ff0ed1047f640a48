#!/usr/bin/env bash
# Time to the image viewer's first picture and peak memory for 16-bit bands of 8192², 16384²
# and 33000² (ENVI; also a tiled GeoTIFF of 16384² and a single-strip Deflate GeoTIFF of 8192²
# unless BENCH_TIFF=0). Each file is written
# first (so it is in the page cache), then opened in a fresh process. Needs about 2.2 GB of
# free disk for the largest band; BENCH_SIZES="4096 8192" chooses other sizes.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bench=${VIEWER_BENCH:-$here/../build/bench/viewer_bench}
[ -x "$bench" ] || { echo "build viewer_bench first: cmake --build build --target viewer_bench" >&2; exit 1; }
scratch=$(mktemp -d "${TMPDIR:-/tmp}/viewer_bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
for size in ${BENCH_SIZES:-8192 16384 33000}; do
  "$bench" make "$scratch/band.img" "$size"
  "$bench" view "$scratch/band.img"
  rm -f "$scratch/band.img" "$scratch/band.hdr"
done
if [ "${BENCH_TIFF:-1}" != 0 ]; then
  "$bench" make "$scratch/band.tif" 16384
  "$bench" view "$scratch/band.tif"
  # One compressed strip: decoded row by row from the start (the slow layout).
  "$bench" make "$scratch/band.tif" 8192 strip
  "$bench" view "$scratch/band.tif"
fi
