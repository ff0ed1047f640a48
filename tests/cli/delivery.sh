#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli pansharpen --ms` on deliveries made here with GDAL from the
# shared scene: a tiled georeferenced pan (and its lossless JPEG 2000 copy) with a pixel-
# interleaved MS whose origin lies two MS pixels up-left of the pan's fuse to the samples of the
# pre-aligned ENVI pair; the Cloud Optimized GeoTIFF is valid and keeps UInt16; an eight-band MS
# made by repeating bands fuses each band as the four-band one; the eight WorldView-2 bands fuse
# and measure; every refusal stops before anything is written. Skipped without the shared scenes
# or GDAL's tools.
# Usage: delivery.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
DATA=$(cd "$(dirname "$0")/../.." && pwd)/../shared/data/ps16
if [ ! -d "$DATA/envi4" ] || ! command -v gdal_translate >/dev/null; then
    echo "shared scenes or gdal_translate missing: skipped"
    exit 0
fi
run() { "$CLI" "$@" --yes --quiet >"$WORK/out" 2>"$WORK/err"; STATUS=$?; }
# Placement is checked without registration: an estimate's fraction would resample the MS, and
# the delivery's extra MS pixels (valid samples) would then reach the edges' taps.
OFF=(--register off)
# The samples of a raster as raw bytes, whatever its format.
samples() { gdal_translate -q -of ENVI -co INTERLEAVE=BSQ "$1" "$2" >/dev/null 2>&1 && cat "$2"; }
same_samples() { # NAME A B
    if cmp -s <(samples "$2" "$WORK/a.raw") <(samples "$3" "$WORK/b.raw"); then pass
    else fail "$1: $2 and $3 hold different samples"; fi
}
S=$DATA/envi4
A=$WORK/aligned
D=$WORK/delivery
mkdir -p "$A" "$D"
cp "$S/pan.img" "$S/pan.hdr" "$S/ms.img" "$S/ms.hdr" "$A/"
geo=(-a_srs EPSG:32633)
gdal_translate -q -co TILED=YES -co BLOCKXSIZE=128 -co BLOCKYSIZE=128 "${geo[@]}" \
    -a_ullr 500000 4000000 500384 3999680 "$S/pan.img" "$D/pan.tif"
# Two MS pixels (4 m) more above and to the left: the MS's origin lies up-left of the pan's.
gdal_translate -q -co TILED=YES -co INTERLEAVE=PIXEL -srcwin -2 -2 194 162 "${geo[@]}" \
    -a_ullr 499996 4000004 500384 3999680 "$S/ms.img" "$D/ms.tif"
gdal_translate -q -of JP2OpenJPEG -co REVERSIBLE=YES -co QUALITY=100 "$D/pan.tif" "$D/pan.jp2" \
    2>/dev/null

