#!/usr/bin/env bash
# Multi-band result writers: times writing a SIZE x SIZE image of BANDS UInt16 bands as ENVI,
# GeoTIFF and COG (strips of 64 rows, staged and renamed into place as a run does) and prints
# wall, user and system time and peak resident memory of each.
#
# Usage: bench/output_bench.sh [SIZE] [BANDS] [FORMATS]   (default 8192 4 "envi geotiff cog")
# Binary: $OUTPUT_BENCH, else build/bench/output_bench of this checkout (target output_bench).
# LUMESTA_THREADS=N gives the COG's compression N threads (default: the processor count).
set -u
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BIN=${OUTPUT_BENCH:-$ROOT/build/bench/output_bench}
SIZE=${1:-8192}
BANDS=${2:-4}
FORMATS=${3:-envi geotiff cog}
THREADS=${LUMESTA_THREADS:-$(nproc 2>/dev/null || echo 1)}
[ -x "$BIN" ] || { echo "output_bench: not found at $BIN (build target output_bench)" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "output_bench: needs /usr/bin/time (Debian package time)" >&2; exit 1; }
WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-output-bench.XXXXXX") || exit 1
trap 'rm -rf "$WORK"' EXIT
trap 'exit 130' INT TERM
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for format in $FORMATS; do
    out=$WORK/result.$([ "$format" = envi ] && echo img || echo tif)
    /usr/bin/time -f "%e %U %S %M" -o "$WORK/time" "$BIN" "$format" "$SIZE" "$BANDS" "$out" "$THREADS" ||
        { echo "output_bench: $format failed" >&2; exit 1; }
    read -r wall user system peak <"$WORK/time"
    printf '%-8s %5d² x %d  wall %7.2f s  user %7.2f s  sys %6.2f s  peak %5.0f MiB  %6.0f MiB written\n' \
        "$format" "$SIZE" "$BANDS" "$wall" "$user" "$system" "$((peak / 1024))" \
        "$(($(du -cb "$WORK"/result.* | tail -1 | cut -f1) / 1048576))"
    rm -f "$WORK"/result.*
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
