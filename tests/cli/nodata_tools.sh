#!/usr/bin/env bash
# End-to-end checks of --nodata in band combination, semivariance and statistics: a frame of no data around
# the shared scene's bands stays out of the stretch (the valid area's picture is the scene's own)
# and shows black, out of the semivariance's pairs and every statistics level (their tables are
# the scene's own); without
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

finish
