#!/usr/bin/env bash
# The fusion methods side by side: times every classical method of the 16-bit tool (and
# --method auto) on one synthetic SIZE x SIZE scene (four MS bands of SIZE/4, --sensor
# worldview2) and checks the speed targets: each method within 2.5 x the time of method 1, and
# a peak resident memory of at most 160 MiB.
#
# Usage: bench/methods_bench.sh [SIZE] [METHOD...]  (default 8192; every classical method and
#        auto). Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else this checkout's build/.
# BENCH_ROUNDS=N (default 3) rounds; within a round the methods run in turn, method 1 first in
# odd rounds and last in even ones; medians are reported. BENCH_KEEP=1 keeps the scratch folder.
# Exits 1 when a run fails or a target is missed.
set -u
NAME=methods_bench

SIZE=${1:-8192}
shift $(($# > 0 ? 1 : 0))
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
METHODS=("$@")
[ ${#METHODS[@]} = 0 ] && METHODS=(gsa glp-hpm awlp brovey glp-ebp glp-fs bdsd-pc 2 auto)
MOST_TIMES=2.5
MOST_MIB=160

bench_scene "$SIZE" 64 methods
LOAD_BEFORE=$(load_now)

declare -A TIMES PEAKS
FAILED=0
run_method() { # METHOD ROUND
    local sensor=()
    [ "$1" = 1 ] || [ "$1" = 2 ] || sensor=(--sensor worldview2)
    cd "$SCENE" || bench_die "cannot enter $SCENE"
    timed "$1.$2" "$CLI" pansharpen --pan pan.img --blue blue.img --green green.img --red red.img \
        --nir nir.img --method "$1" "${sensor[@]}" --yes --quiet --log run.log
    cd "$WORK" || bench_die "cannot enter $WORK"
    remove_new_files "$SCENE" "$WORK/scene.list"
    if [ "$STATUS" = 0 ]; then
        TIMES[$1]="${TIMES[$1]:-} $SECONDS_TAKEN"
        PEAKS[$1]="${PEAKS[$1]:-} $PEAK_MIB"
    else
        FAILED=1
    fi
}
for round in $(seq 1 "$BENCH_ROUNDS"); do
    echo "Round $round of $BENCH_ROUNDS ..."
    [ $((round % 2)) = 1 ] && run_method 1 "$round"
    for method in "${METHODS[@]}"; do run_method "$method" "$round"; done
    [ $((round % 2)) = 0 ] && run_method 1 "$round"
done

echo
echo "Methods at ${SIZE} x ${SIZE} (16-bit, 4 MS bands, worldview2), $BENCH_ROUNDS rounds"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-9s %9s %9s %9s   %s\n" method "median s" "x method1" "peak MiB" "every run (s)"
# shellcheck disable=SC2086
BASE=$(median ${TIMES[1]:-})
for method in 1 "${METHODS[@]}"; do
    if [ -z "${TIMES[$method]:-}" ]; then printf "%-9s failed\n" "$method"; continue; fi
    # shellcheck disable=SC2086
    m=$(median ${TIMES[$method]})
    # shellcheck disable=SC2086
    peak=$(largest ${PEAKS[$method]})
    times=$(ratio "$m" "$BASE")
    verdict=""
    awk -v t="$times" -v most="$MOST_TIMES" 'BEGIN { exit !(t != "-" && t > most) }' &&
        verdict+=" over ${MOST_TIMES}x" && FAILED=1
    awk -v p="$peak" -v most="$MOST_MIB" 'BEGIN { exit !(p > most) }' &&
        verdict+=" over ${MOST_MIB} MiB" && FAILED=1
    printf "%-9s %9s %9s %9s  %s%s\n" "$method" "$m" "$times" "$peak" "${TIMES[$method]}" "$verdict"
done
exit $FAILED
