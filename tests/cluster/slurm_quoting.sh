#!/usr/bin/env bash
# Planned job arrays in folders whose names hold what #SBATCH lines must quote (a blank, ' and ",
# #, a backslash, %), submitted to a single-node Slurm started for this test: every task runs in
# the working folder, writes its own output file beside the batch file and finishes, and collect
# finds every job done. Skipped (status 77) where Slurm cannot be installed or started.
# Usage: slurm_quoting.sh LUMESTA_CLI MAKE_TEST_RASTERS
set -u
CLI=${1:?usage: slurm_quoting.sh LUMESTA_CLI MAKE_TEST_RASTERS}
GEN=${2:?usage: slurm_quoting.sh LUMESTA_CLI MAKE_TEST_RASTERS}
CLI=$(realpath "$CLI")
GEN=$(realpath "$GEN")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=single_node_slurm.sh
. "$HERE/single_node_slurm.sh"
WORK=$(mktemp -d)
JOBS=()
cleanup() {
    [ ${#JOBS[@]} -gt 0 ] && scancel "${JOBS[@]}" 2>/dev/null && sleep 1
    stop_slurm
    rm -rf "$WORK"
}
trap cleanup EXIT
FAILURES=0
PASSES=0
check() { # NAME COMMAND...
    local name=$1
    shift
    if "$@"; then PASSES=$((PASSES + 1)); else echo "FAIL: $name" >&2; FAILURES=$((FAILURES + 1)); fi
}

# One small GeoTIFF scene, copied into each folder; two jobs whose outputs are named relative to
# the working folder, so a task that ran anywhere else leaves them elsewhere.
mkdir -p "$WORK/scene" && "$GEN" pansharpen "$WORK/raw" --width 512 --height 512 --layouts generic --seed 3 >/dev/null &&
    "$GEN" geotiff "$WORK/scene/pan.tif" --width 512 --height 512 --bits 16 "$WORK/raw/generic/pan.raw" &&
    for band in blue green red nir; do
        "$GEN" geotiff "$WORK/scene/$band.tif" --width 128 --height 128 --bits 16 "$WORK/raw/generic/$band.raw" || exit 1
    done || { echo "generator failed"; exit 1; }

start_slurm "$WORK/slurm"

for name in 'a b' "it's" 'say "x"' 'no#1' 'back\slash' '50%a'; do
    dir="$WORK/$name"
    mkdir -p "$dir"
    cp "$WORK"/scene/*.tif "$dir/"
    {
        echo "2 0"
        for n in 1 2; do
            printf '%s\n' $n "$dir/pan.tif" "$dir/blue.tif" "$dir/green.tif" "$dir/red.tif" "$dir/nir.tif" \
                "out$n.bmp" "out$n.tif"
        done
    } >"$dir/my jobs.bif"
    (cd "$dir" && "$CLI" cluster plan pansharpen "my jobs.bif" --method 2 >/dev/null 2>&1)
    check "[$name] plan writes the script" [ -f "$dir/my jobs.sbatch" ]
    if ! JOB=$(sbatch --parsable "$dir/my jobs.sbatch" 2>"$WORK/sbatch.err"); then
        echo "FAIL: [$name] sbatch refused the script: $(cat "$WORK/sbatch.err")" >&2
        FAILURES=$((FAILURES + 1))
        continue
    fi
    JOBS+=("$JOB")
    check "[$name] the array ends in time" wait_for_job "$JOB" 120
    for n in 1 2; do
        check "[$name] task $n ran in the working folder" [ -s "$dir/out$n.bmp" ] && [ -s "$dir/out$n.tif" ]
        check "[$name] task $n has its own output file" grep -qx "Batch job $n of 2" "$dir/my jobs.job$n.out"
    done
    (cd "$dir" && "$CLI" cluster collect "my jobs.bif" >"$WORK/collect.txt" 2>/dev/null)
    check "[$name] collect finds every job done" [ $? = 0 ] && grep -qx 'done:    1,2' "$WORK/collect.txt"
    check "[$name] nothing lands in the submitting folder" [ -z "$(ls -A "$WORK" | grep -e '^slurm-' -e '\.out$')" ]
done

echo "$PASSES passed, $FAILURES failed"
[ "$FAILURES" -eq 0 ]
