#!/usr/bin/env bash
# Sanity check of the synthetic scene generator that the other end-to-end tests build on:
# file sizes of every layout, header layouts, determinism.
# Usage: generator.sh LUMESTA_CLI MAKE_TEST_RASTERS   (the first argument is not used here)
source "$(dirname "$0")/lib/harness.bash" "$@"
expect_size() { # FILE BYTES
    local size
    size=$(stat -c %s "$1" 2>/dev/null || echo missing)
    [ "$size" = "$2" ] || fail "$1: size $size, expected $2"
}
hex() { od -An -tx1 | tr -d ' \n'; }

"$GEN" pansharpen "$WORK/a" --width 512 --height 512 --seed 5 || fail "16-bit scene: exit $?"
for stem in pan blue green red nir; do
    full=$([ $stem = pan ] && echo 524288 || echo 32768)
    expect_size "$WORK/a/envi/$stem.img" $full
    expect_size "$WORK/a/idrisi/$stem.rst" $full
    expect_size "$WORK/a/generic/$stem.raw" $full
    starts_with "$WORK/a/envi/$stem.hdr" $'ENVI\n' || fail "$stem.hdr: first line"
    starts_with "$WORK/a/idrisi/$stem.rdc" $'file format : Idrisi Raster A.1\r\n' || fail "$stem.rdc: first line"
    cmp -s "$WORK/a/envi/$stem.img" "$WORK/a/generic/$stem.raw" || fail "$stem differs between layouts"
done
expect_size "$WORK/a/envi4/ms.img" 131072
cat "$WORK"/a/envi/{blue,green,red,nir}.img | cmp -s - "$WORK/a/envi4/ms.img" || fail "ms.img is not BSQ"
ends_with "$WORK/a/envi4/ms.hdr" $'{\nBlue,\nGreen,\nRed,\nNIR}\n' || fail "ms.hdr band names"
[ "$(hex <"$WORK/a/idrisi/ms.rgf")" = "$(printf '4\r\nblue\r\ngreen\r\nred\r\nnir\r\n' | hex)" ] ||
    fail "ms.rgf content"
grep -q $'^max. value  : [0-9]*\r$' "$WORK/a/idrisi/pan.rdc" || fail "pan.rdc has no value range"

"$GEN" pansharpen "$WORK/b" --width 512 --height 512 --seed 5 --layouts generic || fail "repeat: exit $?"
cmp -s "$WORK/a/generic/pan.raw" "$WORK/b/generic/pan.raw" || fail "same seed, different pan"
"$GEN" pansharpen "$WORK/c" --width 512 --height 512 --seed 6 --layouts generic || fail "seed 6: exit $?"
cmp -s "$WORK/a/generic/pan.raw" "$WORK/c/generic/pan.raw" && fail "different seeds, same pan"

"$GEN" pansharpen "$WORK/e" --width 130 --height 66 --bits 8 --layouts envi,envi3 || fail "8-bit: exit $?"
expect_size "$WORK/e/envi/pan.img" 8580
expect_size "$WORK/e/envi/red.img" 2145
expect_size "$WORK/e/envi3/ms.img" 6435
grep -qx 'data type = 1' "$WORK/e/envi3/ms.hdr" || fail "8-bit data type"

"$GEN" raw "$WORK/const.raw" --width 3 --height 2 --bits 16 --value 513 || fail "raw: exit $?"
[ "$(hex <"$WORK/const.raw")" = "010201020102010201020102" ] ||
    fail "constant raw band is not little-endian 513"

finish
