#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli pansharpen --output/--format` without --ms: the fused bands
# of a --blue ... run go into one multi-band file whose bands are the samples the run writes
# band by band without them, with the same picture and report; the format follows the name or
# --format; --rgb picks the picture's bands; an input as the result is refused even with --yes
# and nothing is left behind.
# Usage: band_result.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi --seed 7 >/dev/null || exit 1
E=$WORK/s/envi
BANDS=(--blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" --nir "$E/nir.img")
run() { "$CLI" pansharpen --pan "$E/pan.img" "${BANDS[@]}" --yes --quiet "$@" >"$WORK/out" 2>"$WORK/err"; STATUS=$?; }
# The samples of a raster as BSQ bytes, through GDAL when it is there.
samples() {
    if [ "${1##*.}" = img ]; then cat "$1"
    else gdal_translate -q -of ENVI -co INTERLEAVE=BSQ "$1" "$WORK/g.raw" >/dev/null && cat "$WORK/g.raw"; fi
}
have_gdal() { command -v gdal_translate >/dev/null; }

for method in 1 glp-hpm; do
    for ending in img tif; do
        [ "$ending" = tif ] && ! have_gdal && continue
        run --method "$method" --suffix "_b$method" --log "$WORK/bands.log"
        expect_status "$method: band files" 0 "$STATUS"
        mkdir "$WORK/b" && mv "$E"/*_b$method.* "$WORK/b/"
        before=$(ls "$E" | tr '\n' ' ')
        run --method "$method" --suffix "_b$method" --output "$WORK/r.$ending" --log "$WORK/result.log"
        expect_status "$method $ending: result" 0 "$STATUS"
        check "$method $ending: nothing on stderr" [ ! -s "$WORK/err" ]
        check "$method $ending: bands as the band files" cmp -s \
            <(cat "$WORK/b"/{blue,green,red,nir}_b$method.img) <(samples "$WORK/r.$ending")
        check "$method $ending: the same picture" cmp -s "$E/pan_b$method.bmp" "$WORK/b/pan_b$method.bmp"
        # The same report, but for section (d) naming the result's bands.
        r="$WORK/r.$ending"
        check "$method $ending: the same report" cmp -s <(timeless "$WORK/bands.log" | sed 1,/^/d) \
            <(timeless "$WORK/result.log" | sed 1,/^/d | sed -e 's/Run (2)/Run (1)/' \
              -e "s#^Blue:\t$r (Band 1)#Blue:\t$E/blue_b$method.img#" \
              -e "s#^Green:\t$r (Band 2)#Green:\t$E/green_b$method.img#" \
              -e "s#^Red:\t$r (Band 3)#Red:\t$E/red_b$method.img#" \
              -e "s#^NIR:\t$r (Band 4)#NIR:\t$E/nir_b$method.img#")
        check "$method $ending: the report names the result" grep -q $'^NIR:\t'"$r"$' (Band 4)\r$' "$WORK/result.log"
        rm "$E/pan_b$method.bmp"
        check "$method $ending: no band files written" [ "$(ls "$E" | tr '\n' ' ')" = "$before" ]
        rm -rf "$WORK/b" "$WORK"/r.* "$WORK"/*.log "$WORK/g.raw" "$WORK/g.hdr" "$WORK"/*.aux.xml
    done
done
if have_gdal; then
    run --method glp-hpm --format cog
    expect_status "--format alone" 0 "$STATUS"
    check "--format alone: named after the first MS input" gdalinfo "$E/blue_Fused.tif" >/dev/null 2>&1
    check "--format alone: a COG" grep -q LAYOUT=COG <(gdalinfo "$E/blue_Fused.tif")
    rm -f "$E"/blue_Fused.tif "$E"/pan_Fused.*
fi

# --rgb picks the picture's bands among the four: Green, Red, NIR shown as blue, green, red are
# the picture of the same bands given in that order (each band fuses alone with glp-hpm).
for extra in "" --colour-match; do
    "$CLI" pansharpen --pan "$E/pan.img" "${BANDS[@]}" --method glp-hpm --rgb 4,3,2 $extra \
        --suffix _p --bmp "$WORK/p.bmp" --yes --quiet >/dev/null 2>&1
    "$CLI" pansharpen --pan "$E/pan.img" --blue "$E/green.img" --green "$E/red.img" \
        --red "$E/nir.img" --nir "$E/blue.img" --method glp-hpm $extra --suffix _q \
        --bmp "$WORK/q.bmp" --yes --quiet >/dev/null 2>&1
    check "--rgb 4,3,2 $extra: the picture of those bands" cmp -s "$WORK/p.bmp" "$WORK/q.bmp"
    rm -f "$WORK"/[pq].* "$E"/*_[pq].*
done
run --method glp-hpm --rgb 5,3,2
expect_status "--rgb beyond the four bands" 2 "$STATUS"

# Refusals leave the inputs and the folder as they were.
sum=$(cat "$E"/* | md5sum)
run --method 1 --output "$E/green.img"
expect_status "an input as the result" 1 "$STATUS"
expect_stderr "an input as the result" "$WORK/err" "$E/green.img is an input of this run.
Change the name of the result (--output) or of the 24-bit BMP (--bmp)."
run --method 1 --output "$WORK/r.dat"
expect_status "ENVI named otherwise" 1 "$STATUS"
run --method 1 --output "$WORK/missing/r.img"
check "a folder that is not there" [ "$STATUS" != 0 ]
check "inputs untouched" [ "$(cat "$E"/* | md5sum)" = "$sum" ]
expect_no_temporaries "refusals" "$E"
check "nothing new" [ "$(ls "$WORK" | tr '\n' ' ')" = "err out s " ]
finish
