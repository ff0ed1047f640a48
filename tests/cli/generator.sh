#!/usr/bin/env bash
# The synthetic scene generator that the other end-to-end tests and bench/compare_builds.sh
# build on gives the same scene for the same seed and another for another seed. (Its layouts and
# sample types: the tests that read them, which compare the results of every layout.)
# Usage: generator.sh LUMESTA_CLI MAKE_TEST_RASTERS   (the first argument is not used here)
source "$(dirname "$0")/lib/harness.bash" "$@"

for run in a:5 b:5 c:6; do
    "$GEN" pansharpen "$WORK/${run%:*}" --width 512 --height 512 --seed "${run#*:}" --layouts generic ||
        fail "seed ${run#*:}: exit $?"
done
cmp -s "$WORK/a/generic/pan.raw" "$WORK/b/generic/pan.raw" || fail "same seed, different pan"
cmp -s "$WORK/a/generic/blue.raw" "$WORK/b/generic/blue.raw" || fail "same seed, different MS"
cmp -s "$WORK/a/generic/pan.raw" "$WORK/c/generic/pan.raw" && fail "different seeds, same pan"

finish