# The delivery fuses as the pre-aligned pair does, whatever the pan's format.
run pansharpen --pan "$A/pan.img" --ms "$A/ms.img" --method glp-hpm "${OFF[@]}" --log "$WORK/a.log"
expect_status "aligned ENVI pair" 0 "$STATUS"
check "ENVI result by default for ENVI inputs" [ -s "$A/ms_Fused.img" -a -s "$A/ms_Fused.hdr" ]
check "picture beside the result" [ -s "$A/ms_Fused.bmp" ]
run pansharpen --pan "$A/pan.img" --ms "$A/ms.img" "${OFF[@]}" --output "$WORK/default.img" --log "$WORK/m.log"
expect_status "--ms without --method" 0 "$STATUS"
check "--ms without --method fuses with glp-hpm" cmp -s "$WORK/default.img" "$A/ms_Fused.img"
check "--ms without --method: the report says so" grep -q $'^Pan-Sharpening Method:\tMTF-GLP-HPM\r$' "$WORK/m.log"
rm -f "$WORK"/default.* "$WORK/m.log"
run pansharpen --pan "$D/pan.tif" --ms "$D/ms.tif" --method glp-hpm "${OFF[@]}" --log "$WORK/d.log"
expect_status "delivery" 0 "$STATUS"
check "nothing on stderr" [ ! -s "$WORK/err" ]
check "COG by default for GeoTIFF inputs" gdalinfo "$D/ms_Fused.tif" >/dev/null 2>&1
same_samples "delivery equals the aligned pair" "$D/ms_Fused.tif" "$A/ms_Fused.img"
check "report places the MS" grep -q $'^MS origin on the pan:\t-8.00, -8.00 pan pixels (georeferencing)\r$' "$WORK/d.log"
check "report lists every band" grep -q $'^Band 4:\t'"$D/ms.tif"$'(NIR)\r$' "$WORK/d.log"
check "report names the result" grep -q $'^Format:\t\t\tCloud Optimized GeoTIFF, 4 bands, 16-bit signed integer\r$' "$WORK/d.log"
check "result on the pan's grid" [ "$(gdalinfo "$D/ms_Fused.tif" | grep -c 'Origin = (500000.0*,4000000.0*)')" = 1 ]
check "no fill, no no-data tag" [ "$(gdalinfo "$D/ms_Fused.tif" | grep -c NoData)" = 0 ]
check "only the outputs are new" [ "$(ls "$D" | tr '\n' ' ')" = "ms.tif ms_Fused.bmp ms_Fused.bmp.aux.xml ms_Fused.tif ms_Fused.wld pan.jp2 pan.jp2.aux.xml pan.tif " ]
# Without --format the result's name chooses: .img is ENVI, .tif a GeoTIFF, whatever the inputs.
run pansharpen --pan "$D/pan.tif" --ms "$D/ms.tif" --method glp-hpm "${OFF[@]}" --output "$WORK/named.img"
check "an .img result of GeoTIFF inputs is ENVI" [ -s "$WORK/named.hdr" ]
same_samples "the .img result" "$WORK/named.img" "$A/ms_Fused.img"
run pansharpen --pan "$A/pan.img" --ms "$A/ms.img" --method glp-hpm "${OFF[@]}" --output "$WORK/named.tif"
check "a .tif result of ENVI inputs is a GeoTIFF" grep -q '^Driver: GTiff' <(gdalinfo "$WORK/named.tif")
rm -f "$WORK"/named.*
if [ -f "$D/pan.jp2" ]; then
    run pansharpen --pan "$D/pan.jp2" --ms "$D/ms.tif" --method glp-hpm "${OFF[@]}" --output "$WORK/j.tif"
    expect_status "JPEG 2000 pan" 0 "$STATUS"
    same_samples "JPEG 2000 pan fuses as the aligned pair" "$WORK/j.tif" "$A/ms_Fused.img"
fi

# The report, byte for byte up to its times.
run pansharpen --pan "$A/pan.img" --ms "$A/ms.img" --method gsa --sensor worldview2 \
    --register 0.5,-0.25 --rgb 4,3,2 --output "$A/pinned.img" --log "$WORK/pinned.log"
expect_status "pinned report run" 0 "$STATUS"
tr -d '\r' <"$WORK/pinned.log" | sed -n '3,56p' >"$WORK/pinned.txt"
sed "s#@A@#$A#g" >"$WORK/expected.txt" <<'REPORT'
_____________ Pan-Sharpening Run (1) _____________________

(a) Input High Resolution Panchromatic Band:
PAN:	@A@/pan.img
Width:			768 pixels
Height:			640 pixels
Image Size:		491520 pixels
File Size:		983040 bytes
No data:		none

(b) Input Low Resolution Multispectral Bands:
Band 1:	@A@/ms.img(Blue)
Band 2:	@A@/ms.img(Green)
Band 3:	@A@/ms.img(Red)
Band 4:	@A@/ms.img(NIR)
Width:			192 pixels
Height:			160 pixels
Image Size:		30720 pixels
File Size:		245760 bytes
Sample Type:		16-bit signed integer
No data:		none
Ratio:			4
MS origin on the pan:	0.00, 0.00 pan pixels (corners aligned)

(c) Key Parameters:
Pan-Sharpening Method:	Adaptive Gram-Schmidt (GSA)
MS offset on the pan:	0.50, -0.25 pan pixels (given)
Sensor:			worldview2
Resampling Method:	23-Tap Interpolator
Spatial Filtering:	None

