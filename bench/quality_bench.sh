#!/usr/bin/env bash
# Fusion quality benchmark: times lumesta-cli quality full (D_lambda, D_s, QNR), quality reduced
# and degrade on a SIZE x SIZE four-band 16-bit fused scene, and quality wald for each fusion
# method on the same scene
# (degradation, fusion at the reduced scale, the five reduced-resolution metrics). Reports wall
# time and peak resident memory side by side.
#
# Usage: bench/quality_bench.sh [SIZE]      (default 8192; a multiple of 16, at least 512)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
# QUALITY_METHODS="1 2 glp-hpm" (the default): the methods quality wald is timed with, one run each.
set -u

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
SIZE=${1:-8192}

die() { echo "quality_bench: $*" >&2; exit 1; }

[ -x "$CLI" ] || die "lumesta-cli not found at $CLI (build target lumesta-cli or set LUMESTA_CLI)"
[ -x "$GEN" ] || die "generator not found at $GEN (build target make_test_rasters or set MAKE_TEST_RASTERS)"
[ $((SIZE % 16)) = 0 ] && [ "$SIZE" -ge 512 ] || die "SIZE must be a multiple of 16, at least 512"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-quality-bench.XXXXXX") || die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM

# Runs a command and sets SECONDS_TAKEN and PEAK_MIB ("-" without /usr/bin/time); dies on failure.
timed() { # LABEL COMMAND...
    local label=$1 start end status
    shift
    start=$(date +%s.%N)
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f '%M' -o "$WORK/$label.mem" "$@" >"$WORK/$label.out" 2>"$WORK/$label.err"
    else
        "$@" >"$WORK/$label.out" 2>"$WORK/$label.err"
    fi
    status=$?
    end=$(date +%s.%N)
    [ "$status" = 0 ] || { tail -n 5 "$WORK/$label.err" >&2; die "$label exited with status $status"; }
    SECONDS_TAKEN=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    PEAK_MIB=-
    [ -f "$WORK/$label.mem" ] && PEAK_MIB=$(awk '{ printf "%.0f", $1 / 1024 }' "$WORK/$label.mem")
}

echo "Generating a ${SIZE} x ${SIZE} scene in $WORK and pan-sharpening it (not timed) ..."
"$GEN" pansharpen "$WORK" --width "$SIZE" --height "$SIZE" --layouts envi --seed 1 >/dev/null || die "generation failed"
S=$WORK/envi
MS="$S/blue.img $S/green.img $S/red.img $S/nir.img"
(cd "$S" && "$CLI" pansharpen --pan pan.img --blue blue.img --green green.img --red red.img --nir nir.img \
    --yes --quiet --log "$WORK/ps.log" 2>"$WORK/ps.err") || die "pan-sharpening failed"
FUSED="$S/blue_Fused.img $S/green_Fused.img $S/red_Fused.img $S/nir_Fused.img"
# Read once so that every timed run starts from the page cache.
cat $MS $FUSED "$S/pan.img" >/dev/null

echo "Timing lumesta-cli quality full ..."
timed full "$CLI" quality full --fused $FUSED --ms $MS --pan "$S/pan.img" --quiet
ROWS=("$(printf "%-40s %9s %10s  %s" "quality full ${SIZE}x${SIZE} (D_lambda, D_s, QNR)" "$SECONDS_TAKEN" "$PEAK_MIB" "$(sed -n 2p "$WORK/full.out")")")
echo "Timing lumesta-cli quality reduced ..."
timed reduced "$CLI" quality reduced --fused $FUSED --reference "$S/pan.img" "$S/pan.img" "$S/pan.img" "$S/pan.img" --quiet
ROWS+=("$(printf "%-40s %9s %10s  %s" "quality reduced ${SIZE}x${SIZE} (against the pan)" "$SECONDS_TAKEN" "$PEAK_MIB" "$(sed -n 2p "$WORK/reduced.out" | cut -c1-60)")")
echo "Timing lumesta-cli degrade ..."
timed degrade "$CLI" degrade --pan "$S/pan.img" --ms $MS --out "$WORK/degraded" --quiet
ROWS+=("$(printf "%-40s %9s %10s" "degrade ${SIZE}x${SIZE}" "$SECONDS_TAKEN" "$PEAK_MIB")")
for method in ${QUALITY_METHODS:-1 2 glp-hpm}; do
    echo "Timing lumesta-cli quality wald --method $method ..."
    timed "wald$method" "$CLI" quality wald --pan "$S/pan.img" --ms $MS --method "$method" --quiet
    ROWS+=("$(printf "%-40s %9s %10s  %s" "quality wald ${SIZE}x${SIZE}, method $method" "$SECONDS_TAKEN" "$PEAK_MIB" "$(sed -n 2p "$WORK/wald$method.out" | cut -c1-60)")")
done

echo
echo "Fusion quality, four 16-bit bands, $(nproc) CPU(s)"
printf "%-40s %9s %10s  %s\n" run seconds "peak MiB" result
printf "%s\n" "${ROWS[@]}"
