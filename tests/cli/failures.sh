#!/usr/bin/env bash
# Every way each tool of lumesta-cli stops on a message (exit status 1) says why on standard
# error, and leaves no output behind. One line per case: tool, what is wrong, its arguments.
# Usage: failures.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi,generic --seed 3 &&
"$GEN" pansharpen "$WORK/b" --width 512 --height 512 --layouts envi --bits 8 --seed 4 ||
    { echo "generator failed"; exit 1; }
E=$WORK/s/envi
R=$WORK/s/generic
B=$WORK/b/envi
M=$WORK/missing
cp "$E/blue.img" "$WORK/lone.img"      # a band whose header is missing
printf 'not a batch file\n' >"$WORK/bad.bif"

# NAME|ARGUMENTS (split on spaces)
CASES=(
  "pan missing|pansharpen --pan $M/pan.img --blue $E/blue.img --green $E/green.img --red $E/red.img --nir $E/nir.img"
  "blue missing|pansharpen --pan $E/pan.img --blue $M/blue.img --green $E/green.img --red $E/red.img --nir $E/nir.img"
  "blue without header|pansharpen --pan $E/pan.img --blue $WORK/lone.img --green $E/green.img --red $E/red.img --nir $E/nir.img"
  "generic pan missing|pansharpen --pan $M/pan.raw --blue $R/blue.raw --green $R/green.raw --red $R/red.raw --nir $R/nir.raw --width 512 --height 512"
  "generic band missing|pansharpen --pan $R/pan.raw --blue $M/b.raw --green $R/green.raw --red $R/red.raw --nir $R/nir.raw --width 512 --height 512"
  "GeoTIFF pan missing|pansharpen --pan $M/pan.tif --blue $M/b.tif --green $M/g.tif --red $M/r.tif --nir $M/n.tif"
  "batch file missing|pansharpen --pan $M/jobs.bif"
  "batch file unreadable|pansharpen --pan $WORK/bad.bif"
  "overwrite declined|pansharpen --pan $E/pan.img --blue $E/blue.img --green $E/green.img --red $E/red.img --nir $E/nir.img --bmp $E/blue.img"
  "etm pan missing|pansharpen-etm --pan $M/pan.img --blue $B/blue.img --green $B/green.img --red $B/red.img"
  "etm band without header|pansharpen-etm --pan $B/pan.img --blue $WORK/lone.img --green $B/green.img --red $B/red.img"
  "combine blue missing|combine --blue $M/b.img --green $E/green.img --red $E/red.img"
  "combine generic missing|combine --blue $M/b.raw --green $M/g.raw --red $M/r.raw --width 128 --height 128"
  "combine batch missing|combine --blue $M/jobs.bif"
  "combine8 blue without header|combine8 --blue $WORK/lone.img --green $B/green.img --red $B/red.img"
  "semivariance input missing|semivariance --input $M/in.img"
  "semivariance generic missing|semivariance --input $M/in.raw --width 64 --height 64"
  "stats input missing|stats --input $M/in.img"
  "stats generic missing|stats --input $M/in.raw --width 64 --height 64"
  "haar input missing|haar --input $M/in.img"
  "haar generic missing|haar --input $M/in.raw --width 64 --height 64"
  "haar output folder missing|haar --input $E/pan.img --output $M/out.img"
)

for entry in "${CASES[@]}"; do
  name=${entry%%|*}
  read -r -a args <<<"${entry#*|}"
  before=$(find "$WORK" -type f | sort)
  "$CLI" "${args[@]}" --no --quiet >"$WORK/out.txt" 2>"$WORK/err.txt" </dev/null
  status=$?
  rm -f "$WORK/out.txt"
  after=$(find "$WORK" -type f ! -name err.txt | sort)
  if [ "$status" != 1 ]; then fail "$name: exit status $status, expected 1"
  elif [ ! -s "$WORK/err.txt" ]; then fail "$name: exit status 1 without a message"
  elif [ "$before" != "$after" ]; then fail "$name: files left behind: $(comm -13 <(echo "$before") <(echo "$after"))"
  else pass; fi
  rm -f "$WORK/err.txt"
done

# A singular regression (an MS of zeros) says so on standard error once per pivot, through the
# terminal, before the run's refusal.
for band in blue green red nir; do "$GEN" raw "$WORK/zero_$band.raw" --width 128 --height 128 --bits 16 --value 0 >/dev/null; done
"$CLI" pansharpen --pan "$R/pan.raw" --blue "$WORK/zero_blue.raw" --green "$WORK/zero_green.raw" \
    --red "$WORK/zero_red.raw" --nir "$WORK/zero_nir.raw" --width 512 --height 512 --yes --quiet \
    >/dev/null 2>"$WORK/err.txt"
check "singular regression: status 1" [ $? = 1 ]
check "singular regression: its lines and the refusal" cmp -s "$WORK/err.txt" <(
    for _ in 1 2 3 4; do echo 'ERROR <MATRIX::inverse()> : Singular Matrix'; done
    echo 'Sorry, Cannot process the inputs selected. Please check input images.')

finish
