#!/usr/bin/env bash
# End-to-end checks of the detail-injection methods of `lumesta-cli pansharpen`: every method
# in every input layout writes its outputs and names itself in the report, with no filter by
# default; ENVI, four-band and GeoTIFF inputs of the same samples give the same fused samples;
# wrong method and sensor names are refused.
# Usage: pansharpen_methods.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi,envi4,idrisi,generic --seed 5 || exit 1
E=$WORK/s/envi
G=$WORK/s/generic
T=$WORK/tif
mkdir -p "$T"
"$GEN" geotiff "$T/pan.tif" --width 512 --height 512 --bits 16 "$G/pan.raw" || exit 1
"$GEN" geotiff "$T/ms.tif" --width 128 --height 128 --bits 16 "$G/blue.raw" "$G/green.raw" \
    "$G/red.raw" "$G/nir.raw" || exit 1

declare -A LABEL=([gsa]="Adaptive Gram-Schmidt (GSA)" [glp-hpm]="MTF-GLP-HPM" [awlp]="AWLP"
                  [brovey]="Weighted Brovey" [glp-ebp]="MTF-GLP-EBP" [glp-fs]="MTF-GLP-FS"
                  [bdsd-pc]="BDSD-PC")
for method in gsa glp-hpm awlp brovey glp-ebp glp-fs bdsd-pc; do
    log=$WORK/$method.log
    "$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" \
        --red "$E/red.img" --nir "$E/nir.img" --method "$method" --sensor quickbird \
        --suffix "_$method" --yes --quiet --log "$log" 2>"$WORK/err.txt"
    check "$method: exit status 0" [ $? = 0 ]
    check "$method: nothing on stderr" [ ! -s "$WORK/err.txt" ]
    check "$method: method line" grep -q $'^Pan-Sharpening Method:\t'"${LABEL[$method]}"$'\r$' "$log"
    check "$method: resampling line" grep -q $'^Resampling Method:\t23-Tap Interpolator\r$' "$log"
    check "$method: no filter by default" grep -q $'^Spatial Filtering:\tNone\r$' "$log"
    check "$method: finished" grep -q $'^    Step 2: \\.\\.\\.\\.\\.\\.\tFinished\r$' "$log"
    for band in blue green red nir; do
        check "$method: $band written" [ -s "$E/${band}_$method.img" ]
    done
    check "$method: picture" [ -s "$E/pan_$method.bmp" ]

    # The same samples as one four-band file, as Idrisi32 bands and as GeoTIFFs.
    "$CLI" pansharpen --pan "$WORK/s/envi4/pan.img" --blue "$WORK/s/envi4/ms.img" \
        --method "$method" --sensor quickbird --suffix "_$method" --yes --quiet >/dev/null 2>&1
    check "$method: four-band file" [ $? = 0 ]
    I=$WORK/s/idrisi
    "$CLI" pansharpen --pan "$I/pan.rst" --blue "$I/blue.rst" --green "$I/green.rst" \
        --red "$I/red.rst" --nir "$I/nir.rst" --method "$method" --sensor quickbird \
        --suffix "_$method" --yes --quiet >/dev/null 2>&1
    check "$method: Idrisi32" [ $? = 0 ]
    for band in blue green red nir; do
        check "$method: Idrisi32 $band as ENVI" cmp -s "$I/${band}_$method.rst" "$E/${band}_$method.img"
    done
    "$CLI" pansharpen --pan "$T/pan.tif" --blue "$T/ms.tif" --method "$method" --sensor quickbird \
        --suffix "_$method" --yes --quiet >/dev/null 2>&1
    check "$method: GeoTIFF" [ $? = 0 ]
    check "$method: GeoTIFF written" [ -n "$(ls "$T"/*"_$method"*.tif 2>/dev/null)" ]
done

