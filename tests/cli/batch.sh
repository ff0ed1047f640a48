#!/usr/bin/env bash
# End-to-end checks of batch input files (.bif) with lumesta-cli: four-band and single-band
# records of every batch tool, and permuted selectors. The batch pictures must equal those of
# the same jobs run alone. (Output format indicators and stops: the engine's batch tests; the
# exit status of a stopped batch: reliability.sh.)
# Usage: batch.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

# A 16-bit scene as GeoTIFFs, the four bands also in one file; the jobs run alone as reference.
T=$WORK/tif
geotiff_scene "$T" 512 11 ms
"$CLI" pansharpen --pan "$T/pan.tif" --blue "$T/blue.tif" --green "$T/green.tif" --red "$T/red.tif" \
    --nir "$T/nir.tif" --bmp "$WORK/alone.bmp" --quiet --log "$WORK/alone.log" 2>/dev/null
check "single run as reference" [ -f "$WORK/alone.bmp" ]

single() { # NUMBER OUT
    printf '%s\n%s\n%s\n%s\n%s\n%s\n%s\n%s\n' "$1" "$T/pan.tif" "$T/blue.tif" "$T/green.tif" "$T/red.tif" \
        "$T/nir.tif" "$WORK/$2.bmp" "$WORK/$2.tif"
}
{ echo "3 0"; single 1 a; printf '2 text after the number\n%s\n%s\n%s\n%s\n' "$T/pan.tif" "$T/ms.tif" "$WORK/b.bmp" "$WORK/b.tif"; single 3 c; } >"$WORK/all.bif"
"$CLI" pansharpen --pan "$WORK/all.bif" --yes --quiet --log "$WORK/all.log" 2>"$WORK/err.txt"
check "batch of three finishes" [ $? = 0 ]
check "a progress line per job" [ "$(grep -c '^Batch job [123] of 3$' "$WORK/err.txt")" = 3 ]
for job in a b c; do
    check "job $job picture equals the single run's" cmp -s "$WORK/$job.bmp" "$WORK/alone.bmp"
    check "job $job GeoTIFF written" [ -s "$WORK/$job.tif" ]
done
check "no temporary file left" [ -z "$(ls "$T" | grep '^~tmp')" ]
check "no intermediate planes left" [ -z "$(ls "$T" | grep '_Fused_')" ]

# Selectors permute single-band files.
{ echo "1 1"; single 1 f; } >"$WORK/perm.bif"
"$CLI" pansharpen --pan "$WORK/perm.bif" --select 2,1,3,4 --quiet --log "$WORK/perm.log" 2>/dev/null
check "selectors permute the files" grep -q "^Blue:	$T/green.tif" "$WORK/perm.log"
"$CLI" pansharpen --pan "$WORK/perm.bif" --blue "$T/blue.tif" --quiet >/dev/null 2>&1
check "--blue with a batch file is a usage error" [ $? = 2 ]

# The Landsat tool's seven-line records.
"$GEN" pansharpen "$WORK/e8" --width 640 --height 576 --bits 8 --layouts envi,generic --seed 12 || exit 1
G8=$WORK/e8/generic
"$GEN" geotiff "$T/pan8.tif" --width 640 --height 576 --bits 8 "$G8/pan.raw" || exit 1
for band in blue green red; do
    "$GEN" geotiff "$T/${band}8.tif" --width 320 --height 288 --bits 8 "$G8/$band.raw" || exit 1
done
E8=$WORK/e8/envi
"$CLI" pansharpen-etm --pan "$E8/pan.img" --blue "$E8/blue.img" --green "$E8/green.img" --red "$E8/red.img" \
    --quiet --log "$WORK/alone8.log" 2>/dev/null
printf '1 0\n1\n%s\n%s\n%s\n%s\n%s\n%s\n' "$T/pan8.tif" "$T/blue8.tif" "$T/green8.tif" "$T/red8.tif" \
    "$WORK/h.bmp" "$WORK/h.tif" >"$WORK/etm.bif"
"$CLI" pansharpen-etm --pan "$WORK/etm.bif" --quiet --log "$WORK/etm.log" 2>/dev/null
check "Landsat batch finishes" [ $? = 0 ]
check "Landsat batch picture equals the single run's" cmp -s "$WORK/h.bmp" "$E8/pan_Fused.bmp"
check "Landsat batch GeoTIFF written" [ -s "$WORK/h.tif" ]

# Band combination: the pan line is read and not used; a four-band record has six lines.
"$CLI" combine --blue "$T/blue.tif" --green "$T/green.tif" --red "$T/red.tif" --bmp "$WORK/alone16.bmp" \
    --quiet --log "$WORK/c.log" 2>/dev/null
printf '2 0\n1\nnot used\n%s\n%s\n%s\n%s\n%s\n%s\n2\nnot used\n%s\n%s\n%s\n' \
    "$T/blue.tif" "$T/green.tif" "$T/red.tif" "$T/nir.tif" "$WORK/i.bmp" "$WORK/i.tif" \
    "$T/ms.tif" "$WORK/j.bmp" "$WORK/j.tif" >"$WORK/combine.bif"
"$CLI" combine --blue "$WORK/combine.bif" --quiet --log "$WORK/combine.log" 2>/dev/null
check "combine batch finishes" [ $? = 0 ]
check "combine batch pictures equal the single run's" cmp -s "$WORK/i.bmp" "$WORK/alone16.bmp"
check "four-band record gives the same picture" cmp -s "$WORK/j.bmp" "$WORK/alone16.bmp"
check "combine batch GeoTIFFs written" [ -s "$WORK/i.tif" ] && [ -s "$WORK/j.tif" ]
printf '1 1\n1\nnot used\n%s\n%s\n%s\n%s\n%s\n' "$T/blue8.tif" "$T/green8.tif" "$T/red8.tif" \
    "$WORK/k.bmp" "$WORK/k.tif" >"$WORK/combine8.bif"
"$CLI" combine8 --blue "$WORK/combine8.bif" --quiet --log "$WORK/combine8.log" 2>/dev/null
check "8-bit combine batch writes only its picture" [ -s "$WORK/k.bmp" ] && [ ! -e "$WORK/k.tif" ]

# --method auto ranks one scene: a batch file is refused before any job runs.
{ echo "1 1"; single 1 auto; } >"$WORK/auto.bif"
"$CLI" pansharpen --pan "$WORK/auto.bif" --method auto --yes --quiet --log "$WORK/auto.log" 2>"$WORK/err.txt"
check "auto batch: status 1" [ $? = 1 ]
check "auto batch: message" grep -q 'chooses the method of one scene' "$WORK/err.txt"
check "auto batch: nothing written" [ ! -e "$WORK/auto.bmp" ]

finish
