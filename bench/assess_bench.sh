#!/usr/bin/env bash
# Assessment tools benchmark: times lumesta-cli semivariance on a 4096 x 4096 16-bit band with
# maximum lag 100 (4·L·W·H squared differences), and the Haar and statistics runs on a
# SIZE x SIZE 16-bit band (SIZE x SIZE/2 above 16000, the tools' limit for both sides).
# Reports the median wall time of BENCH_ROUNDS runs (default 3), pairs per second and the
# largest peak resident memory.
#
# Usage: bench/assess_bench.sh [SIZE]   (default 8192)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
set -u
NAME=assess_bench

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
SEMI_SIZE=4096
MAX_LAG=100
BIG_SIZE=${1:-8192}
BIG_HEIGHT=$BIG_SIZE
[ "$BIG_SIZE" -gt 16000 ] && BIG_HEIGHT=$((BIG_SIZE / 2))
HAAR_LEVELS=3
STATS_LEVEL=3

[ -x "$CLI" ] || bench_die "lumesta-cli not found at $CLI (build target lumesta-cli or set LUMESTA_CLI)"
[ -x "$GEN" ] || bench_die "generator not found at $GEN (build target make_test_rasters or set MAKE_TEST_RASTERS)"
[ -x "$BENCH_TIME" ] || bench_die "$BENCH_TIME not found: install the package 'time' (apt-get install time)"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-assess-bench.XXXXXX") || bench_die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM

echo "Generating a ${SEMI_SIZE} x ${SEMI_SIZE} and a ${BIG_SIZE} x ${BIG_HEIGHT} 16-bit band in $WORK ..."
"$GEN" raw "$WORK/semi.raw" --width $SEMI_SIZE --height $SEMI_SIZE --bits 16 --seed 1 || bench_die "generation failed"
"$GEN" raw "$WORK/big.raw" --width "$BIG_SIZE" --height "$BIG_HEIGHT" --bits 16 --seed 1 || bench_die "generation failed"
# Read once so that every timed run starts from the page cache.
cat "$WORK/semi.raw" "$WORK/big.raw" >/dev/null
LOAD_BEFORE=$(load_now)

# Times one tool BENCH_ROUNDS times (its outputs removed before each run); sets MEDIAN and PEAK.
measure() { # LABEL OUTPUTS-GLOB COMMAND...
    local label=$1 outputs=$2 times=() peaks=()
    shift 2
    echo "Timing lumesta-cli $label ..."
    for round in $(seq 1 "$BENCH_ROUNDS"); do
        rm -f $outputs
        timed "$label$round" "$@"
        [ "$STATUS" = 0 ] || exit 1
        times+=("$SECONDS_TAKEN")
        peaks+=("$PEAK_MIB")
    done
    MEDIAN=$(median "${times[@]}")
    PEAK=$(largest "${peaks[@]}")
    RUNS="${times[*]}"
}

measure semivariance "$WORK/semi_SemiVariance.txt" "$CLI" semivariance --input "$WORK/semi.raw" \
    --width $SEMI_SIZE --height $SEMI_SIZE --max-lag $MAX_LAG --yes --quiet --log "$WORK/run.log"
SEMI=("$MEDIAN" "$PEAK" "$RUNS")
# The exact number of pairs: Σ over lags of H(W−h) + 2(H−h)(W−h) + (H−h)W.
PAIRS=$(awk -v n=$SEMI_SIZE -v l=$MAX_LAG 'BEGIN {
    for (h = 1; h <= l; ++h) p += n * (n - h) + 2 * (n - h) * (n - h) + (n - h) * n
    printf "%.0f", p }')
measure haar "$WORK/big.raw_Haar $WORK/big_Haar.bmp" "$CLI" haar --input "$WORK/big.raw" \
    --width "$BIG_SIZE" --height "$BIG_HEIGHT" --levels $HAAR_LEVELS --yes --quiet --log "$WORK/run.log"
HAAR=("$MEDIAN" "$PEAK" "$RUNS")
measure stats "$WORK/big_ImageStats.txt" "$CLI" stats --input "$WORK/big.raw" --width "$BIG_SIZE" \
    --height "$BIG_HEIGHT" --level $STATS_LEVEL --yes --quiet --log "$WORK/run.log"
STATS=("$MEDIAN" "$PEAK" "$RUNS")

mpix() { awk -v w="$BIG_SIZE" -v h="$BIG_HEIGHT" -v s="$1" 'BEGIN { printf "%.1f Mpix/s", (s > 0 ? w * h / s / 1e6 : 0) }'; }
echo
echo "Assessment tools, 16-bit bands, medians of $BENCH_ROUNDS runs"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-44s %9s %10s  %-34s %s\n" run "median s" "peak MiB" throughput "every run (s)"
printf "%-44s %9s %10s  %-34s %s\n" "semivariance ${SEMI_SIZE}x${SEMI_SIZE}, max lag $MAX_LAG" "${SEMI[0]}" "${SEMI[1]}" \
    "$(awk -v p="$PAIRS" -v s="${SEMI[0]}" 'BEGIN { printf "%.3g pairs/s", (s > 0 ? p / s : 0) }')" "${SEMI[2]}"
printf "%-44s %9s %10s  %-34s %s\n" "haar ${BIG_SIZE}x${BIG_HEIGHT}, $HAAR_LEVELS levels" "${HAAR[0]}" "${HAAR[1]}" \
    "$(mpix "${HAAR[0]}")" "${HAAR[2]}"
printf "%-44s %9s %10s  %-34s %s\n" "stats ${BIG_SIZE}x${BIG_HEIGHT}, level $STATS_LEVEL" "${STATS[0]}" "${STATS[1]}" \
    "$(mpix "${STATS[0]}")" "${STATS[2]}"
