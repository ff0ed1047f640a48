#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli pansharpen` on generated scenes: exit statuses, standard
# error lines, the report block, outputs of every input layout, overwrite answers, Ctrl-C.
# Usage: pansharpen.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
expect_file() { if [ -f "$1" ]; then pass; else fail "missing $1"; fi; }
expect_no_file() { if [ -e "$1" ]; then fail "left behind: $1"; else pass; fi; }
expect_stderr() { # NAME FILE EXACT-TEXT
    if [ "$(cat "$2")" = "$3" ]; then pass; else fail "$1: stderr was $(printf '%q' "$(cat "$2")")"; fi
}

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --seed 3 || { echo "generator failed"; exit 1; }
E=$WORK/s/envi
ENVI_ARGS=(--pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" --nir "$E/nir.img")

# A whole run: report on standard output, ENVI results that GDAL reads.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
expect_status "envi run" 0 $?
expect_stderr "envi run" "$WORK/err.txt" ""
head -c 15 "$WORK/out.txt" | od -c | grep -q 'L   o   g       F   i   l   e   :      \\r  \\n' && pass || fail "report does not start with Log File"
grep -q $'^    Step 5: \\.\\.\\.\\.\\.\\.\tFinished (24-bit BMP output)\r$' "$WORK/out.txt" && pass || fail "no Step 5 line"
tail -c 8 "$WORK/out.txt" | od -c | grep -q 'N   o   t   e   s   :  \\r  \\n' && pass || fail "report does not end with Notes:"
for band in blue green red nir; do
    expect_file "$E/${band}_Fused.img"
    expect_file "$E/${band}_Fused.hdr"
done
expect_file "$E/pan_Fused.bmp"
if command -v gdalinfo >/dev/null; then
    gdalinfo "$E/red_Fused.img" 2>/dev/null | grep -q 'Size is 512, 512' && pass || fail "gdalinfo: ENVI size"
    gdalinfo "$E/red_Fused.img" 2>/dev/null | grep -q 'Type=Int16' && pass || fail "gdalinfo: ENVI type"
fi

# Existing outputs: --no declines (status 1), the question goes to standard error.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --no --quiet --log "$WORK/no.log" 2>"$WORK/err.txt"
expect_status "declined overwrite" 1 $?
expect_stderr "declined overwrite" "$WORK/err.txt" "$E/blue_Fused.img
or other similarly fused bands, including bitmap output, already exist.
Do you want to overwrite?
If you do not wish to overwrite, change the suffix used."
tail -c 16 "$WORK/no.log" | od -c | grep -q 'U   n   s   u   c   c   e   s   s   f   u   l  \\r  \\n' && pass || fail "no Unsuccessful line"
# Without --yes/--no and without a terminal the answer is No.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --quiet --log "$WORK/no.log" </dev/null 2>/dev/null
expect_status "no terminal answers No" 1 $?

# The log file gets one block per invocation, each numbered from 1.
"$CLI" pansharpen "${ENVI_ARGS[@]}" --yes --quiet --log "$WORK/two.log" 2>/dev/null
"$CLI" pansharpen "${ENVI_ARGS[@]}" --yes --quiet --log "$WORK/two.log" 2>/dev/null
[ "$(grep -c 'Pan-Sharpening Run (1)' "$WORK/two.log")" = 2 ] && pass || fail "counters do not start at 0"

# Idrisi32 group and generic matrices give the same fused bands as the ENVI files.
I=$WORK/s/idrisi
"$CLI" pansharpen --pan "$I/pan.rst" --blue "$I/ms.rgf" --yes --quiet --log "$WORK/i.log" 2>"$WORK/err.txt"
expect_status "idrisi group" 0 $?
cmp -s "$I/nir_Fused.rst" "$E/nir_Fused.img" && pass || fail "idrisi result differs"
if command -v gdalinfo >/dev/null; then
    gdalinfo "$I/nir_Fused.rst" 2>/dev/null | grep -q 'Size is 512, 512' && pass || fail "gdalinfo: RST size"
fi
G=$WORK/s/generic
"$CLI" pansharpen --pan "$G/pan.raw" --blue "$G/blue.raw" --green "$G/green.raw" --red "$G/red.raw" \
    --nir "$G/nir.raw" --width 512 --height 512 --yes --quiet --log "$WORK/g.log" 2>/dev/null
expect_status "generic" 0 $?
cmp -s "$G/blue.raw_Fused" "$E/blue_Fused.img" && pass || fail "generic result differs"
cmp -s "$G/pan.raw_Fused.bmp" "$E/pan_Fused.bmp" && pass || fail "generic picture differs"
expect_no_file "$G/blue.raw_Fused.hdr"

# Messages of the run: one line on standard error each, status 1.
"$CLI" pansharpen --pan "$G/pan.raw" --blue "$G/blue.raw" --green "$G/green.raw" --red "$G/red.raw" \
    --nir "$G/nir.raw" --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "generic without size" 1 $?
expect_stderr "generic without size" "$WORK/err.txt" "Please input width and height."
"$CLI" pansharpen --pan "$WORK/missing.img" --blue "$E/blue.img" --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "missing pan header" 1 $?

# Wrong command lines: status 2, nothing run.
"$CLI" pansharpen --pan "$E/pan.img" 2>/dev/null >/dev/null
expect_status "no --blue" 2 $?
"$CLI" pansharpen "${ENVI_ARGS[@]}" --cutoffs 2,2,2 2>/dev/null >/dev/null
expect_status "short --cutoffs" 2 $?
"$CLI" pansharpen "${ENVI_ARGS[@]}" --adjust 0,31,0 2>/dev/null >/dev/null
expect_status "--adjust out of range" 2 $?
"$CLI" pansharpen "${ENVI_ARGS[@]}" --frobnicate 2>/dev/null >/dev/null
expect_status "unknown option" 2 $?
"$CLI" nonsense 2>/dev/null >/dev/null
expect_status "unknown tool" 2 $?

# Ctrl-C during the fusion takes the cancel path: status 130, closing line, no outputs.
"$GEN" pansharpen "$WORK/big" --width "$CANCEL_SIDE" --height "$CANCEL_SIDE" --layouts envi --seed 4
B=$WORK/big/envi
"$CLI" pansharpen --pan "$B/pan.img" --blue "$B/blue.img" --green "$B/green.img" --red "$B/red.img" \
    --nir "$B/nir.img" --yes --quiet --log "$WORK/c.log" 2>/dev/null &
pid=$!
for _ in $(seq 1 500); do
    grep -q 'Step 2' "$WORK/c.log" 2>/dev/null && break
    sleep 0.01
done
kill -INT $pid
wait $pid
expect_status "Ctrl-C" 130 $?
tail -c 13 "$WORK/c.log" | od -c | grep -q 'C   a   n   c   e   l   l   e   d  \\r  \\n  \\r  \\n' && pass || fail "no Cancelled line"
for band in blue green red nir; do expect_no_file "$B/${band}_Fused.img"; done
expect_no_file "$B/pan_Fused.bmp"

finish
