#!/usr/bin/env bash
# End-to-end checks of --nodata with methods 1 and 2: the shared scene framed by no data (8 MS,
# 32 pan pixels of 0) fuses with the scene's own coefficients (the frame takes no part in the
# regression, so the inside matches); the frame is no data in every band, declared and black in the picture; inside,
# up to the frame, the bands are the scene's own, a fused 0 moved to 1. Skipped
# without the shared scenes, GDAL's tools or python3. The Landsat tool likewise.
# Usage: nodata_fusion.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
DATA=$(cd "$(dirname "$0")/../.." && pwd)/../shared/data/ps16/envi
if [ ! -d "$DATA" ] || ! command -v gdal_translate >/dev/null || ! command -v python3 >/dev/null; then
    echo "shared scenes, gdal_translate or python3 missing: skipped"
    exit 0
fi
# scene_and_frame FROM SCENE FRAME PAN-MARGIN MS-MARGIN BANDS...: ENVI copies of the pan and
# the bands, as they are in SCENE and framed by the margins' pixels of 0 in FRAME.
scene_and_frame() {
    local from=$1 scene=$2 frame=$3 margin=$4 msMargin=$5 band size
    shift 5
    mkdir -p "$scene" "$frame"
    for band in pan "$@"; do
        local m=$msMargin
        [ "$band" = pan ] && m=$margin
        size=$(gdalinfo "$from/$band.img" | sed -n 's/^Size is \([0-9]*\), \([0-9]*\)/\1 \2/p')
        gdal_translate -q -of ENVI "$from/$band.img" "$scene/$band.img"
        gdal_translate -q -of ENVI -srcwin -$m -$m $((${size% *} + 2 * m)) $((${size#* } + 2 * m)) \
            "$from/$band.img" "$frame/$band.img"
    done
}
scene_and_frame "$DATA" "$WORK/scene" "$WORK/frame" 32 8 blue green red nir
fuse() { # FOLDER OPTIONS...
    local d=$1
    shift
    "$CLI" pansharpen --pan "$d/pan.img" --blue "$d/blue.img" --green "$d/green.img" \
        --red "$d/red.img" --nir "$d/nir.img" --yes --quiet --log "$d/log.txt" "$@" \
        2>"$WORK/err"
}
# Inside, up to the frame, the framed band equals the scene's (a 0 there is 1); the frame is 0
# throughout.
framed_as_scene() { # SCENE-BAND FRAMED-BAND WIDTH HEIGHT FRAME SAMPLE-FORMAT
    python3 - "$@" <<'EOF'
import struct, sys
scene, framed, fmt = sys.argv[1], sys.argv[2], sys.argv[6]
w, h, m = (int(v) for v in sys.argv[3:6])
def band(path, w, h):
    v = struct.unpack('<%d%s' % (w * h, fmt), open(path, 'rb').read())
    return [v[i * w:(i + 1) * w] for i in range(h)]
a, b = band(scene, w, h), band(framed, w + 2 * m, h + 2 * m)
inside = all(b[y + m][x + m] == max(a[y][x], 1) for y in range(h) for x in range(w))
frame = all(b[y][x] == 0 for y in range(h + 2 * m) for x in range(w + 2 * m)
            if not (m <= y < h + m and m <= x < w + m))
sys.exit(0 if inside and frame else 1)
EOF
}
for method in 1 2; do
    for option in --nodata --pan-nodata; do
        rm -f "$WORK"/*/log.txt
        fuse "$WORK/scene" --method $method --filter none
        expect_status "method $method, the scene" 0 $?
        fuse "$WORK/frame" --method $method --filter none $option 0
        expect_status "method $method, framed with $option" 0 $?
        for band in blue nir; do
            check "method $method $option: $band inside as the scene, frame no data" \
                framed_as_scene "$WORK/scene/${band}_Fused.img" "$WORK/frame/${band}_Fused.img" 768 640 32 h
        done
        check "method $method $option: declared" grep -q "^data ignore value = 0" "$WORK/frame/red_Fused.hdr"
        gdal_translate -q -of ENVI -srcwin 0 0 832 32 "$WORK/frame/pan_Fused.bmp" "$WORK/top.img"
        check "method $method $option: frame black" cmp -s -n $((832 * 32 * 3)) "$WORK/top.img" /dev/zero
    done
done
fuse "$WORK/frame" --method 1 --nodata 0
expect_status "the default filter with no data" 1 $?

# The quality line leaves no data out: the quality tool's numbers with the same value.
F=$WORK/frame
fuse "$F" --method 2 --filter none --nodata 0 --quality
measure() {
    "$CLI" quality full --fused "$F"/{blue,green,red,nir}_Fused.img --ms "$F"/{blue,green,red,nir}.img \
        --pan "$F/pan.img" --format csv --quiet --log /dev/null "$@" | sed -n 2p | awk -F, '{printf "%.6f %.6f %.6f", $1, $2, $3}'
}
line=$(grep '^Quality' "$F/log.txt" | awk '{print $5, $7, $9}' | tr -d '\r')
check "quality line without the frame" [ -n "$line" -a "$line" = "$(measure --nodata 0)" -a "$line" != "$(measure)" ]

# The Landsat tool: the pan framed by 32 pixels of 0 (16 MS pixels, so that the regression
# samples the same MS rows), the MS bands (which hold 0 inside) by 16 pixels of 0.
E8=$(cd "$DATA/../../etm/envi" && pwd)
scene_and_frame "$E8" "$WORK/etm" "$WORK/etm_frame" 32 16 blue green red
etm() { # FOLDER OPTIONS...
    local d=$1
    shift
    "$CLI" pansharpen-etm --pan "$d/pan.img" --blue "$d/blue.img" --green "$d/green.img" \
        --red "$d/red.img" --yes --quiet --log /dev/null "$@" 2>"$WORK/err"
}
for method in 1 2; do
    etm "$WORK/etm" --method $method
    expect_status "Landsat method $method, the scene" 0 $?
    etm "$WORK/etm_frame" --method $method --pan-nodata 0
    expect_status "Landsat method $method, framed" 0 $?
    check "Landsat method $method: inside as the scene, frame no data" framed_as_scene \
        "$WORK/etm/red_Fused.img" "$WORK/etm_frame/red_Fused.img" 640 576 32 B
    check "Landsat method $method: declared" grep -q "^data ignore value = 0" "$WORK/etm_frame/red_Fused.hdr"
    gdal_translate -q -of ENVI -srcwin 0 0 704 32 "$WORK/etm_frame/pan_Fused.bmp" "$WORK/top.img"
    check "Landsat method $method: frame black" cmp -s -n $((704 * 32 * 3)) "$WORK/top.img" /dev/zero
done
etm "$WORK/etm" --nodata 256
expect_status "Landsat no-data value beyond 8 bits" 1 $?

finish
