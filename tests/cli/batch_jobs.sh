#!/usr/bin/env bash
# End-to-end checks of one job of a batch file (--job, --list-jobs, --skip-done) for the four
# batch tools, and of cluster plan / collect with the planned script run by bash as Slurm would
# run each array task. Every job alone gives the whole batch's outputs and report blocks.
# Usage: batch_jobs.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
CLI=$(realpath "$CLI")
status() { "$@" >/dev/null 2>&1; echo $?; }

"$GEN" pansharpen "$WORK/e" --width 640 --height 576 --bits 8 --layouts generic --seed 32 ||
    { echo "generator failed"; exit 1; }
T=$WORK/t
geotiff_scene "$T" 512 31
"$GEN" geotiff "$T/pan8.tif" --width 640 --height 576 --bits 8 "$WORK/e/generic/pan.raw" || exit 1
for band in blue green red; do
    "$GEN" geotiff "$T/${band}8.tif" --width 320 --height 288 --bits 8 "$WORK/e/generic/$band.raw" || exit 1
done

# Three jobs per tool; the second names a pan that does not exist, so the batch skips it and the
# third job's block is the batch's second.
record16() { printf '%s\n' "$1" "$2" "$T/blue.tif" "$T/green.tif" "$T/red.tif" "$T/nir.tif" "$WORK/$3.bmp" "$WORK/$3.tif"; }
record8() { printf '%s\n' "$1" "$2" "$T/blue8.tif" "$T/green8.tif" "$T/red8.tif" "$WORK/$3.bmp" "$WORK/$3.tif"; }
{ echo "3 0"; record16 1 "$T/pan.tif" p1; record16 2 "$T/gone.tif" p2; record16 3 "$T/pan.tif" p3; } >"$WORK/p.bif"
{ echo "3 0"; record8 1 "$T/pan8.tif" e1; record8 2 "$T/gone.tif" e2; record8 3 "$T/pan8.tif" e3; } >"$WORK/e.bif"
{ echo "3 0"; record16 1 x c1; printf '%s\n' 2 x "$T/gone.tif" "$T/green.tif" "$T/red.tif" "$T/nir.tif" \
    "$WORK/c2.bmp" "$WORK/c2.tif"; record16 3 x c3; } >"$WORK/c.bif"
{ echo "3 1"; record8 1 x d1; printf '%s\n' 2 x "$T/gone.tif" "$T/green8.tif" "$T/red8.tif" "$WORK/d2.bmp" \
    "$WORK/d2.tif"; record8 3 x d3; } >"$WORK/d.bif"

