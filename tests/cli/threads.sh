#!/usr/bin/env bash
# The bytes of every tool's outputs and report do not depend on how many threads it uses:
# each tool runs once on one thread and once on three (LUMESTA_THREADS), and everything it
# writes is compared.
# Usage: threads.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s16" --width 1536 --height 1536 --layouts envi --seed 4 >/dev/null ||
    { echo "generator failed"; exit 1; }
"$GEN" pansharpen "$WORK/s8" --width 1536 --height 1536 --layouts envi --seed 4 --bits 8 >/dev/null ||
    { echo "generator failed"; exit 1; }

# Runs one tool in a copy of a scene with the given thread count; the outputs land in DIR.
run_in() { # DIR SCENE THREADS COMMAND...
    local dir=$1 scene=$2 threads=$3
    shift 3
    mkdir -p "$dir" && cp "$scene"/* "$dir"/
    (cd "$dir" && LUMESTA_THREADS=$threads "$CLI" "$@" --yes --quiet --log run.log >/dev/null 2>"$dir/stderr") ||
        fail "$* exited with $? on $threads thread(s): $(cat "$dir/stderr")"
    # The report's clock times differ between runs; nothing else may.
    sed -i -E 's/[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}/T/g; s/spent:\t[0-9]+/spent:\tS/' "$dir/run.log"
    sed -i -E 's/[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4}/T/g' "$dir"/*.hdr
    sed -i "s#$dir#DIR#g" "$dir/run.log" "$dir"/*.hdr
}

compare() { # NAME COMMAND...
    local name=$1 scene=$2
    shift 2
    run_in "$WORK/$name-1" "$scene" 1 "$@"
    run_in "$WORK/$name-3" "$scene" 3 "$@"
    diff -r "$WORK/$name-1" "$WORK/$name-3" >/dev/null || fail "$name differs between 1 and 3 threads"
}

B16="--blue blue.img --green green.img --red red.img --nir nir.img"
compare fused16 "$WORK/s16/envi" pansharpen --pan pan.img $B16 --filter sharpen --filter-bands green,nir
compare fused8 "$WORK/s8/envi" pansharpen-etm --pan pan.img --blue blue.img --green green.img \
    --red red.img --filter smooth-sharpen --filter-bands blue,red
compare semivariance "$WORK/s16/envi" semivariance --input pan.img --max-lag 40
compare stats "$WORK/s16/envi" stats --input pan.img --level 3

finish