# --method auto: the report names the choice and scores every classical method; the bands are
# those of the chosen method named; a --filter after it is kept.
"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --method auto --sensor quickbird --suffix _auto --yes --quiet \
    --log "$WORK/auto.log" 2>"$WORK/err.txt"
check "auto: exit status 0" [ $? = 0 ]
check "auto: nothing on stderr" [ ! -s "$WORK/err.txt" ]
chosen=$(sed -n 's/^Method chosen by auto:\t\(.*\)\r$/\1/p' "$WORK/auto.log")
check "auto: method line names the choice" grep -q $'^Pan-Sharpening Method:\t'"$chosen"$'\r$' "$WORK/auto.log"
check "auto: one line per candidate" [ "$(grep -c $'^Auto candidate:\t.*\tERGAS [0-9.]*\tSAM [0-9.]*\tQ2n [0-9.]*\tSCC [0-9.]*\r$' "$WORK/auto.log")" = 9 ]
for method in "${!LABEL[@]}"; do
    [ "${LABEL[$method]}" = "$chosen" ] || continue
    for band in blue green red nir; do
        check "auto: $band as --method $method" cmp -s "$E/${band}_auto.img" "$E/${band}_$method.img"
    done
done
"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --method auto --filter detail --suffix _autod --yes --quiet \
    --log "$WORK/autod.log" >/dev/null 2>&1
check "auto: a filter after it is kept" grep -q $'^Spatial Filtering:\tDetail' "$WORK/autod.log"
# Reading the inputs leaves nothing beside them.
check "no side files beside the inputs" [ -z "$(ls "$E" "$T" "$WORK/s/envi4" | grep -i 'aux.xml')" ]

# The sensor's gains change the MTF-matched methods (Blue: 0.34 for QuickBird, 0.30 generic).
"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --method glp-hpm --suffix _generic --yes --quiet >/dev/null 2>&1
differ() { ! cmp -s "$1" "$2"; }
check "sensor changes the pyramid" differ "$E/blue_generic.img" "$E/blue_glp-hpm.img"
# A filter asked for is applied on top.
"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --method glp-hpm --filter sharpen --suffix _sharp --yes --quiet --log "$WORK/f.log" >/dev/null 2>&1
check "filter asked for" grep -q $'^Spatial Filtering:\tSharpen' "$WORK/f.log"

"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --method ihs --yes --quiet 2>"$WORK/err.txt"
check "unknown method: status 2" [ $? = 2 ]
check "unknown method: message" grep -q -- '--method' "$WORK/err.txt"
"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --method gsa --sensor landsat --yes --quiet 2>"$WORK/err.txt"
check "unknown sensor: status 2" [ $? = 2 ]
check "unknown sensor: message" grep -q -- '--sensor takes worldview2, quickbird, ikonos, worldview3, geoeye1 or generic' "$WORK/err.txt"

# Ctrl-C while a method fuses: status 130, the Cancelled line, no output left.
"$GEN" pansharpen "$WORK/big" --width 2048 --height 2048 --layouts envi --seed 2 || exit 1
B=$WORK/big/envi
"$CLI" pansharpen --pan "$B/pan.img" --blue "$B/blue.img" --green "$B/green.img" --red "$B/red.img" \
    --nir "$B/nir.img" --method awlp --yes --quiet --log "$WORK/c.log" 2>/dev/null &
pid=$!
for _ in $(seq 1 1000); do
    grep -q 'Step 2' "$WORK/c.log" 2>/dev/null && break
    sleep 0.005
done
kill -INT $pid
wait $pid
check "Ctrl-C: status 130" [ $? = 130 ]
check "Ctrl-C: Cancelled line" grep -q $'^Cancelled\r$' "$WORK/c.log"
for band in blue green red nir; do check "Ctrl-C: no $band left" [ ! -e "$B/${band}_Fused.img" ]; done
check "Ctrl-C: no picture left" [ ! -e "$B/pan_Fused.bmp" ]

finish