(d) Output Pan-Sharpened Multispectral Image:
Output:	@A@/pinned.img
Format:			ENVI, 4 bands, 16-bit signed integer
No-data value:		none
BMP:	@A@/pinned.bmp
BMP bands (R, G, B):	4, 3, 2
Display it?		No
Stretch:
	Colours match with those of inputs more closely?	No
	Histogram stretching: cutoffs at both ends (%)
	- Blue: 	left-side: 2	right-side: 2
	- Green:	left-side: 2	right-side: 2
	- Red:  	left-side: 2	right-side: 2
	Nonlinear stretching
	- Blue: 	0
	- Green: 	0
	- Red: 		0

(e) Analytical Steps 
    Step 1: ....	Finished
    Step 2: ......	Finished
    Step 3: ......	Finished (ENVI output)
    Step 4: ......	Finished (24-bit BMP output)
REPORT
check "report as pinned" cmp -s "$WORK/pinned.txt" "$WORK/expected.txt"
check "report lines end in CR LF" [ "$(grep -c $'\r$' "$WORK/pinned.log")" = "$(wc -l <"$WORK/pinned.log")" ]

# A UInt16 delivery stays UInt16 in a valid COG, and equals the aligned UInt16 pair's result.
U=$WORK/u
mkdir -p "$U"
gdal_translate -q -ot UInt16 -co TILED=YES "$D/pan.tif" "$U/pan.tif"
gdal_translate -q -ot UInt16 -co TILED=YES -co INTERLEAVE=PIXEL "$D/ms.tif" "$U/ms.tif"
gdal_translate -q -ot UInt16 -of ENVI "$S/pan.img" "$U/apan.img"
gdal_translate -q -ot UInt16 -of ENVI "$S/ms.img" "$U/ams.img"
run pansharpen --pan "$U/pan.tif" --ms "$U/ms.tif" --method awlp "${OFF[@]}" --format cog
expect_status "UInt16 delivery" 0 "$STATUS"
check "UInt16 kept" [ "$(gdalinfo "$U/ms_Fused.tif" | grep -c 'Type=UInt16')" = 4 ]
VALIDATOR=$(ls /usr/share/doc/python3-gdal/examples/validate_cloud_optimized_geotiff.py \
    /usr/lib/python3/dist-packages/osgeo_utils/samples/validate_cloud_optimized_geotiff.py 2>/dev/null | head -1)
if [ -n "$VALIDATOR" ] && /usr/bin/python3 -c 'import osgeo' 2>/dev/null; then
    check "valid COG" /usr/bin/python3 "$VALIDATOR" -q "$U/ms_Fused.tif"
fi
run pansharpen --pan "$U/apan.img" --ms "$U/ams.img" --method awlp "${OFF[@]}" --format geotiff --output "$U/a.tif"
expect_status "aligned UInt16 pair as GeoTIFF" 0 "$STATUS"
same_samples "UInt16 delivery equals the aligned pair" "$U/ms_Fused.tif" "$U/a.tif"

# Eight bands made by repeating the four: each band fuses as in the four-band run.
gdal_translate -q -b 1 -b 2 -b 3 -b 4 -b 1 -b 2 -b 3 -b 4 -of ENVI "$S/ms.img" "$A/ms8.img"
for method in glp-hpm awlp brovey; do
    run pansharpen --pan "$A/pan.img" --ms "$A/ms.img" --method $method --sensor generic \
        --format geotiff --output "$WORK/4.tif"
    run pansharpen --pan "$A/pan.img" --ms "$A/ms8.img" --method $method --sensor generic \
        --format geotiff --output "$WORK/8.tif"
    expect_status "$method: eight bands" 0 "$STATUS"
    for k in 1 2 3 4; do
        gdal_translate -q -b $k "$WORK/4.tif" "$WORK/4b.tif"
        gdal_translate -q -b $((k + 4)) "$WORK/8.tif" "$WORK/8b.tif"
        same_samples "$method: band $((k + 4)) as band $k" "$WORK/8b.tif" "$WORK/4b.tif"
    done
