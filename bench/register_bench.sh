#!/usr/bin/env bash
# What registration costs a detail-injection run: the 16-bit tool on one synthetic SIZE x SIZE
# scene (four MS bands of SIZE/4), each METHOD run with --register auto (estimate, then fuse at
# the estimate), with the estimate given (--register DX,DY, the offset the auto run applied:
# the same fusion without estimating) and with --register off (the MS as placed), in turn;
# beside them the register tool alone. Prints the medians of wall and CPU times and
#   auto / off              what registering costs in all (estimate and resampling at it)
#   estimate share          (auto - given) / given: the estimate against the fusion's time
# and checks the estimate share against its target (at most 0.10, from the CPU times, which a
# loaded machine disturbs less than the wall times).
#
# Usage: bench/register_bench.sh [SIZE] [METHOD...]  (default 8192; gsa glp-hpm awlp)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else this checkout's build/.
# BENCH_ROUNDS=N (default 3) rounds; each round runs the three modes of every method, the
# order of the modes turning from round to round. BENCH_KEEP=1 keeps the scratch folder.
# Exits 1 when a run fails or the target is missed.
set -u
NAME=register_bench

SIZE=${1:-8192}
shift $(($# > 0 ? 1 : 0))
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
METHODS=("$@")
[ ${#METHODS[@]} = 0 ] && METHODS=(gsa glp-hpm awlp)
MOST_SHARE=0.10

bench_scene "$SIZE" 256 register
LOAD_BEFORE=$(load_now)

declare -A WALL CPU GIVEN
FAILED=0
record() { # KEY
    if [ "$STATUS" = 0 ]; then
        WALL[$1]="${WALL[$1]:-} $SECONDS_TAKEN"
        CPU[$1]="${CPU[$1]:-} $(awk -v u="$USER_TAKEN" -v s="$SYSTEM_TAKEN" 'BEGIN { printf "%.2f", u + s }')"
    else
        FAILED=1
    fi
}
run_mode() { # METHOD MODE ROUND
    local register=$2
    [ "$2" = given ] && register=${GIVEN[$1]:-0,0}
    cd "$SCENE" || bench_die "cannot enter $SCENE"
    timed "$1.$2.$3" "$CLI" pansharpen --pan pan.img --blue blue.img --green green.img --red red.img \
        --nir nir.img --method "$1" --register "$register" --yes --quiet --log run.log
    # The offset the auto run applied ("MS offset on the pan:<TAB>DX, DY pan pixels (estimated)",
    # lines ending CR LF; an estimate not applied places the MS at 0, 0 like a given 0,0).
    if [ "$2" = auto ] && [ "$STATUS" = 0 ]; then
        GIVEN[$1]=$(tr -d '\r' <run.log | awk -F'\t' '/^MS offset on the pan:/ {
            split($2, v, /, | /); if ($2 ~ /estimated\)$/) print v[1] "," v[2]; else print "0,0" }')
    fi
    cd "$WORK" || bench_die "cannot enter $WORK"
    remove_new_files "$SCENE" "$WORK/scene.list"
    record "$1.$2"
}
run_register() { # ROUND
    cd "$SCENE" || bench_die "cannot enter $SCENE"
    timed "register.$1" "$CLI" register --pan pan.img --ms blue.img green.img red.img nir.img --quiet
    cd "$WORK" || bench_die "cannot enter $WORK"
    record register
}
MODES=(auto given off)
for round in $(seq 1 "$BENCH_ROUNDS"); do
    echo "Round $round of $BENCH_ROUNDS ..."
    run_register "$round"
    for method in "${METHODS[@]}"; do
        # auto runs first in the first round (given needs its estimate), then the order turns.
        for i in 0 1 2; do run_mode "$method" "${MODES[$(((i + round - 1) % 3))]}" "$round"; done
    done
done

echo
echo "Registration at ${SIZE} x ${SIZE} (16-bit, 4 MS bands), $BENCH_ROUNDS rounds"
echo "before: $LOAD_BEFORE; after: $(load_now)"
# shellcheck disable=SC2086
echo "register tool alone: median $(median ${WALL[register]:-}) s wall, $(median ${CPU[register]:-}) s CPU"
printf "%-8s %-12s %9s %9s %9s %9s %9s   %s\n" method offset "auto s" "given s" "off s" \
    "auto/off" "estimate" "(wall; CPU on the next line)"
for method in "${METHODS[@]}"; do
    for kind in WALL CPU; do
        declare -n times=$kind
        if [ -z "${times[$method.auto]:-}" ] || [ -z "${times[$method.given]:-}" ] ||
            [ -z "${times[$method.off]:-}" ]; then
            printf "%-8s failed\n" "$method"
            continue
        fi
        # shellcheck disable=SC2086
        a=$(median ${times[$method.auto]}) g=$(median ${times[$method.given]}) o=$(median ${times[$method.off]})
        share=$(awk -v a="$a" -v g="$g" 'BEGIN { if (g > 0) printf "%.2f", (a - g) / g; else print "-" }')
        verdict=""
        if [ "$kind" = CPU ] &&
            awk -v s="$share" -v most="$MOST_SHARE" 'BEGIN { exit !(s != "-" && s > most) }'; then
            verdict=" over $MOST_SHARE"
            FAILED=1
        fi
        label=$method offset=${GIVEN[$method]:-?}
        [ "$kind" = CPU ] && label="" offset="(CPU)"
        printf "%-8s %-12s %9s %9s %9s %9s %9s%s\n" "$label" "$offset" "$a" "$g" "$o" \
            "$(ratio "$a" "$o")" "$share" "$verdict"
    done
done
exit $FAILED
