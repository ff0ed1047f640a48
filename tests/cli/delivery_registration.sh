#!/usr/bin/env bash
# End-to-end checks of registration in `pansharpen --ms` on the shared scene: with --register
# auto the fused colours' 4 x 4 block means match the MS best where they lie (with off, about
# 0.4 pan pixel off: the upsampling's phase); and on a pair made misregistered by a known
# amount (the pan's first 4 rows and columns cut, the MS kept, so the MS on the pan's grid is
# the MS without its first row and column), degraded by the Wald protocol, auto beats off on
# every reduced-resolution metric. Skipped without the shared scenes or GDAL's tools.
# Usage: delivery_registration.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
DATA=$(cd "$(dirname "$0")/../.." && pwd)/../shared/data/ps16/envi4
if [ ! -d "$DATA" ] || ! command -v gdal_translate >/dev/null; then
    echo "shared scenes or gdal_translate missing: skipped"
    exit 0
fi
fuse() { # PAN MS REGISTER OUTPUT
    "$CLI" pansharpen --pan "$1" --ms "$2" --method glp-hpm --register "$3" --format geotiff \
        --output "$4" --yes --quiet --log /dev/null 2>"$WORK/err"
}

# Where the fused blocks match the MS best, in pan pixels along the rows and down the columns
# (a parabola through the errors of the blocks moved by -1, 0 and +1 pan pixel).
PY=/usr/bin/python3
if "$PY" -c 'import numpy, osgeo' 2>/dev/null; then
    for mode in auto off; do
        fuse "$DATA/pan.img" "$DATA/ms.img" $mode "$WORK/$mode.tif"
        expect_status "aligned scene, register $mode" 0 $?
    done
    best() {
        "$PY" - "$1" "$DATA/ms.img" <<'PYTHON'
import sys
import numpy as np
from osgeo import gdal
fused = gdal.Open(sys.argv[1]).ReadAsArray().astype(float)
ms = gdal.Open(sys.argv[2]).ReadAsArray().astype(float)
b, h, w = ms.shape
def error(dx, dy):
    moved = np.roll(np.roll(fused, -dy, axis=1), -dx, axis=2)
    means = moved[:, :4 * h, :4 * w].reshape(b, h, 4, w, 4).mean(axis=(2, 4))
    return np.mean((means - ms)[:, 2:-2, 2:-2] ** 2)
def vertex(e):
    return 0.5 * (e[0] - e[2]) / (e[0] - 2 * e[1] + e[2])
print("%.2f %.2f" % (vertex([error(d, 0) for d in (-1, 0, 1)]),
                     vertex([error(0, d) for d in (-1, 0, 1)])))
PYTHON
    }
    within() { awk -v v="$1" -v lo="$2" -v hi="$3" 'BEGIN { exit !(v >= lo && v <= hi) }'; }
    read -r ax ay <<<"$(best "$WORK/auto.tif")"
    read -r ox oy <<<"$(best "$WORK/off.tif")"
    check "auto: blocks on the MS ($ax)" within "$ax" -0.15 0.15
    check "auto: blocks on the MS down ($ay)" within "$ay" -0.15 0.15
    check "off: blocks half a pixel away ($ox)" within "$ox" 0.25 0.6
    check "off: blocks half a pixel away down ($oy)" within "$oy" 0.25 0.6
fi

# The misregistered pair: the reference is known exactly, and auto finds the MS's place.
C=$WORK/cut
mkdir -p "$C"
gdal_translate -q -of ENVI -srcwin 4 4 752 624 "$DATA/pan.img" "$C/pan.img"
gdal_translate -q -of ENVI -srcwin 0 0 188 156 "$DATA/ms.img" "$C/ms.img"
gdal_translate -q -of ENVI -srcwin 1 1 188 156 "$DATA/ms.img" "$C/reference.img"
"$CLI" degrade --pan "$C/pan.img" --ms "$C/ms.img" --ratio 4 --out "$C/reduced" --quiet
expect_status "degrade the misregistered pair" 0 $?
for mode in auto off; do
    fuse "$C/reduced/pan.tif" "$C/reduced/ms.tif" $mode "$C/$mode.tif"
    expect_status "misregistered pair, register $mode" 0 $?
    "$CLI" quality reduced --fused "$C/$mode.tif" --reference "$C/reference.img" --ratio 4 \
        --format csv | tail -1 >"$C/$mode.csv"
done
# ERGAS and SAM lower, Q4 and SCC higher.
IFS=, read -r auto_ergas auto_sam auto_q4 _ auto_scc _ <"$C/auto.csv"
IFS=, read -r off_ergas off_sam off_q4 _ off_scc _ <"$C/off.csv"
better() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'; }
check "auto wins on ERGAS ($auto_ergas < $off_ergas)" better "$auto_ergas" "$off_ergas"
check "auto wins on SAM ($auto_sam < $off_sam)" better "$auto_sam" "$off_sam"
check "auto wins on Q4 ($auto_q4 > $off_q4)" better "$off_q4" "$auto_q4"
check "auto wins on SCC ($auto_scc > $off_scc)" better "$off_scc" "$auto_scc"

finish