for spec in "pansharpen --pan p" "pansharpen-etm --pan e" "combine --blue c" "combine8 --blue d"; do
    set -- $spec
    tool=$1 option=$2 stem=$3
    "$CLI" "$tool" "$option" "$WORK/$stem.bif" --yes --quiet --log "$WORK/$stem.whole.log" 2>/dev/null
    mkdir -p "$WORK/whole.$stem"
    mv "$WORK/${stem}"[13].* "$WORK/whole.$stem/"
    for job in 3 2 1; do
        "$CLI" "$tool" "$option" "$WORK/$stem.bif" --job $job --yes --quiet --log "$WORK/$stem.job$job.log" \
            2>"$WORK/$stem.err$job"
        echo $? >"$WORK/$stem.status$job"
    done
    check "$tool: job 1 and 3 finish, 2 is skipped" [ "$(cat "$WORK/$stem".status{1,2,3})" = $'0\n1\n0' ]
    check "$tool: each job announces itself" grep -qx 'Batch job 3 of 3' "$WORK/$stem.err3"
    check "$tool: job 3 alone shows no message of the others" [ "$(wc -l <"$WORK/$stem.err3")" = 1 ]
    for out in "$WORK/whole.$stem"/*; do
        check "$tool: $(basename "$out") equals the whole batch's" cmp -s "$out" "$WORK/$(basename "$out")"
    done
    cat "$WORK/$stem.job"{1,2,3}.log >"$WORK/$stem.merged.log"
    check "$tool: the jobs' blocks are the whole batch's" \
        same_report "$WORK/$stem.merged.log" "$WORK/$stem.whole.log"
done
check "the third job's block is the batch's second" grep -q 'Pan-Sharpening Run (2) ___' "$WORK/p.job3.log"
check "only the batch's first block opens the log" [ "$(head -c 9 "$WORK/p.job3.log")" = $'\r\n_______' ]

# --list-jobs: the count, then inputs and outputs per job; nothing runs.
"$CLI" combine8 --blue "$WORK/d.bif" --list-jobs >"$WORK/list.txt" 2>"$WORK/list.err"
check "--list-jobs finishes" [ $? = 0 ]
check "--list-jobs prints the count" [ "$(head -n 1 "$WORK/list.txt")" = "3 jobs" ]
check "--list-jobs names inputs and the indicator's outputs" grep -qx \
    "1	inputs: $T/blue8.tif $T/green8.tif $T/red8.tif	outputs: $WORK/d1.bmp" "$WORK/list.txt"
check "--list-jobs marks the skipped job" grep -q $'^2\t.*\t(skipped: a header cannot be read)$' "$WORK/list.txt"
check "--list-jobs is silent on standard error" [ ! -s "$WORK/list.err" ]

# --skip-done: a done job is left alone; one whose output went missing runs afresh.
cp "$WORK/p.job1.log" "$WORK/p.job1.saved"
"$CLI" pansharpen --pan "$WORK/p.bif" --job 1 --skip-done --yes --quiet --log "$WORK/p.job1.log" 2>"$WORK/err.txt"
check "a done job is skipped with status 0" [ $? = 0 ] && grep -qx 'Batch job 1 is done: skipped.' "$WORK/err.txt"
check "a done job's report is untouched" cmp -s "$WORK/p.job1.log" "$WORK/p.job1.saved"
rm "$WORK/p1.bmp"
"$CLI" pansharpen --pan "$WORK/p.bif" --job 1 --skip-done --yes --quiet --log "$WORK/p.job1.log" 2>/dev/null
check "a job with a missing output runs again" [ $? = 0 ] && [ -f "$WORK/p1.bmp" ]
check "its task report holds only the new block" [ "$(grep -c 'Pan-Sharpening Run (1)' "$WORK/p.job1.log")" = 1 ]

# Wrong command lines and jobs that cannot run.
check "--job needs a batch file" [ "$(status "$CLI" combine --blue "$T/blue.tif" --job 1)" = 2 ]
check "--job 0 is wrong" [ "$(status "$CLI" combine --blue "$WORK/c.bif" --job 0)" = 2 ]
check "--skip-done needs --job" [ "$(status "$CLI" combine --blue "$WORK/c.bif" --skip-done)" = 2 ]
check "--list-jobs runs nothing" [ "$(status "$CLI" combine --blue "$WORK/c.bif" --list-jobs --job 1)" = 2 ]
"$CLI" combine --blue "$WORK/c.bif" --job 4 --quiet >/dev/null 2>"$WORK/err.txt"
check "a job beyond the file stops with status 1" [ $? = 1 ]
check "and says so" grep -qx 'The batch file has no job 4 (it lists 3).' "$WORK/err.txt"

# cluster plan and collect; each array task is the script run with its task number.
cd "$WORK" || exit 1
"$CLI" cluster plan pansharpen p.bif --method 2 --partition short --max-parallel 2 --mem 2G >"$WORK/plan.txt" \
    2>/dev/null
check "plan prints the sbatch command" [ "$(cat "$WORK/plan.txt")" = "sbatch $WORK/p.sbatch" ]
check "one task per job, at most two at once" grep -qx '#SBATCH --array=1-3%2' "$WORK/p.sbatch"
check "one CPU per task" grep -qx '#SBATCH --cpus-per-task=1' "$WORK/p.sbatch"
check "partition and memory as asked" grep -qx '#SBATCH --partition=short' "$WORK/p.sbatch" &&
    grep -qx '#SBATCH --mem=2G' "$WORK/p.sbatch"
check "no time limit unless asked" eval '! grep -q -- "--time" "$WORK/p.sbatch"'
check "the script calls this lumesta-cli" \
    grep -qF "exec $CLI \"\${args[@]}\" --job \$SLURM_ARRAY_TASK_ID --yes --quiet --skip-done" "$WORK/p.sbatch"
check "plan refuses options the script sets" [ "$(status "$CLI" cluster plan pansharpen p.bif --log x.log)" = 2 ]
check "plan refuses an unknown tool" [ "$(status "$CLI" cluster plan haar p.bif)" = 2 ]
check "plan refuses a bad CPU count" [ "$(status "$CLI" cluster plan pansharpen p.bif --cpus-per-task 0)" = 2 ]
check "plan checks tool options" [ "$(status "$CLI" cluster plan pansharpen p.bif --method 7)" = 2 ]
"$CLI" cluster plan pansharpen p.bif --select 1,1,3,4 >/dev/null 2>"$WORK/err.txt"
check "plan stops where the batch would stop" [ $? = 1 ] && grep -qx 'Input MS bands should not be the same.' "$WORK/err.txt"

# A control character in anything the script would carry (the working folder, the batch file's
# path, a tool option) is refused: status 1, a message, no script, nothing run.
INJECT=$'w\ntouch PWNED\n'
mkdir -p "$WORK/$INJECT" "$WORK/tab"$'\t'"folder"
cp "$WORK/p.bif" "$WORK/$INJECT/"
cp "$WORK/p.bif" "$WORK/tab"$'\t'"folder/"
(cd "$WORK/$INJECT" && "$CLI" cluster plan pansharpen p.bif --method 2 >/dev/null 2>"$WORK/err.txt")
check "a line end in the working folder is refused" [ $? = 1 ]
check "and says so" grep -q "^The working folder's path holds a control character" "$WORK/err.txt"
"$CLI" cluster plan pansharpen "$WORK/tab"$'\t'"folder/p.bif" >/dev/null 2>"$WORK/err.txt"
check "a tab in the batch file's path is refused" [ $? = 1 ]
check "and says so" grep -q "^The batch file's path holds a control character" "$WORK/err.txt"
"$CLI" cluster plan pansharpen p.bif --suffix $'_a\rb' >/dev/null 2>"$WORK/err.txt"
check "a control character in a tool option is refused" [ $? = 1 ]
check "and says so" grep -q '^A tool option holds a control character' "$WORK/err.txt"
check "a refused plan writes no script" [ -z "$(find "$WORK" -name '*.sbatch' ! -path "$WORK/p.sbatch")" ]
[ -f "$WORK/$INJECT/p.sbatch" ] && (cd "$WORK" && SLURM_ARRAY_TASK_ID=1 bash "$WORK/$INJECT/p.sbatch" >/dev/null 2>&1)
check "so no text of a name runs as a command" [ -z "$(find "$WORK" -name PWNED)" ]

rm -f "$WORK"/p[123].* "$WORK"/p.job*.log
SLURM_ARRAY_TASK_ID=1 bash "$WORK/p.sbatch" >"$WORK/p.job1.out" 2>&1
SLURM_ARRAY_TASK_ID=2 bash "$WORK/p.sbatch" >"$WORK/p.job2.out" 2>&1
"$CLI" cluster collect p.bif >"$WORK/collect.txt" 2>"$WORK/collect.err"
check "collect fails while jobs are not done" [ $? = 1 ] && [ -s "$WORK/collect.err" ]
check "collect lists done, failed and missing" [ "$(sed -n 2,3p "$WORK/collect.txt")" = $'done:    1\nfailed:  2' ] &&
    grep -qx 'missing: 3' "$WORK/collect.txt"
check "collect shows the failed job's message" grep -qx "  job 2: Error: Reading GeoTIFF." "$WORK/collect.txt"
SLURM_ARRAY_TASK_ID=3 bash "$WORK/p.sbatch" >"$WORK/p.job3.out" 2>&1
"$CLI" cluster collect p.bif --method 2 >/dev/null 2>&1
check "collect takes only the batch file" [ $? = 2 ]
"$CLI" cluster collect p.bif >"$WORK/collect.txt" 2>/dev/null
check "collect still fails for the skipped job" [ $? = 1 ] && grep -qx 'done:    1,3' "$WORK/collect.txt"
check "the merged log holds the blocks in job order" cmp -s "$WORK/p.log" <(cat "$WORK"/p.job{1,2,3}.log)
check "collect needs a plan" [ "$(status "$CLI" cluster collect e.bif)" = 1 ]
# Pipes named like a task's report and output are never waited on: collect ends at once.
rm -f "$WORK/p.job2.log" "$WORK/p.job2.out" "$WORK/p.job1.log"
mkfifo "$WORK/p.job2.log" "$WORK/p.job2.out" "$WORK/p.job1.log"
timeout -k 5 20 "$CLI" cluster collect p.bif >"$WORK/collect.txt" 2>/dev/null
check "collect does not wait on pipes" [ $? = 1 ]
check "and counts their jobs failed" grep -qx 'failed:  1,2' "$WORK/collect.txt"
check "without a message" grep -qx '  job 2: no report and no message' "$WORK/collect.txt"

finish
