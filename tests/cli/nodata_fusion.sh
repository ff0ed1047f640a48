#!/usr/bin/env bash
# End-to-end checks of --nodata with methods 1 and 2: the shared scene framed by no data (8 MS,
# 32 pan pixels of 0) fuses with the scene's own coefficients (the frame takes no part in the
# regression, so the inside matches); the frame is no data in every band, declared and black in the picture; inside,
# away from the frame's reach, the bands are the scene's own, a fused 0 moved to 1. Skipped
# without the shared scenes, GDAL's tools or python3.
# Usage: nodata_fusion.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
DATA=$(cd "$(dirname "$0")/../.." && pwd)/../shared/data/ps16/envi
if [ ! -d "$DATA" ] || ! command -v gdal_translate >/dev/null || ! command -v python3 >/dev/null; then
    echo "shared scenes, gdal_translate or python3 missing: skipped"
    exit 0
fi
mkdir -p "$WORK/scene" "$WORK/frame"
for band in blue green red nir; do
    gdal_translate -q -of ENVI "$DATA/$band.img" "$WORK/scene/$band.img"
    gdal_translate -q -of ENVI -srcwin -8 -8 208 176 "$DATA/$band.img" "$WORK/frame/$band.img"
done
gdal_translate -q -of ENVI "$DATA/pan.img" "$WORK/scene/pan.img"
gdal_translate -q -of ENVI -srcwin -32 -32 832 704 "$DATA/pan.img" "$WORK/frame/pan.img"
fuse() { # FOLDER OPTIONS...
    local d=$1
    shift
    "$CLI" pansharpen --pan "$d/pan.img" --blue "$d/blue.img" --green "$d/green.img" \
        --red "$d/red.img" --nir "$d/nir.img" --yes --quiet --log "$d/log.txt" "$@" \
        2>"$WORK/err"
}
# Inside, 4 pan pixels clear of the frame, the framed band equals the scene's (a 0 there is 1);
# the frame is 0 throughout.
framed_as_scene() { # BAND
    python3 - "$WORK/scene/${1}_Fused.img" "$WORK/frame/${1}_Fused.img" <<'EOF'
import struct, sys
def band(path, w, h):
    v = struct.unpack('<%dh' % (w * h), open(path, 'rb').read())
    return [v[i * w:(i + 1) * w] for i in range(h)]
a, b = band(sys.argv[1], 768, 640), band(sys.argv[2], 832, 704)
inside = all(b[y + 32][x + 32] == max(a[y][x], 1) for y in range(4, 636) for x in range(4, 764))
frame = all(b[y][x] == 0 for y in range(704) for x in range(832) if not (32 <= y < 672 and 32 <= x < 800))
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
            check "method $method $option: $band inside as the scene, frame no data" framed_as_scene $band
        done
        check "method $method $option: declared" grep -q "^data ignore value = 0" "$WORK/frame/red_Fused.hdr"
        gdal_translate -q -of ENVI -srcwin 0 0 832 32 "$WORK/frame/pan_Fused.bmp" "$WORK/top.img"
        check "method $method $option: frame black" cmp -s -n $((832 * 32 * 3)) "$WORK/top.img" /dev/zero
    done
done
fuse "$WORK/frame" --method 1 --nodata 0
expect_status "the default filter with no data" 1 $?

finish
