#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli combine` and `combine8` on generated bands: every input
# layout gives the same picture, exit statuses, standard error lines, the report on standard
# output and wrong command lines. (The report block, stretches, messages and the shared GeoTIFF
# scene: the engine tests; --no: pansharpen.sh; Ctrl-C: reliability.sh.)
# Usage: combine.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi,envi4,idrisi,generic --seed 5 &&
"$GEN" pansharpen "$WORK/b" --width 512 --height 512 --layouts envi,envi3,idrisi,generic --bits 8 --seed 6 ||
    { echo "generator failed"; exit 1; }

# 16-bit ENVI bands: the report on standard output, a 128 x 128 picture.
E=$WORK/s/envi
"$CLI" combine --blue "$E/green.img" --green "$E/red.img" --red "$E/nir.img" --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
expect_status "envi" 0 $?
expect_stderr "envi" "$WORK/err.txt" ""
check "report start" starts_with "$WORK/out.txt" $'Log File: \r\n\r\n+++++++++++++++ Band Combination (1) ++++++++++++++++++++\r\n\r\n'
check "report end" ends_with "$WORK/out.txt" $'\tStep 1: ......\tFinished (24-bit BMP output)\r\n\r\nNotes:\r\n'
check "BMP size" [ "$(stat -c %s "$E/green_Composite.bmp")" = $((54 + 384 * 128)) ]

# The same bands from a group and generic matrices.
I=$WORK/s/idrisi
"$CLI" combine --blue "$I/ms.rgf" --select 2,3,4 --quiet --log "$WORK/i.log" 2>/dev/null
expect_status "group" 0 $?
same "group" "$I/ms_Composite.bmp" "$E/green_Composite.bmp"
G=$WORK/s/generic
"$CLI" combine --blue "$G/green.raw" --green "$G/red.raw" --red "$G/nir.raw" --width 128 --height 128 \
    --bmp "$WORK/generic.bmp" --quiet --log "$WORK/g.log" 2>/dev/null
expect_status "generic" 0 $?
same "generic" "$WORK/generic.bmp" "$E/green_Composite.bmp"

# 8-bit bands: every layout gives the same picture.
B=$WORK/b
"$CLI" combine8 --blue "$B/envi/blue.img" --green "$B/envi/green.img" --red "$B/envi/red.img" --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 envi" 0 $?
"$CLI" combine8 --blue "$B/envi3/ms.img" --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 envi3" 0 $?
same "combine8 envi3" "$B/envi3/ms_Composite.bmp" "$B/envi/blue_Composite.bmp"
"$CLI" combine8 --blue "$B/idrisi/blue.rst" --green "$B/idrisi/green.rst" --red "$B/idrisi/red.rst" --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 idrisi" 0 $?
same "combine8 idrisi" "$B/idrisi/blue_Composite.bmp" "$B/envi/blue_Composite.bmp"
"$CLI" combine8 --blue "$B/generic/blue.raw" --green "$B/generic/green.raw" --red "$B/generic/red.raw" \
    --width 256 --height 256 --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 generic" 0 $?
same "combine8 generic" "$B/generic/blue_Composite.bmp" "$B/envi/blue_Composite.bmp"

# Wrong command lines: status 2, nothing run.
for wrong in "combine --green $E/red.img" "combine --blue $WORK/s/envi4/ms.img --green $E/red.img" \
    "combine --blue $WORK/s/envi4/ms.img --select 2,3,5" "combine8 --blue $B/envi/blue.img --cutoffs 0,2,2,2,2,2"; do
    "$CLI" $wrong 2>/dev/null >/dev/null
    expect_status "$wrong" 2 $?
done

finish
