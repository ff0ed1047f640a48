#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli pansharpen-etm` on a generated 8-bit scene: every input
# layout gives the same fused bands, the report and its exit statuses.
# Usage: pansharpen_etm.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 640 --height 576 --bits 8 --seed 7 || { echo "generator failed"; exit 1; }
E=$WORK/s/envi

"$CLI" pansharpen-etm --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --filter smooth-sharpen --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
check "envi run finishes" [ $? = 0 ]
check "nothing on stderr" [ ! -s "$WORK/err.txt" ]
check "Landsat filter line" grep -q $'^Spatial Filtering:\tSmooth, followed by sharpening\r$' "$WORK/out.txt"
check "picture size" [ "$(stat -c %s "$E/pan_Fused.bmp")" = $((54 + 640 * 3 * 576)) ]

M=$WORK/s/envi3
"$CLI" pansharpen-etm --pan "$M/pan.img" --blue "$M/ms.img" --filter smooth-sharpen --yes --quiet \
    --log "$WORK/m.log" 2>/dev/null
check "three-band file finishes" [ $? = 0 ]
check "three-band result equals separate files" cmp -s "$M/ms_Fused3.img" "$E/red_Fused.img"

I=$WORK/s/idrisi
"$CLI" pansharpen-etm --pan "$I/pan.rst" --blue "$I/ms.rgf" --filter smooth-sharpen --yes --quiet \
    --log "$WORK/i.log" 2>/dev/null
check "group finishes" [ $? = 0 ]
check "group result equals ENVI" cmp -s "$I/green_Fused.rst" "$E/green_Fused.img"

G=$WORK/s/generic
"$CLI" pansharpen-etm --pan "$G/pan.raw" --blue "$G/blue.raw" --green "$G/green.raw" --red "$G/red.raw" \
    --width 640 --height 576 --filter smooth-sharpen --yes --quiet --log "$WORK/g.log" 2>/dev/null
check "generic finishes" [ $? = 0 ]
check "generic equals ENVI" cmp -s "$G/blue.raw_Fused" "$E/blue_Fused.img"

"$CLI" pansharpen-etm --pan "$E/pan.img" --blue "$E/blue.img" --filter-bands red >/dev/null 2>&1
check "--filter-bands needs a filter" [ $? = 2 ]

finish