done

# The eight WorldView-2 bands of the shared scene: fused, pictured as 5,3,2, and measured.
E8=$DATA/envi8
run pansharpen --pan "$E8/pan.img" --ms "$E8/ms8.img" --method glp-hpm --sensor worldview2 \
    --output "$WORK/wv8.img" --log "$WORK/wv8.log"
expect_status "eight WorldView-2 bands" 0 "$STATUS"
check "picture of bands 5, 3, 2" grep -q $'^BMP bands (R, G, B):\t5, 3, 2\r$' "$WORK/wv8.log"
check "registration estimated by default, after the method line" [ "$(grep -a -A1 $'^Pan-Sharpening Method:\t' "$WORK/wv8.log" | tail -1 | grep -c $'^MS offset on the pan:\t.* pan pixels (estimated)\r$')" = 1 ]
check "eight fused bands" grep -q '^bands = 8$' "$WORK/wv8.hdr"
# --method auto ranks the methods with the eight bands' own gains and fuses as the one it chose.
run pansharpen --pan "$E8/pan.img" --ms "$E8/ms8.img" --method auto --sensor worldview2 \
    --output "$WORK/auto8.img" --log "$WORK/auto8.log"
expect_status "auto on eight bands" 0 "$STATUS"
check "auto chooses MTF-GLP-EBP, the best Q2n of the protocol" \
    grep -q $'^Method chosen by auto:\tMTF-GLP-EBP\r$' "$WORK/auto8.log"
run pansharpen --pan "$E8/pan.img" --ms "$E8/ms8.img" --method glp-ebp --sensor worldview2 \
    --output "$WORK/ebp8.img"
check "auto fuses as the method it chose" cmp -s "$WORK/auto8.img" "$WORK/ebp8.img"
"$CLI" quality full --fused "$WORK/wv8.img" --ms "$E8/ms8.img" --pan "$E8/pan.img" \
    --sensor worldview2 --format json >"$WORK/q.json" 2>"$WORK/err"
expect_status "quality of the eight bands" 0 $?
check "QNR measured" grep -q '"QNR"' "$WORK/q.json"
"$CLI" quality wald --pan "$E8/pan.img" --ms "$E8/ms8.img" --sensor worldview2 --format json \
    >"$WORK/w.json" 2>"$WORK/err"
expect_status "the protocol on eight bands" 0 $?
check "the protocol fuses eight bands with every detail-injection method" \
    [ "$(grep -o '"method": *"[a-z-]*"' "$WORK/w.json" | tr -d ' ' | tr '\n' ' ')" = \
      '"method":"gsa" "method":"glp-hpm" "method":"awlp" "method":"brovey" "method":"glp-ebp" "method":"glp-fs" "method":"bdsd-pc" ' ]

# A no-data frame of eight MS pixels around the scene: the valid area fuses as the scene alone
# (its statistics, regressions and stretches too), the frame holds no fused value and shows black.
F=$WORK/frame
mkdir -p "$F"
gdal_translate -q -of ENVI -srcwin -32 -32 832 704 "$S/pan.img" "$F/pan.img"
gdal_translate -q -of ENVI -srcwin -8 -8 208 176 "$S/ms.img" "$F/ms.img"
zeros() { cmp -s -n "$2" <(samples "$1" "$WORK/z.raw") /dev/zero; }
for method in gsa awlp; do
    run pansharpen --pan "$A/pan.img" --ms "$A/ms.img" --method $method --nodata 0 "${OFF[@]}" \
        --output "$WORK/scene.img"
    run pansharpen --pan "$F/pan.img" --ms "$F/ms.img" --method $method --nodata 0 "${OFF[@]}" \
        --output "$F/$method.img"
    expect_status "$method: framed scene" 0 "$STATUS"
    check "$method: no data declared" grep -q '^data ignore value = 0$' "$F/$method.hdr"
    gdal_translate -q -srcwin 32 32 768 640 "$F/$method.img" "$WORK/inner.tif"
    same_samples "$method: valid area as the scene alone" "$WORK/inner.tif" "$WORK/scene.img"
    gdal_translate -q -srcwin 32 32 768 640 "$F/$method.bmp" "$WORK/inner.tif"
    same_samples "$method: picture of the valid area as the scene's" "$WORK/inner.tif" "$WORK/scene.bmp"
    for strip in "0 0 832 32" "0 672 832 32" "0 0 32 704" "800 0 32 704"; do
        read -r x y w h <<<"$strip"
        gdal_translate -q -srcwin $x $y $w $h "$F/$method.img" "$WORK/edge.tif"
        check "$method: frame $strip holds no data" zeros "$WORK/edge.tif" $((w * h * 8))
        gdal_translate -q -srcwin $x $y $w $h "$F/$method.bmp" "$WORK/edge.tif"
        check "$method: frame $strip black" zeros "$WORK/edge.tif" $((w * h * 3))
    done
