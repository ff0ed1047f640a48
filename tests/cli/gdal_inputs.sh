#!/usr/bin/env bash
# End-to-end checks of inputs read through GDAL: tiled, compressed and pixel-interleaved GeoTIFF
# pans and MS files fuse and combine to the samples the stripped originals give, in both
# pan-sharpening tools and band combination (JPEG 2000 and VRT: the engine's GDAL tests); a
# damaged .tif keeps its refusal and a file GDAL cannot read is refused naming it. Skipped
# where gdal_translate is missing.
# Usage: gdal_inputs.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
if ! command -v gdal_translate >/dev/null; then
    echo "gdal_translate not installed: skipped"
    exit 0
fi
# The samples of a raster as raw bytes, whatever its layout.
samples() { gdal_translate -q -of ENVI "$1" "$2" >/dev/null 2>&1 && cat "$2"; }
same_samples() { # NAME A B
    if cmp -s <(samples "$2" "$WORK/a.raw") <(samples "$3" "$WORK/b.raw"); then pass
    else fail "$1: $2 and $3 hold different samples"; fi
}
tiled() { gdal_translate -q -co TILED=YES -co BLOCKXSIZE=64 -co BLOCKYSIZE=32 -co COMPRESS=DEFLATE "$@"; }

"$GEN" pansharpen "$WORK/s" --width 640 --height 512 --layouts generic --seed 3 &&
"$GEN" pansharpen "$WORK/b" --width 640 --height 512 --layouts generic --bits 8 --seed 4 ||
    { echo "generator failed"; exit 1; }
G=$WORK/s/generic
mkdir -p "$WORK/strip" "$WORK/tile"
"$GEN" geotiff "$WORK/strip/pan.tif" --width 640 --height 512 --bits 16 "$G/pan.raw" &&
"$GEN" geotiff "$WORK/strip/ms.tif" --width 160 --height 128 --bits 16 \
    "$G/blue.raw" "$G/green.raw" "$G/red.raw" "$G/nir.raw" || { echo "geotiff failed"; exit 1; }
tiled "$WORK/strip/pan.tif" "$WORK/tile/pan.tif"
tiled -co INTERLEAVE=PIXEL "$WORK/strip/ms.tif" "$WORK/tile/ms.tif"

# 16-bit tool: tiled pan and pixel-interleaved tiled MS fuse as the stripped pair.
for d in strip tile; do
    "$CLI" pansharpen --pan "$WORK/$d/pan.tif" --blue "$WORK/$d/ms.tif" --yes --quiet \
        --log "$WORK/$d.log" 2>"$WORK/$d.err"
    expect_status "pansharpen $d" 0 $?
done
same "pansharpen picture" "$WORK/strip/pan_Fused.bmp" "$WORK/tile/pan_Fused.bmp"
same_samples "pansharpen GeoTIFF" "$WORK/strip/pan_Fused.tif" "$WORK/tile/pan_Fused.tif"
check "no temporary file left" [ -z "$(ls "$WORK/tile" | grep -v -e '^pan' -e '^ms')" ]
check "report names the tiled file's bands" grep -q $'^NIR:\t'"$WORK/tile/ms.tif"$'(Band 4)\r$' "$WORK/tile.log"

# 8-bit tool: single-band tiled files.
B=$WORK/b/generic
mkdir -p "$WORK/b8s" "$WORK/b8t"
"$GEN" geotiff "$WORK/b8s/pan.tif" --width 640 --height 512 --bits 8 "$B/pan.raw"
for band in blue green red; do
    "$GEN" geotiff "$WORK/b8s/$band.tif" --width 320 --height 256 --bits 8 "$B/$band.raw"
done
for f in pan blue green red; do tiled "$WORK/b8s/$f.tif" "$WORK/b8t/$f.tif"; done
for d in b8s b8t; do
    "$CLI" pansharpen-etm --pan "$WORK/$d/pan.tif" --blue "$WORK/$d/blue.tif" \
        --green "$WORK/$d/green.tif" --red "$WORK/$d/red.tif" --yes --quiet --log "$WORK/$d.log" 2>/dev/null
    expect_status "pansharpen-etm $d" 0 $?
done
same "etm picture" "$WORK/b8s/pan_Fused.bmp" "$WORK/b8t/pan_Fused.bmp"
same_samples "etm GeoTIFF" "$WORK/b8s/pan_Fused.tif" "$WORK/b8t/pan_Fused.tif"

# Band combination of the four-band MS, with its GeoTIFF composite.
for d in strip tile; do
    "$CLI" combine --blue "$WORK/$d/ms.tif" --select 2,3,4 --geotiff --yes --quiet \
        --log "$WORK/c$d.log" 2>/dev/null
    expect_status "combine $d" 0 $?
done
same "combine picture" "$WORK/strip/ms_Composite.bmp" "$WORK/tile/ms_Composite.bmp"
same_samples "combine GeoTIFF" "$WORK/strip/ms_Composite.tif" "$WORK/tile/ms_Composite.tif"

# The assessment tools and quality read a tiled band as its ENVI original.
"$GEN" pansharpen "$WORK/e" --width 256 --height 256 --layouts envi --seed 8 || { echo "generator failed"; exit 1; }
E=$WORK/e/envi
tiled "$E/red.img" "$WORK/red.tif"
for f in "$E/red.img" "$WORK/red.tif"; do
    "$CLI" stats --input "$f" --level 2 --yes --quiet --log "$WORK/st.log" 2>/dev/null
    expect_status "stats $f" 0 $?
    "$CLI" haar --input "$f" --yes --quiet --log "$WORK/h.log" 2>/dev/null
    expect_status "haar $f" 0 $?
done
same "stats table" "$E/red_ImageStats.txt" "$WORK/red_ImageStats.txt"
same "haar raster" "$E/red_Haar.img" "$WORK/red.tif_Haar"
"$CLI" quality reduced --fused "$E/red.img" --reference "$E/nir.img" --ratio 4 >"$WORK/q1.txt" 2>&1
tiled "$E/nir.img" "$WORK/nir.tif"
"$CLI" quality reduced --fused "$WORK/red.tif" --reference "$WORK/nir.tif" --ratio 4 >"$WORK/q2.txt" 2>&1
expect_status "quality on tiled bands" 0 $?
same "quality figures" "$WORK/q1.txt" "$WORK/q2.txt"

# A damaged .tif keeps the strip reader's refusal; a .jp2 GDAL cannot read is named.
head -c 300 "$WORK/strip/pan.tif" >"$WORK/cut.tif"
"$CLI" combine --blue "$WORK/cut.tif" --green "$WORK/cut.tif" --red "$WORK/cut.tif" --yes --quiet \
    >/dev/null 2>"$WORK/cut.err"
expect_status "damaged tif" 1 $?
check "damaged tif message" grep -q '^Error: Reading GeoTIFF.$' "$WORK/cut.err"
printf 'not an image' >"$WORK/bad.jp2"
"$CLI" pansharpen --pan "$WORK/bad.jp2" --blue "$WORK/tile/ms.tif" --yes --quiet >/dev/null 2>"$WORK/bad.err"
expect_status "unreadable jp2" 1 $?
check "unreadable jp2 named" grep -q "$WORK/bad.jp2" "$WORK/bad.err"

finish
