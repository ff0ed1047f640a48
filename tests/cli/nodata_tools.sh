#!/usr/bin/env bash
# End-to-end checks of --nodata in band combination, semivariance and statistics: a frame of no
# data around the shared scene's bands stays out of the stretch (the valid area's picture is the
# scene's own) and shows black (a GeoTIFF composite declares the value), out of the
# semivariance's pairs and every statistics level (their tables are the scene's own); without
# the option the frame's value is counted as before. Skipped without the shared scenes or GDAL's
# tools.
# Usage: nodata_tools.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
DATA=$(cd "$(dirname "$0")/../.." && pwd)/../shared/data/ps16/envi
if [ ! -d "$DATA" ] || ! command -v gdal_translate >/dev/null; then
    echo "shared scenes or gdal_translate missing: skipped"
    exit 0
fi
samples() { gdal_translate -q -of ENVI -co INTERLEAVE=BSQ "$1" "$2" >/dev/null 2>&1 && cat "$2"; }
same_samples() { # NAME A B
    if cmp -s <(samples "$2" "$WORK/a.raw") <(samples "$3" "$WORK/b.raw"); then pass
    else fail "$1: $2 and $3 hold different samples"; fi
}
zeros() { cmp -s -n "$2" <(samples "$1" "$WORK/z.raw") /dev/zero; }
# Every value raised by 5, so that 5 marks only the frame (the scene's values start at 1).
mkdir -p "$WORK/scene" "$WORK/frame"
for band in blue green red; do
    gdal_translate -q -of ENVI -ot Int16 -scale 0 1000 5 1005 "$DATA/$band.img" "$WORK/scene/$band.img"
    gdal_translate -q -of ENVI -srcwin -8 -8 208 176 "$DATA/$band.img" "$WORK/padded.img"
    gdal_translate -q -of ENVI -ot Int16 -scale 0 1000 5 1005 "$WORK/padded.img" "$WORK/frame/$band.img"
