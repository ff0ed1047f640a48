#!/usr/bin/env bash
# Scaling benchmark: every tool of lumesta-cli on synthetic scenes of 4096², 8192² and 16384²
# (above 16000 on both sides the statistics tool takes SIZE x 16000 and the Haar tool, which
# needs powers of two, SIZE x SIZE/2). Prints, per tool and size, the median wall time of
# BENCH_ROUNDS runs (default 1), the largest peak resident memory, the time over the previous
# size's, and that factor scaled to four times the pixels: four times the pixels should take
# at most 4.4 times as long, with the same peak memory.
#
# Usage: bench/scaling.sh [SIZES...]   (default 4096 8192 16384)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here. A 16384 round needs about
# 8 GB of disk in $TMPDIR (or /tmp). BENCH_KEEP=1 keeps the scratch folder.
set -u
NAME=scaling
ROUNDS=${BENCH_ROUNDS:-1}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
BENCH_ROUNDS=$ROUNDS
SIZES=("$@")
[ ${#SIZES[@]} = 0 ] && SIZES=(4096 8192 16384)

[ -x "$CLI" ] || bench_die "lumesta-cli not found at $CLI (build target lumesta-cli or set LUMESTA_CLI)"
[ -x "$GEN" ] || bench_die "generator not found at $GEN (build target make_test_rasters or set MAKE_TEST_RASTERS)"
[ -x "$BENCH_TIME" ] || bench_die "$BENCH_TIME not found: install the package 'time' (apt-get install time)"
for size in "${SIZES[@]}"; do
    [[ $size =~ ^[0-9]+$ ]] && [ $((size % 4)) = 0 ] && [ "$size" -ge 512 ] ||
        bench_die "sizes are multiples of 4, at least 512"
done

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-scaling.XXXXXX") || bench_die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM
LOAD_BEFORE=$(load_now)

# Runs a tool BENCH_ROUNDS times in FOLDER, removing what it wrote after each run; appends a
# row "tool size seconds peak" to the results.
measure() { # TOOL SIZE FOLDER COMMAND...
    local tool=$1 size=$2 folder=$3 times=() peaks=()
    shift 3
    ls -1 "$folder" >"$WORK/before.list"
    for round in $(seq 1 "$BENCH_ROUNDS"); do
        (cd "$folder" && timed "$tool-$size-$round" "$@")
        STATUS=$(awk -F': ' '/Exit status/ { print $2 }' "$WORK/$tool-$size-$round.time")
        [ "${STATUS:-1}" = 0 ] || { tail -n 3 "$WORK/$tool-$size-$round.err" >&2; bench_die "$tool at $size failed"; }
        times+=("$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0
            for (i = 1; i <= n; ++i) s = s * 60 + p[i]; printf "%.2f", s }' "$WORK/$tool-$size-$round.time")")
        peaks+=("$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$WORK/$tool-$size-$round.time")")
        remove_new_files "$folder" "$WORK/before.list"
    done
    echo "$tool $size $(median "${times[@]}") $(largest "${peaks[@]}") ${PIXELS[$tool-$size]:-$((size * size))}" >>"$WORK/results"
    echo "  $tool: $(median "${times[@]}") s, $(largest "${peaks[@]}") MiB"
}

Q="--yes --quiet --log run.log"
declare -A PIXELS
for size in "${SIZES[@]}"; do
    echo "Size $size: generating the scenes ..."
    half=$size
    rows=$size
    [ "$size" -gt 16000 ] && half=$((size / 2)) && rows=16000
    rm -rf "$WORK/s16" "$WORK/s8" "$WORK/bands"
    "$GEN" pansharpen "$WORK/s16" --width "$size" --height "$size" --layouts envi --seed 1 >/dev/null || bench_die "generation failed"
    "$GEN" pansharpen "$WORK/s8" --width "$size" --height "$size" --layouts envi --seed 1 --bits 8 >/dev/null || bench_die "generation failed"
    mkdir -p "$WORK/bands"
    "$GEN" raw "$WORK/bands/big.raw" --width "$size" --height "$size" --bits 16 --seed 1 >/dev/null || bench_die "generation failed"
    # The Haar and statistics tools read the first lines of the same band.
    head -c $((size * half * 2)) "$WORK/bands/big.raw" >"$WORK/bands/haar.raw"
    head -c $((size * rows * 2)) "$WORK/bands/big.raw" >"$WORK/bands/stats.raw"
    S16=$WORK/s16/envi
    S8=$WORK/s8/envi
    measure pansharpen "$size" "$S16" "$CLI" pansharpen --pan pan.img --blue blue.img --green green.img \
        --red red.img --nir nir.img $Q
    measure pansharpen-etm "$size" "$S8" "$CLI" pansharpen-etm --pan pan.img --blue blue.img \
        --green green.img --red red.img $Q
    # Band combination of three pan-sized 16-bit bands: the pan three times under other names.
    for band in blue green red; do
        ln -sf "$S16/pan.img" "$WORK/bands/$band.img"
        sed "s/pan/$band/" "$S16/pan.hdr" >"$WORK/bands/$band.hdr"
    done
    measure combine "$size" "$WORK/bands" "$CLI" combine --blue blue.img --green green.img --red red.img $Q
    PIXELS[haar-$size]=$((size * half))
    measure haar "$size" "$WORK/bands" "$CLI" haar --input haar.raw --width "$size" --height "$half" --levels 3 $Q
    PIXELS[stats-$size]=$((size * rows))
    measure stats "$size" "$WORK/bands" "$CLI" stats --input stats.raw --width "$size" --height "$rows" --level 3 $Q
    measure semivariance "$size" "$WORK/bands" "$CLI" semivariance --input big.raw --width "$size" \
        --height "$size" --max-lag 100 $Q
done

echo
echo "Scaling, medians of $BENCH_ROUNDS run(s); before: $LOAD_BEFORE; after: $(load_now)"
printf "%-16s %7s %12s %9s %10s %11s %16s\n" tool size pixels seconds "peak MiB" "x previous" "x per 4x pixels"
awk '{
    key = $1
    factor = "-"; scaled = "-"
    if (key in last && last[key] > 0) {
        factor = sprintf("%.2f", $3 / last[key])
        scaled = sprintf("%.2f", $3 / last[key] * 4 / ($5 / pixels[key]))
    }
    printf "%-16s %7s %12s %9s %10s %11s %16s\n", $1, $2, $5, $3, $4, factor, scaled
    last[key] = $3; pixels[key] = $5
}' "$WORK/results"
