#!/usr/bin/env bash
# Scaling benchmark: every tool of lumesta-cli on synthetic scenes of 4096², 8192² and 16384²
# (above 16000 on both sides the statistics tool takes SIZE x 16000 and the Haar tool, which
# needs powers of two, SIZE x SIZE/2). Each of BENCH_ROUNDS rounds (default 1) runs every tool
# at every size in turn. Prints, per tool and size, the median wall time of the rounds, the
# largest peak resident memory, the time over the previous
# size's, and that factor scaled to four times the pixels: four times the pixels should take
# at most 4.4 times as long, with the same peak memory.
#
# Usage: bench/scaling.sh [SIZES...]   (default 4096 8192 16384)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here. The default sizes need about
# 10 GB of disk in $TMPDIR (or /tmp): every size's scenes are made first. BENCH_KEEP=1 keeps the scratch folder.
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

# Runs a tool once in FOLDER, removing what it wrote afterwards; appends "tool size seconds
# peak" to the tool's rounds.
measure() { # TOOL SIZE FOLDER COMMAND...
    local tool=$1 size=$2 folder=$3
    shift 3
    ls -1 "$folder" >"$WORK/before.list"
    cd "$folder" || bench_die "cannot enter $folder"
    timed "$tool-$size-$ROUND" "$@"
    cd "$WORK" || bench_die "cannot enter $WORK"
    [ "${STATUS:-1}" = 0 ] || bench_die "$tool at $size failed"
    remove_new_files "$folder" "$WORK/before.list"
    echo "$tool $size $SECONDS_TAKEN $PEAK_MIB" >>"$WORK/rounds"
    printf "  %-15s %6s: %5s s (user %s, system %s), %s MiB\n" "$tool" "$size" "$SECONDS_TAKEN" \
        "$USER_TAKEN" "$SYSTEM_TAKEN" "$PEAK_MIB"
}

Q="--yes --quiet --log run.log"
declare -A PIXELS HALF ROWS
# Every size's scenes first, so that each round runs a tool at every size in turn: a slower
# spell of the machine then falls on all sizes alike instead of on one.
for size in "${SIZES[@]}"; do
    echo "Size $size: generating the scenes ..."
    half=$size
    rows=$size
    [ "$size" -gt 16000 ] && half=$((size / 2)) && rows=16000
    D=$WORK/$size
    "$GEN" pansharpen "$D/s16" --width "$size" --height "$size" --layouts envi --seed 1 >/dev/null || bench_die "generation failed"
    "$GEN" pansharpen "$D/s8" --width "$size" --height "$size" --layouts envi --seed 1 --bits 8 >/dev/null || bench_die "generation failed"
    mkdir -p "$D/bands"
    "$GEN" raw "$D/bands/big.raw" --width "$size" --height "$size" --bits 16 --seed 1 >/dev/null || bench_die "generation failed"
    # The Haar and statistics tools read the first lines of the same band.
    head -c $((size * half * 2)) "$D/bands/big.raw" >"$D/bands/haar.raw"
    head -c $((size * rows * 2)) "$D/bands/big.raw" >"$D/bands/stats.raw"
    # Band combination of three pan-sized 16-bit bands: the pan three times under other names.
    for band in blue green red; do
        ln -sf "$D/s16/envi/pan.img" "$D/bands/$band.img"
        sed "s/pan/$band/" "$D/s16/envi/pan.hdr" >"$D/bands/$band.hdr"
    done
    HALF[$size]=$half
    ROWS[$size]=$rows
    PIXELS[haar-$size]=$((size * half))
    PIXELS[stats-$size]=$((size * rows))
done

TOOLS=(pansharpen pansharpen-etm combine haar stats semivariance)
for ROUND in $(seq 1 "$ROUNDS"); do
    echo "Round $ROUND of $ROUNDS ..."
    for tool in "${TOOLS[@]}"; do
        for size in "${SIZES[@]}"; do
            D=$WORK/$size
            case $tool in
            pansharpen) measure "$tool" "$size" "$D/s16/envi" "$CLI" pansharpen --pan pan.img \
                --blue blue.img --green green.img --red red.img --nir nir.img $Q ;;
            pansharpen-etm) measure "$tool" "$size" "$D/s8/envi" "$CLI" pansharpen-etm --pan pan.img \
                --blue blue.img --green green.img --red red.img $Q ;;
            combine) measure "$tool" "$size" "$D/bands" "$CLI" combine --blue blue.img --green green.img \
                --red red.img $Q ;;
            haar) measure "$tool" "$size" "$D/bands" "$CLI" haar --input haar.raw --width "$size" \
                --height "${HALF[$size]}" --levels 3 $Q ;;
            stats) measure "$tool" "$size" "$D/bands" "$CLI" stats --input stats.raw --width "$size" \
                --height "${ROWS[$size]}" --level 3 $Q ;;
            semivariance) measure "$tool" "$size" "$D/bands" "$CLI" semivariance --input big.raw \
                --width "$size" --height "$size" --max-lag 100 $Q ;;
            esac
        done
    done
done

# Per tool and size: the median time and the largest peak of the rounds.
for tool in "${TOOLS[@]}"; do
    for size in "${SIZES[@]}"; do
        times=($(awk -v t="$tool" -v s="$size" '$1 == t && $2 == s { print $3 }' "$WORK/rounds"))
        peaks=($(awk -v t="$tool" -v s="$size" '$1 == t && $2 == s { print $4 }' "$WORK/rounds"))
        echo "$tool $size $(median "${times[@]}") $(largest "${peaks[@]}") ${PIXELS[$tool-$size]:-$((size * size))}" >>"$WORK/results"
    done
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