done
combine() { # FOLDER OPTIONS...
    local d=$1
    shift
    "$CLI" combine --blue "$d/blue.img" --green "$d/green.img" --red "$d/red.img" --yes --quiet \
        --log /dev/null "$@" 2>"$WORK/err"
}
combine "$WORK/scene"
expect_status "scene" 0 $?
combine "$WORK/frame" --nodata 5
expect_status "framed scene with --nodata" 0 $?
gdal_translate -q -srcwin 8 8 192 160 "$WORK/frame/blue_Composite.bmp" "$WORK/inner.tif"
same_samples "valid area as the scene alone" "$WORK/inner.tif" "$WORK/scene/blue_Composite.bmp"
gdal_translate -q -srcwin 0 0 208 8 "$WORK/frame/blue_Composite.bmp" "$WORK/edge.tif"
check "frame black" zeros "$WORK/edge.tif" $((208 * 8 * 3))
cp "$WORK/frame/blue_Composite.bmp" "$WORK/with.bmp"
combine "$WORK/frame"
expect_status "framed scene without --nodata" 0 $?
differ() { ! cmp -s "$1" "$2"; }
check "without the option the frame counts" differ "$WORK/with.bmp" "$WORK/frame/blue_Composite.bmp"
mkdir "$WORK/tif" && cp "$DATA"/../geotiff/{blue,green,red}.tif "$WORK/tif/" && chmod u+w "$WORK"/tif/*
"$CLI" combine --blue "$WORK/tif/blue.tif" --green "$WORK/tif/green.tif" --red "$WORK/tif/red.tif" \
    --geotiff --nodata 5 --yes --quiet --log /dev/null 2>"$WORK/err"
expect_status "GeoTIFF composite with --nodata" 0 $?
check "GeoTIFF composite declares the value" grep -q 'NoData Value=5$' <(gdalinfo "$WORK/tif/blue_Composite.tif")
combine "$WORK/scene" --nodata 40000 --bmp "$WORK/x.bmp"
expect_status "no-data value beyond 16 bits" 1 $?
check "nothing written" [ ! -e "$WORK/x.bmp" ]
combine "$WORK/scene" --nodata five
expect_status "malformed no-data value" 2 $?

semivariance() { "$CLI" semivariance --max-lag 12 --yes --quiet --log /dev/null "$@" 2>"$WORK/err"; }
semivariance --input "$WORK/scene/red.img" --output "$WORK/scene.txt"
expect_status "semivariance of the scene" 0 $?
semivariance --input "$WORK/frame/red.img" --nodata 5 --output "$WORK/framed.txt"
expect_status "semivariance with --nodata" 0 $?
check "pairs with no data left out" cmp -s "$WORK/scene.txt" "$WORK/framed.txt"
semivariance --input "$WORK/frame/red.img" --output "$WORK/counted.txt"
check "without the option every pair counts" differ "$WORK/scene.txt" "$WORK/counted.txt"

stats() { "$CLI" stats --level 3 --yes --quiet --log /dev/null "$@" 2>"$WORK/err"; }
stats --input "$WORK/scene/red.img" --output "$WORK/scene_stats.txt"
expect_status "statistics of the scene" 0 $?
stats --input "$WORK/frame/red.img" --nodata 5 --output "$WORK/framed_stats.txt"
expect_status "statistics with --nodata" 0 $?
# The sizes differ (the frame's levels are larger); every statistic is the scene's.
check "no data out of every level" cmp -s <(tail -n +2 "$WORK/scene_stats.txt") <(tail -n +2 "$WORK/framed_stats.txt")

# haar: a 128² band framed by 64 pixels of no data. Every 4 × 4 block is wholly valid or wholly
# no data, so at two levels every sub-band inside the frame holds the band's own coefficients
# (and, the ranges being the band's, the picture's own greys); the frame is NaN and black.
mkdir -p "$WORK/h"
gdal_translate -q -of ENVI -srcwin 0 0 128 128 "$WORK/scene/red.img" "$WORK/h/red.img"
gdal_translate -q -of ENVI -srcwin -64 -64 256 256 "$WORK/h/red.img" "$WORK/h/framed.img"
haar() { "$CLI" haar --levels 2 --yes --quiet --log /dev/null "$@" 2>"$WORK/err"; }
haar --input "$WORK/h/red.img"
expect_status "haar of the band" 0 $?
haar --input "$WORK/h/framed.img" --nodata 0
expect_status "haar with --nodata" 0 $?
window() { gdal_translate -q -srcwin "$2" "$3" "$4" "$4" "$1" "$WORK/w$5.tif"; echo "$WORK/w$5.tif"; }
for quadrant in "0 0 16 16 2" "32 0 80 16 2" "64 64 160 160 1"; do # band col/row, framed col/row, level
    set -- $quadrant
    size=$((128 >> $5))
    same_samples "haar sub-band at $1,$2" "$(window "$WORK/h/red_Haar.img" "$1" "$2" "$size" a)" \
        "$(window "$WORK/h/framed_Haar.img" "$3" "$4" "$size" b)"
    same_samples "haar picture at $1,$2" "$(window "$WORK/h/red_Haar.bmp" "$1" "$2" "$size" c)" \
        "$(window "$WORK/h/framed_Haar.bmp" "$3" "$4" "$size" d)"
done
check "haar frame black" zeros "$(window "$WORK/h/framed_Haar.bmp" 0 0 16 e)" $((16 * 16 * 3))
nan_frame() { gdalinfo -stats "$(window "$WORK/h/framed_Haar.img" 0 0 16 f)" 2>&1 | grep -q "no valid pixels\|Failed to compute statistics"; }
check "haar frame declared no data" grep -q "^data ignore value = nan" "$WORK/h/framed_Haar.hdr"
check "haar frame NaN" nan_frame
haar --input "$WORK/h/framed.img" --output "$WORK/h/all.img" --bmp "$WORK/h/all.bmp" --nodata 0 \
    --width 64 --height 64
expect_status "haar of no data only" 1 $?
check "haar: nothing written" test ! -e "$WORK/h/all.img" -a ! -e "$WORK/h/all.bmp"

finish
