#!/usr/bin/env bash
# End-to-end checks of registration in the detail-injection runs (`--register auto|off|DX,DY`):
# the report line after the method line, a malformed value refused; on the shared real scene
# (when present) auto fuses the aligned pair as no offset given, offsets and off do not, and a pair
# whose MS is one MS pixel off the pan fuses better with auto than with off, scored against the
# MS that truly lies on the pan's grid.
# Usage: pansharpen_register.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
line() { grep -A1 $'^Pan-Sharpening Method:\t' "$WORK/out" | sed -n 2p | tr -d '\r'; }

# A featureless generated scene: the estimate is not applied, and the report says why.
"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi --seed 2 >/dev/null || exit 1
E=$WORK/s/envi
for band in pan blue green red nir; do
    size=128 && [ $band = pan ] && size=512
    "$GEN" raw "$E/$band.img" --width $size --height $size --bits 16 --value 700 >/dev/null || exit 1
done
INPUTS=(--pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" --nir "$E/nir.img")
run pansharpen "${INPUTS[@]}" --method gsa --yes --quiet
check "featureless: runs" [ "$STATUS" = 0 ]
check "featureless: not applied, with the reason" \
    [ "$(line)" = $'MS offset on the pan:\t0.00, 0.00 pan pixels (not applied: the scene is featureless)' ]
run pansharpen "${INPUTS[@]}" --method brovey --register=-1.5,+0.25 --yes --quiet
check "given: runs" [ "$STATUS" = 0 ]
check "given: the offset given" [ "$(line)" = $'MS offset on the pan:\t-1.50, 0.25 pan pixels (given)' ]
run pansharpen "${INPUTS[@]}" --method awlp --register off --yes --quiet
check "off: no line" [ "$(line)" = $'Resampling Method:\t23-Tap Interpolator' ]
run pansharpen "${INPUTS[@]}" --method 1 --yes --quiet
check "method 1: no line" [ "$(line)" = $'Resampling Method:\tImproved Bilinear' ]
# (Which values parse: the engine tests.)
run pansharpen "${INPUTS[@]}" --method gsa --register 1,nan --yes --quiet
expect_status "pansharpen --register 1,nan" 2 "$STATUS"
check "--register 1,nan: says why" grep -q -- "--register takes auto, off or two numbers DX,DY" "$WORK/err"
run quality wald --pan "$E/pan.img" --ms "$E"/{blue,green,red,nir}.img --register a,b
expect_status "quality wald --register a,b" 2 "$STATUS"

SCENE=${LUMESTA_SCENES:-$(dirname "$0")/../../../shared/data}/ps16/envi
if [ ! -f "$SCENE/pan.img" ] || ! command -v gdal_translate >/dev/null; then
    echo "shared scenes or gdal_translate absent: the real-scene checks skipped"
    finish
    exit $?
fi
cp "$SCENE"/{pan,blue,green,red,nir}.{img,hdr} "$WORK/" && chmod u+w "$WORK"/*.img "$WORK"/*.hdr
W=$WORK
# The estimate of the aligned pair rounds to 0.00, 0.00 and is applied as no offset: auto fuses
# as 0,0 given; an offset given along either axis, or off (no centring on the upsampling grid),
# fuses otherwise. Where each placement puts the samples: the engine tests.
ALIGNED=(--pan "$W/pan.img" --blue "$W/blue.img" --green "$W/green.img" --red "$W/red.img" --nir "$W/nir.img")
for mode in auto 0,0 0.5,0 0,0.5 off; do
    run pansharpen "${ALIGNED[@]}" --method glp-hpm --sensor worldview2 --register=$mode \
        --suffix "_${mode/,/_}" --yes --quiet
    check "aligned scene, $mode: runs" [ "$STATUS" = 0 ]
    [ $mode = auto ] && check "auto: estimated as aligned" \
        grep -q $'^MS offset on the pan:\t0.00, 0.00 pan pixels (estimated)\r$' "$WORK/out"
done
check "auto fuses as 0,0 given" cmp -s "$W/red_auto.img" "$W/red_0_0.img"
for other in 0.5_0 0_0.5 off; do
    check "$other fuses otherwise" eval '! cmp -s "$W/red_0_0.img" "$W/red_$other.img"'
done

# Cut the first 4 pan columns and rows: the MS lies one MS pixel (-4 pan pixels) off the cut
# pan, and the MS cut of its first column and row lies exactly on the cut pan's grid. The pair is
# degraded (Wald) and fused both ways; each result is scored against that exact MS.
crop() { gdal_translate -q -of ENVI -srcwin "$2" "$3" "$4" "$5" "$1" "$6"; }  # IN X0 Y0 COLUMNS ROWS OUT
C=$WORK/cut
mkdir -p "$C"
crop "$W/pan.img" 4 4 752 624 "$C/pan.img"
for band in blue green red nir; do
    crop "$W/$band.img" 0 0 188 156 "$C/$band.img"
    crop "$W/$band.img" 1 1 188 156 "$C/exact_$band.img"
done
run register --pan "$C/pan.img" --ms "$C"/{blue,green,red,nir}.img --sensor worldview2
check "cut pair: found one MS pixel off" \
    awk '$1 == "dx" || $1 == "dy" { n++; if ($2 < -4.1 || $2 > -3.9) exit 1 } END { exit n != 2 }' "$WORK/out"
declare -A SCORE
for mode in auto off; do
    run quality wald --pan "$C/pan.img" --ms "$C"/{blue,green,red,nir}.img --sensor worldview2 \
        --method glp-hpm --register $mode --keep "$C/$mode" --quiet
    check "cut pair, $mode: protocol runs" [ "$STATUS" = 0 ]
    run quality reduced --fused "$C/$mode/glp-hpm.tif" --reference "$C"/exact_{blue,green,red,nir}.img --format csv
    SCORE[$mode]=$(sed -n 2p "$WORK/out" | cut -d, -f1-5)  # ERGAS, SAM, Q2n, Q, SCC
done
read -r -a auto <<<"$(tr , ' ' <<<"${SCORE[auto]}")"
read -r -a off <<<"$(tr , ' ' <<<"${SCORE[off]}")"
better() { awk -v a="$1" -v b="$2" -v lower="$3" 'BEGIN { exit !(lower ? a < b : a > b) }'; }
for figure in 0:ERGAS:1 1:SAM:1 2:Q4:0 4:SCC:0; do  # index, name, whether lower is better
    IFS=: read -r i name lower <<<"$figure"
    check "auto beats off on $name (${auto[$i]} vs ${off[$i]})" better "${auto[$i]}" "${off[$i]}" "$lower"
done

finish
