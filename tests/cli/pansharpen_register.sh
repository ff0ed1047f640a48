#!/usr/bin/env bash
# End-to-end checks of registration in the detail-injection runs (`--register auto|off|DX,DY`):
# the report line after the method line, malformed values refused; on the shared real scene
# (when present) the fused colours sit on the MS's blocks with auto and half a pixel off without,
# and a pair whose MS is one MS pixel off the pan fuses better with auto than with off, scored
# against the MS that truly lies on the pan's grid.
# Usage: pansharpen_register.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
# Runs the CLI; stdout to $WORK/out, stderr to $WORK/err, status in $STATUS.
run() { "$CLI" "$@" >"$WORK/out" 2>"$WORK/err"; STATUS=$?; }
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
for value in 1,2,3 1,nan ""; do
    run pansharpen "${INPUTS[@]}" --method gsa --register "$value" --yes --quiet
    expect_status "pansharpen --register '$value'" 2 "$STATUS"
    check "--register '$value': says why" grep -q -- "--register takes auto, off or two numbers DX,DY" "$WORK/err"
done
run quality wald --pan "$E/pan.img" --ms "$E"/{blue,green,red,nir}.img --register a,b
expect_status "quality wald --register a,b" 2 "$STATUS"

SCENE=${LUMESTA_SCENES:-$(dirname "$0")/../../../shared/data}/ps16/envi
if [ ! -f "$SCENE/pan.img" ] || ! command -v python3 >/dev/null; then
    echo "shared scenes or python3 absent: the real-scene checks skipped"
    finish
    exit $?
fi
cp "$SCENE"/{pan,blue,green,red,nir}.{img,hdr} "$WORK/" && chmod u+w "$WORK"/*.img "$WORK"/*.hdr
W=$WORK
# Where the MS lies on the fused colours, in pan pixels across and down: the offset of the 4 x 4
# blocks whose means match the MS best (a parabola through the best whole offset and its
# neighbours).
offset() { # SUFFIX
    python3 - "$W" "$1" <<'EOF'
import struct, sys
folder, suffix = sys.argv[1], sys.argv[2]
w, h = 768, 640
def band(path, count):
    return struct.unpack('<%dh' % count, open(path, 'rb').read(2 * count))
bands = [(band('%s/%s%s.img' % (folder, b, suffix), w * h), band('%s/%s.img' % (folder, b), w * h // 16))
         for b in ('blue', 'green', 'red')]
def mismatch(kx, ky):
    total = 0.0
    for fused, ms in bands:
        for j in range(2, h // 4 - 2):
            for i in range(2, w // 4 - 2):
                x, y = 4 * i + kx, 4 * j + ky
                s = sum(sum(fused[(y + r) * w + x:(y + r) * w + x + 4]) for r in range(4))
                total += (s / 16.0 - ms[j * (w // 4) + i]) ** 2
    return total
def where(axis):
    e = {k: mismatch(k, 0) if axis == 0 else mismatch(0, k) for k in range(-2, 3)}
    k = min((k for k in e if -2 < k < 2), key=e.get)
    a, b, c = e[k - 1], e[k], e[k + 1]
    return -(k + 0.5 * (a - c) / (a - 2 * b + c))
print('%.2f %.2f' % (where(0), where(1)))
EOF
}
within() { awk -v v="$1" -v low="$2" -v high="$3" 'BEGIN { exit !(v >= low && v <= high) }'; }
ALIGNED=(--pan "$W/pan.img" --blue "$W/blue.img" --green "$W/green.img" --red "$W/red.img" --nir "$W/nir.img")
for mode in auto off; do
    run pansharpen "${ALIGNED[@]}" --method glp-hpm --sensor worldview2 --register $mode \
        --suffix "_$mode" --yes --quiet
    check "aligned scene, $mode: runs" [ "$STATUS" = 0 ]
    read -r across down <<<"$(offset "_$mode")"
    if [ $mode = auto ]; then
        check "auto: estimated as aligned" grep -q $'^MS offset on the pan:\t0.00, 0.00 pan pixels (estimated)\r$' "$WORK/out"
        check "auto: the colours on the MS's blocks ($across, $down)" \
            eval 'within "$across" -0.1 0.1 && within "$down" -0.1 0.1'
    else
        check "off: the colours half a pixel off the blocks ($across, $down)" \
            eval 'within "$across" -0.55 -0.25 && within "$down" -0.55 -0.25'
    fi
done

# Cut the first 4 pan columns and rows: the MS lies one MS pixel (-4 pan pixels) off the cut
# pan, and the MS cut of its first column and row lies exactly on the cut pan's grid. The pair is
# degraded (Wald) and fused both ways; each result is scored against that exact MS.
crop() { # IN WIDTH X0 Y0 COLUMNS ROWS OUT
    python3 - "$@" <<'EOF'
import sys
src, width, x0, y0, w, h, out = sys.argv[1], *map(int, sys.argv[2:7]), sys.argv[7]
data = open(src, 'rb').read()
open(out, 'wb').write(b''.join(data[2 * ((y0 + y) * width + x0):2 * ((y0 + y) * width + x0 + w)]
                               for y in range(h)))
open(out[:-4] + '.hdr', 'w').write('ENVI\nsamples = %d\nlines = %d\nbands = 1\nheader offset = 0\n'
                                   'file type = ENVI Standard\ndata type = 2\ninterleave = bsq\n'
                                   'byte order = 0\n' % (w, h))
EOF
}
C=$WORK/cut
mkdir -p "$C"
crop "$W/pan.img" 768 4 4 752 624 "$C/pan.img"
for band in blue green red nir; do
    crop "$W/$band.img" 192 0 0 188 156 "$C/$band.img"
    crop "$W/$band.img" 192 1 1 188 156 "$C/exact_$band.img"
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
check "auto beats off on ERGAS (${auto[0]} vs ${off[0]})" better "${auto[0]}" "${off[0]}" 1
check "auto beats off on SAM (${auto[1]} vs ${off[1]})" better "${auto[1]}" "${off[1]}" 1
check "auto beats off on Q4 (${auto[2]} vs ${off[2]})" better "${auto[2]}" "${off[2]}" 0
check "auto beats off on SCC (${auto[4]} vs ${off[4]})" better "${auto[4]}" "${off[4]}" 0

finish