done

# The files' own no-data declaration counts by default: the framed pair as GeoTIFFs tagged
# with no data 0 fuses as with --nodata 0, and the COG declares it.
gdal_translate -q -a_nodata 0 "$F/pan.img" "$F/pan.tif"
gdal_translate -q -a_nodata 0 "$F/ms.img" "$F/ms.tif"
run pansharpen --pan "$F/pan.tif" --ms "$F/ms.tif" --method gsa "${OFF[@]}"
expect_status "tagged framed scene" 0 "$STATUS"
same_samples "the files' own no data" "$F/ms_Fused.tif" "$F/gsa.img"
check "the COG declares no data" grep -q 'NoData Value=0' <(gdalinfo "$F/ms_Fused.tif")

# The same frame around the four single-band files of the 16-bit tool's detail-injection run:
# every band's valid area as the scene's, the frame no data (declared) and black.
E=$DATA/envi
G=$WORK/bands
mkdir -p "$G/scene" "$G/frame"
cp "$E"/*.img "$E"/*.hdr "$G/scene/"
gdal_translate -q -of ENVI -srcwin -32 -32 832 704 "$E/pan.img" "$G/frame/pan.img"
for band in blue green red nir; do
    gdal_translate -q -of ENVI -srcwin -8 -8 208 176 "$E/$band.img" "$G/frame/$band.img"
done
for d in scene frame; do
    run pansharpen --pan "$G/$d/pan.img" --blue "$G/$d/blue.img" --green "$G/$d/green.img" \
        --red "$G/$d/red.img" --nir "$G/$d/nir.img" --method glp-hpm "${OFF[@]}" --nodata 0
    expect_status "four bands, $d" 0 "$STATUS"
done
for band in blue green red nir; do
    gdal_translate -q -srcwin 32 32 768 640 "$G/frame/${band}_Fused.img" "$WORK/inner.tif"
    same_samples "four bands: $band's valid area" "$WORK/inner.tif" "$G/scene/${band}_Fused.img"
    check "four bands: $band declares no data" grep -q '^data ignore value = 0' "$G/frame/${band}_Fused.hdr"
    gdal_translate -q -srcwin 0 0 832 32 "$G/frame/${band}_Fused.img" "$WORK/edge.tif"
    check "four bands: $band's frame holds no data" zeros "$WORK/edge.tif" $((832 * 32 * 2))
done
gdal_translate -q -srcwin 32 32 768 640 "$G/frame/pan_Fused.bmp" "$WORK/inner.tif"
same_samples "four bands: picture of the valid area" "$WORK/inner.tif" "$G/scene/pan_Fused.bmp"
gdal_translate -q -srcwin 0 0 32 704 "$G/frame/pan_Fused.bmp" "$WORK/edge.tif"
check "four bands: frame black" zeros "$WORK/edge.tif" $((32 * 704 * 3))
FOUR=(--pan "$G/scene/pan.img" --blue "$G/scene/blue.img" --green "$G/scene/green.img"
      --red "$G/scene/red.img" --nir "$G/scene/nir.img")

# Refusals: a message, exit 1 (2 for a malformed value), and nothing written.
refused() { # NAME STATUS ARGS...
    local name=$1 expected=$2
    shift 2
    local before
    before=$(ls -R "$WORK")
    run pansharpen "$@"
    expect_status "$name" "$expected" "$STATUS"
    check "$name: says why" [ -s "$WORK/err" ]
    check "$name: nothing written" [ "$before" = "$(ls -R "$WORK")" ]
}
P=(--pan "$D/pan.tif")
printf 'not an image' >"$WORK/bad.jp2"
gdal_translate -q -b 1 -b 2 "$D/ms.tif" "$WORK/two.tif"
gdal_translate -q -ot Float32 "$D/ms.tif" "$WORK/float.tif"
gdal_translate -q "${geo[@]}" -a_ullr 500000 4000000 500384 3999680 -scale 0 4096 0 0 \
    "$S/pan.img" "$WORK/zero.tif"
gdal_translate -q $(for i in $(seq 17); do echo -b 1; done) "$D/ms.tif" "$WORK/many.tif"
gdal_translate -q -a_srs EPSG:32634 "$D/ms.tif" "$WORK/other.tif"
gdal_translate -q -a_ullr 600000 4000004 600388 3999680 "$D/ms.tif" "$WORK/far.tif"
refused "seventeen MS bands" 1 "${P[@]}" --ms "$WORK/many.tif" --method glp-hpm
refused "other coordinate system" 1 "${P[@]}" --ms "$WORK/other.tif" --method glp-hpm
check "both files named" grep -q "$WORK/other.tif" "$WORK/err"
refused "no overlap" 1 "${P[@]}" --ms "$WORK/far.tif" --method glp-hpm
refused "unreadable MS" 1 "${P[@]}" --ms "$WORK/bad.jp2" --method glp-hpm
check "unreadable MS named" grep -q "$WORK/bad.jp2" "$WORK/err"
refused "multi-band pan" 1 --pan "$D/ms.tif" --ms "$D/ms.tif" --method glp-hpm --output "$WORK/x.tif"
refused "two MS bands" 1 "${P[@]}" --ms "$WORK/two.tif" --method glp-hpm
refused "float MS" 1 "${P[@]}" --ms "$WORK/float.tif" --method glp-hpm
refused "--rgb outside the bands" 1 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --rgb 5,3,2
refused "--ms with --blue" 1 "${P[@]}" --ms "$D/ms.tif" --blue "$D/ms.tif" --method glp-hpm
refused "method 1" 1 "${P[@]}" --ms "$D/ms.tif" --method 1
refused "no-data value outside the type" 1 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --ms-nodata 70000
refused "pan entirely no data" 1 --pan "$WORK/zero.tif" --ms "$D/ms.tif" --method glp-hpm --pan-nodata 0
refused "ratio disagreeing" 1 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --ratio 2
refused "sensor without gains" 1 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --sensor worldview3
refused "result over the MS" 1 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --output "$D/ms.tif"
ln -s "$D/pan.tif" "$WORK/link.tif"
refused "result over the pan by a link" 1 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --output "$WORK/link.tif"
refused "no data with method 1" 1 "${FOUR[@]}" --suffix _x --nodata 0
refused "four bands: no data beyond the results' values" 1 "${FOUR[@]}" --suffix _x --method awlp --ms-nodata 4000
refused "four bands: no data with a filter" 1 "${FOUR[@]}" --suffix _x --method awlp --nodata 0 --filter sharpen
refused "malformed no-data" 2 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --nodata 1e
refused "malformed --rgb" 2 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --rgb 1,2
refused "unknown format" 2 "${P[@]}" --ms "$D/ms.tif" --method glp-hpm --format png
before=$(ls -R "$WORK")
"$CLI" pansharpen-etm "${P[@]}" --ms "$D/ms.tif" --yes --quiet >/dev/null 2>"$WORK/err"
expect_status "pansharpen-etm refuses --ms" 2 $?
check "pansharpen-etm: says why" grep -q -- --ms "$WORK/err"
check "pansharpen-etm: nothing written" [ "$before" = "$(ls -R "$WORK")" ]

finish
