#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli register`: the text and JSON shapes with and without block
# offsets, the report block --log appends, one multi-band MS file and single-band files giving
# the same estimate, a featureless scene reported as not applied with its reason, and every bad
# input with its exit status.
# Usage: register.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 512 --height 384 --seed 5 --layouts envi,envi4 >/dev/null ||
    { echo "generator failed"; exit 1; }
E=$WORK/s/envi
MS="$E/blue.img $E/green.img $E/red.img $E/nir.img"
number='-\?[0-9]\+\.[0-9][0-9]'

run register --pan "$E/pan.img" --ms $MS --sensor worldview2
check "text estimate" [ "$STATUS" = 0 -a ! -s "$WORK/err" ]
check "text lines" [ "$(sed 's/ .*//' "$WORK/out" | tr '\n' ' ')" = "dx dy confidence " ]
check "text numbers" [ "$(grep -c "^[a-z]* *$number$" "$WORK/out")" = 3 ]
check "an aligned generated pair is found aligned" \
    awk '$1 == "dx" || $1 == "dy" { if ($2 < -0.1 || $2 > 0.1) exit 1 }' "$WORK/out"

run register --pan "$E/pan.img" --ms $MS --sensor worldview2 --grid 3 --format json
check "JSON with blocks" [ "$STATUS" = 0 ]
check "JSON keys" grep -q '^{"dx": [-0-9.e]*, "dy": [-0-9.e]*, "confidence": [0-9.e]*, "applied": true, "blocks": \[{"row": 0, "column": 0, "dx": ' "$WORK/out"
check "nine blocks, row by row" [ "$(grep -o '"row": [0-9], "column": [0-9]' "$WORK/out" | tr -d '"rowcolumn:, ' | tr '\n' ' ')" = "00 01 02 10 11 12 20 21 22 " ]
cp "$WORK/out" "$WORK/bands.json"
run register --pan "$WORK/s/envi4/pan.img" --ms "$WORK/s/envi4/ms.img" --sensor worldview2 --grid 3 --format json
check "one four-band file gives the same estimate" cmp -s "$WORK/out" "$WORK/bands.json"

run register --pan "$E/pan.img" --ms $MS --grid 2
check "block table" [ "$(sed -n '5p' "$WORK/out")" = "row  column  dx      dy      confidence" ]
check "four block rows" [ "$(grep -c "^[01]    [01]       $number *$number *$number$" "$WORK/out")" = 4 ]

# --log: standard output unchanged; the block shows its lines with CR LF ends, and a run stopped
# on its inputs still ends its block.
cp "$WORK/out" "$WORK/grid.txt"
run register --pan "$E/pan.img" --ms $MS --grid 2 --log "$WORK/r.log"
same "log: standard output as without it" "$WORK/out" "$WORK/grid.txt"
check "log: CR LF line ends" [ "$(grep -vc $'\r$' "$WORK/r.log")" = 0 ]
tr -d '\r' <"$WORK/r.log" >"$WORK/r.txt"
check "log: the banner" grep -qx '_____________ Registration Run (1) _____________________' "$WORK/r.txt"
awk '/^\(c\) /{exit} f; /^\(b\) Result$/{f=1}' "$WORK/r.txt" | sed '$d' >"$WORK/result.txt"
same "log: the result is standard output's" "$WORK/result.txt" "$WORK/out"
check "log: finished" ends_with "$WORK/r.txt" $'\n\tFinished\n'
run register --pan "$E/pan.img" --ms "$E/blue.img" "$WORK/none.img" "$E/red.img" --log "$WORK/bad.log"
expect_status "log: a missing MS file" 1 "$STATUS"
check "log: a missing MS file: message" grep -q "none.img does not exist" "$WORK/err"
check "log: a missing MS file: unsuccessful" ends_with "$WORK/bad.log" $'\r\n\r\nUnsuccessful\r\n'
check "log: a missing MS file: nothing on stdout" [ ! -s "$WORK/out" ]

# A featureless scene: the generated ENVI bands made constant.
"$GEN" pansharpen "$WORK/f" --width 256 --height 256 --seed 5 --layouts envi >/dev/null || exit 1
F=$WORK/f/envi
for band in pan blue green red; do
    size=64 && [ $band = pan ] && size=256
    "$GEN" raw "$F/$band.img" --width $size --height $size --bits 16 --value 900 >/dev/null
done
FLAT="$F/blue.img $F/green.img $F/red.img"
run register --pan "$F/pan.img" --ms $FLAT
check "featureless: an estimate all the same" [ "$STATUS" = 0 ]
check "featureless: the reason" grep -qx 'not applied: the scene is featureless' "$WORK/out"
run register --pan "$F/pan.img" --ms $FLAT --format json
check "featureless: JSON" grep -qx '{"dx": 0, "dy": 0, "confidence": 0, "applied": false, "reason": "the scene is featureless", "blocks": \[\]}' "$WORK/out"
run register --pan "$F/pan.img" --ms $FLAT --nodata 900
check "all no data: the reason" grep -qx 'not applied: no valid pixels where the MS and the pan overlap' "$WORK/out"
# The files' own no-data declaration counts unless --nodata none sets it aside.
for band in pan blue green red; do echo "data ignore value = 900" >>"$F/$band.hdr"; done
run register --pan "$F/pan.img" --ms $FLAT
check "the files' no-data value" grep -qx 'not applied: no valid pixels where the MS and the pan overlap' "$WORK/out"
run register --pan "$F/pan.img" --ms $FLAT --ms-nodata none --pan-nodata none
check "the files' no-data value set aside" grep -qx 'not applied: the scene is featureless' "$WORK/out"

# Bad input: a message and exit 1; a wrong command line: exit 2. (Sizes that give no ratio:
# the placement's engine tests.)
bad() { # NAME STATUS MESSAGE ARGS...
    local name=$1 status=$2 message=$3
    shift 3
    run register "$@"
    expect_status "$name" "$status" "$STATUS"
    check "$name: message" grep -q -- "$message" "$WORK/err"
    check "$name: nothing on stdout" [ ! -s "$WORK/out" ]
}
bad "ratio not a power of two" 1 "The ratio 3 is not a power of two" --pan "$E/pan.img" --ms $MS --ratio 3
bad "missing pan" 1 "does not exist" --pan "$WORK/none.img" --ms $MS
bad "two bands" 1 "The MS has 2 bands; registration takes 3 to 16." --pan "$E/pan.img" --ms "$E/blue.img" "$E/green.img"
bad "a multi-band file among several" 1 "holds 4 bands: give one multi-band file or single-band files." \
    --pan "$E/pan.img" --ms "$WORK/s/envi4/ms.img" "$E/blue.img"
bad "a multi-band pan" 1 "holds 4 bands: give a single-band pan." --pan "$WORK/s/envi4/ms.img" --ms $MS
bad "headerless input" 1 "has no header" --pan "$WORK/s/envi/pan.img" --ms "$WORK/x.raw" "$WORK/y.raw" "$WORK/z.raw"
bad "no MS" 2 "--ms" --pan "$E/pan.img"
bad "no-data value not a number" 2 "--nodata takes a number or none" --pan "$E/pan.img" --ms $MS --nodata abc
bad "grid of 0" 2 "--grid" --pan "$E/pan.img" --ms $MS --grid 0
bad "unknown format" 2 "--format" --pan "$E/pan.img" --ms $MS --format csv

finish
