#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli pansharpen` on generated scenes: exit statuses, standard
# error lines, the report on standard output, outputs of every input layout, overwrite answers.
# (Ctrl-C: reliability.sh.)
# Usage: pansharpen.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi,generic --seed 3 || { echo "generator failed"; exit 1; }
E=$WORK/s/envi
ENVI_ARGS=(--pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" --nir "$E/nir.img")

# A whole run: report on standard output, the ENVI results (their header bytes: the engine tests).
"$CLI" pansharpen "${ENVI_ARGS[@]}" --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
expect_status "envi run" 0 $?
expect_stderr "envi run" "$WORK/err.txt" ""
check "report starts with Log File" starts_with "$WORK/out.txt" $'Log File: \r\n'
check "report ends with Notes:" ends_with "$WORK/out.txt" $'Notes:\r\n'
for f in {blue,green,red,nir}_Fused.{img,hdr} pan_Fused.bmp; do expect_file "$E/$f"; done

# Existing outputs: --no declines (status 1), the question goes to standard error.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --no --quiet --log "$WORK/no.log" 2>"$WORK/err.txt"
expect_status "declined overwrite" 1 $?
expect_stderr "declined overwrite" "$WORK/err.txt" "$E/blue_Fused.img
or other similarly fused bands, including bitmap output, already exist.
Do you want to overwrite?
If you do not wish to overwrite, change the suffix used."
# Without --yes/--no and without a terminal the answer is No.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --quiet --log "$WORK/no.log" </dev/null 2>/dev/null
expect_status "no terminal answers No" 1 $?

# The log file gets one block per invocation, each numbered from 1.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --yes --quiet --log "$WORK/two.log" 2>/dev/null
"$CLI" pansharpen "${ENVI_ARGS[@]}" --yes --quiet --log "$WORK/two.log" 2>/dev/null
[ "$(grep -c 'Pan-Sharpening Run (1)' "$WORK/two.log")" = 2 ] && pass || fail "counters do not start at 0"

# Generic matrices give the same fused bands as the ENVI files (a group and a four-band file: the
# engine's run tests).
G=$WORK/s/generic
"$CLI" pansharpen --pan "$G/pan.raw" --blue "$G/blue.raw" --green "$G/green.raw" --red "$G/red.raw" \
    --nir "$G/nir.raw" --width 512 --height 512 --yes --quiet --log "$WORK/g.log" 2>/dev/null
expect_status "generic" 0 $?
cmp -s "$G/blue.raw_Fused" "$E/blue_Fused.img" && pass || fail "generic result differs"
cmp -s "$G/pan.raw_Fused.bmp" "$E/pan_Fused.bmp" && pass || fail "generic picture differs"
expect_no_file "$G/blue.raw_Fused.hdr"

# Wrong command lines: status 2, nothing run.
"$CLI" pansharpen --pan "$E/pan.img" 2>/dev/null >/dev/null
expect_status "no --blue" 2 $?
for wrong in "--cutoffs 2,2,2" "--adjust 0,31,0" "--frobnicate"; do
    "$CLI" pansharpen "${ENVI_ARGS[@]}" $wrong 2>/dev/null >/dev/null
    expect_status "$wrong" 2 $?
done
"$CLI" nonsense 2>/dev/null >/dev/null
expect_status "unknown tool" 2 $?

finish
