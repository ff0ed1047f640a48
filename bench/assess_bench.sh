#!/usr/bin/env bash
# Assessment tools benchmark: times lumesta-cli semivariance on a 4096 x 4096 16-bit band with
# maximum lag 100 (4·L·W·H squared differences), and the Haar and statistics runs on an
# 8192 x 8192 16-bit band. Reports wall time, pairs per second and peak resident memory.
#
# Usage: bench/assess_bench.sh
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
set -u

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
SEMI_SIZE=4096
MAX_LAG=100
BIG_SIZE=8192
HAAR_LEVELS=3
STATS_LEVEL=3

die() { echo "assess_bench: $*" >&2; exit 1; }

[ -x "$CLI" ] || die "lumesta-cli not found at $CLI (build target lumesta-cli or set LUMESTA_CLI)"
[ -x "$GEN" ] || die "generator not found at $GEN (build target make_test_rasters or set MAKE_TEST_RASTERS)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-assess-bench.XXXXXX") || die "cannot create a scratch folder"
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

echo "Generating a ${SEMI_SIZE} x ${SEMI_SIZE} and a ${BIG_SIZE} x ${BIG_SIZE} 16-bit band in $WORK ..."
"$GEN" raw "$WORK/semi.raw" --width $SEMI_SIZE --height $SEMI_SIZE --bits 16 --seed 1 || die "generation failed"
"$GEN" raw "$WORK/big.raw" --width $BIG_SIZE --height $BIG_SIZE --bits 16 --seed 1 || die "generation failed"
# Read once so that every timed run starts from the page cache.
cat "$WORK/semi.raw" "$WORK/big.raw" >/dev/null

echo "Timing lumesta-cli semivariance ..."
timed semivariance "$CLI" semivariance --input "$WORK/semi.raw" --width $SEMI_SIZE --height $SEMI_SIZE \
    --max-lag $MAX_LAG --yes --quiet --log "$WORK/run.log"
SEMI_SECONDS=$SECONDS_TAKEN
SEMI_MIB=$PEAK_MIB
# The exact number of pairs: Σ over lags of H(W−h) + 2(H−h)(W−h) + (H−h)W.
PAIRS=$(awk -v n=$SEMI_SIZE -v l=$MAX_LAG 'BEGIN {
    for (h = 1; h <= l; ++h) p += n * (n - h) + 2 * (n - h) * (n - h) + (n - h) * n
    printf "%.0f", p }')

echo "Timing lumesta-cli haar ..."
timed haar "$CLI" haar --input "$WORK/big.raw" --width $BIG_SIZE --height $BIG_SIZE \
    --levels $HAAR_LEVELS --yes --quiet --log "$WORK/run.log"
HAAR_SECONDS=$SECONDS_TAKEN
HAAR_MIB=$PEAK_MIB

echo "Timing lumesta-cli stats ..."
timed stats "$CLI" stats --input "$WORK/big.raw" --width $BIG_SIZE --height $BIG_SIZE \
    --level $STATS_LEVEL --yes --quiet --log "$WORK/run.log"
STATS_SECONDS=$SECONDS_TAKEN
STATS_MIB=$PEAK_MIB

echo
echo "Assessment tools, 16-bit bands, $(nproc) CPU(s)"
printf "%-44s %9s %10s  %s\n" run seconds "peak MiB" throughput
printf "%-44s %9s %10s  %s\n" "semivariance ${SEMI_SIZE}x${SEMI_SIZE}, max lag $MAX_LAG" "$SEMI_SECONDS" "$SEMI_MIB" \
    "$(awk -v p="$PAIRS" -v s="$SEMI_SECONDS" 'BEGIN { printf "%.3g pairs in all, %.3g pairs/s", p, (s > 0 ? p / s : 0) }')"
printf "%-44s %9s %10s  %s\n" "haar ${BIG_SIZE}x${BIG_SIZE}, $HAAR_LEVELS levels" "$HAAR_SECONDS" "$HAAR_MIB" \
    "$(awk -v n=$BIG_SIZE -v s="$HAAR_SECONDS" 'BEGIN { printf "%.1f Mpix/s", n * n / s / 1e6 }')"
printf "%-44s %9s %10s  %s\n" "stats ${BIG_SIZE}x${BIG_SIZE}, level $STATS_LEVEL" "$STATS_SECONDS" "$STATS_MIB" \
    "$(awk -v n=$BIG_SIZE -v s="$STATS_SECONDS" 'BEGIN { printf "%.1f Mpix/s", n * n / s / 1e6 }')"
