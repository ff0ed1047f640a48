#!/usr/bin/env bash
# A batch of six jobs over generated scenes run as a Slurm job array on a single-node Slurm
# started for this test: the outputs equal a plain batch run byte for byte (tasks reading the
# same inputs at once included), collect merges the same report blocks, a task cancelled mid-run
# leaves nothing that looks finished, and submitting the script again completes that job.
# Then arrays planned in folders whose names #SBATCH lines must quote. Skipped (status 77) where
# Slurm cannot be installed or started.
# Usage: slurm_array.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/../cli/lib/harness.bash" "$@"
CLI=$(realpath "$CLI")
GEN=$(realpath "$GEN")
HERE=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=single_node_slurm.sh
. "$HERE/single_node_slurm.sh"
JOBS=()
cleanup() {
    [ ${#JOBS[@]} -gt 0 ] && scancel "${JOBS[@]}" 2>/dev/null && sleep 1
    stop_slurm
    rm -rf "$WORK"
}
trap cleanup EXIT

# Four scenes for six jobs: jobs 1 and 2 read the same files, so do 3 and 4, and two tasks run
# at once; job 6's scene is large enough to be cancelled mid-run.
BIF=$WORK/scenes.bif
mkdir -p "$WORK/out"
echo "6 0" >"$BIF"
for n in 1 2 3 4 5 6; do
    folder=$(((n + 1) / 2 + (n == 6)))
    size=$([ $n = 6 ] && echo 6144 || echo 512)
    [ -d "$WORK/scenes/$folder" ] || geotiff_scene "$WORK/scenes/$folder" $size $((20 + folder))
    d=$WORK/scenes/$folder
    printf '%s\n' $n "$d/pan.tif" "$d/blue.tif" "$d/green.tif" "$d/red.tif" "$d/nir.tif" \
        "$WORK/out/scene$n.bmp" "$WORK/out/scene$n.tif" >>"$BIF"
done
OUTPUTS=()
for n in 1 2 3 4 5 6; do OUTPUTS+=("scene$n.bmp" "scene$n.tif"); done

# The reference: the same batch file run in one plain invocation.
"$CLI" pansharpen --pan "$BIF" --method 2 --yes --quiet --log "$WORK/reference.log" 2>/dev/null ||
    { echo "the plain batch run failed"; exit 1; }
mv "$WORK/out" "$WORK/reference"
mkdir -p "$WORK/out"

start_slurm "$WORK/slurm"

cd "$WORK" || exit 1
"$CLI" cluster plan pansharpen scenes.bif --method 2 >"$WORK/plan.txt" 2>/dev/null
check "plan writes the script and prints the sbatch command" \
    [ -f "$WORK/scenes.sbatch" ] && [ "$(cat "$WORK/plan.txt")" = "sbatch $WORK/scenes.sbatch" ]

# The first submission: task 6 is cancelled once its run has started.
JOB=$(sbatch --parsable "$WORK/scenes.sbatch") || { echo "FAIL: sbatch refused the script"; exit 1; }
JOBS+=("$JOB")
deadline=$((SECONDS + 120))
until grep -aqs 'Step 2:' "$WORK/scenes.job6.log" || [ $SECONDS -ge $deadline ]; do sleep 0.05; done
scancel "${JOB}_6"
check "the first array ends in time" wait_for_job "$JOB" 180
if ends_with "$WORK/scenes.job6.log" $'Notes:\r\n'; then fail "the cancelled task finished"; else pass; fi
check "the cancelled task left no output at its final names" \
    [ ! -e "$WORK/out/scene6.bmp" ] && [ ! -e "$WORK/out/scene6.tif" ]
"$CLI" cluster collect "$BIF" >"$WORK/collect1.txt" 2>/dev/null
check "collect fails while job 6 is not done" [ $? = 1 ]
check "collect lists five done" grep -qx 'done:    1,2,3,4,5' "$WORK/collect1.txt"
check "collect lists job 6 failed" grep -qx 'failed:  6' "$WORK/collect1.txt"
check "collect names the rerun" grep -qx "To run them again: sbatch --array=6 $WORK/scenes.sbatch" "$WORK/collect1.txt"

# The second submission of the whole array runs only job 6 (the tasks skip done jobs:
# batch_jobs.sh checks --skip-done itself); every output then equals the plain run's.
JOB=$(sbatch --parsable "$WORK/scenes.sbatch") || { echo "FAIL: sbatch refused the script again"; exit 1; }
JOBS+=("$JOB")
check "the second array ends in time" wait_for_job "$JOB" 180
check "job 1 is skipped as done" grep -qx "Batch job 1 is done: skipped." "$WORK/scenes.job1.out"
for out in "${OUTPUTS[@]}"; do
    check "$out equals the plain run's" cmp -s "$WORK/out/$out" "$WORK/reference/$out"
done
"$CLI" cluster collect "$BIF" >"$WORK/collect2.txt" 2>"$WORK/collect2.err"
check "collect succeeds once every job is done" [ $? = 0 ]
check "collect lists six done" grep -qx 'done:    1,2,3,4,5,6' "$WORK/collect2.txt"
check "the merged log has the plain run's report blocks" same_report "$WORK/scenes.log" "$WORK/reference.log"
check "no temporary file is left beside the inputs" \
    [ "$(ls "$WORK"/scenes/*/ | grep -cv -e '^$' -e ':$' -e '^\(pan\|blue\|green\|red\|nir\)\.tif$')" = 0 ]

# Folders whose names hold a blank, a quote, #, a backslash or %, the batch file's name a blank:
# each task runs in the working folder (its outputs are named relative to it), writes its own
# output file beside the batch file, and collect finds every job done.
for name in 'a b' "it's" 'say "x"' 'no#1' 'back\slash' '50%a'; do
    dir="$WORK/$name"
    mkdir -p "$dir"
    cp "$WORK"/scenes/1/*.tif "$dir/"
    { echo "2 0"; for n in 1 2; do printf '%s\n' $n "$dir"/{pan,blue,green,red,nir}.tif "out$n.bmp" "out$n.tif"; done; } \
        >"$dir/my jobs.bif"
    (cd "$dir" && "$CLI" cluster plan pansharpen "my jobs.bif" --method 2 >/dev/null 2>&1)
    if ! JOB=$(sbatch --parsable "$dir/my jobs.sbatch" 2>&1); then
        fail "[$name] sbatch refused the script: $JOB"
        continue
    fi
    JOBS+=("$JOB")
    check "[$name] the array ends in time" wait_for_job "$JOB" 120
    for n in 1 2; do
        check "[$name] task $n ran in the working folder" [ -s "$dir/out$n.bmp" ]
        check "[$name] task $n wrote its own output file" grep -qx "Batch job $n of 2" "$dir/my jobs.job$n.out"
    done
    (cd "$dir" && "$CLI" cluster collect "my jobs.bif" >/dev/null 2>&1)
    check "[$name] collect finds every job done" [ $? = 0 ]
done

finish
