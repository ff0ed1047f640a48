#!/usr/bin/env bash
# Sanity check of the synthetic scene generator that the other end-to-end tests build on:
# file sizes of every layout, header layouts, determinism, usage errors.
# Usage: generator.sh LUMESTA_CLI MAKE_TEST_RASTERS   (the first argument is not used here)
set -u
GEN=${2:?usage: generator.sh LUMESTA_CLI MAKE_TEST_RASTERS}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
expect_size() { # FILE BYTES
    local size
    size=$(stat -c %s "$1" 2>/dev/null || echo missing)
    [ "$size" = "$2" ] || fail "$1: size $size, expected $2"
}
hex() { od -An -tx1 | tr -d ' \n'; }
expect_first_line() { # FILE TEXT (compared with its line end)
    [ "$(head -c ${#2} "$1" 2>/dev/null | hex)" = "$(printf '%s' "$2" | hex)" ] ||
        fail "$1: first line is not $(printf '%q' "$2")"
}

"$GEN" pansharpen "$WORK/a" --width 512 --height 512 --seed 5 || fail "16-bit scene: exit $?"
for stem in pan blue green red nir; do
    full=$([ $stem = pan ] && echo 524288 || echo 32768)
    expect_size "$WORK/a/envi/$stem.img" $full
    expect_size "$WORK/a/idrisi/$stem.rst" $full
    expect_size "$WORK/a/generic/$stem.raw" $full
    expect_first_line "$WORK/a/envi/$stem.hdr" $'ENVI\n'
    expect_first_line "$WORK/a/idrisi/$stem.rdc" $'file format : Idrisi Raster A.1\r\n'
    cmp -s "$WORK/a/envi/$stem.img" "$WORK/a/generic/$stem.raw" || fail "$stem differs between layouts"
done
expect_size "$WORK/a/envi4/ms.img" 131072
cat "$WORK"/a/envi/{blue,green,red,nir}.img | cmp -s - "$WORK/a/envi4/ms.img" || fail "ms.img is not BSQ"
[ "$(tail -c 25 "$WORK/a/envi4/ms.hdr" | hex)" = "$(printf '{\nBlue,\nGreen,\nRed,\nNIR}\n' | hex)" ] ||
    fail "ms.hdr band names"
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

for args in "pansharpen $WORK/u --width 3 --height 8" "pansharpen $WORK/u --width 8 --height 8 --bits 12" \
    "pansharpen $WORK/u --width 8 --height 8 --layouts tiff" "raw $WORK/u.raw --width 8 --height 8" \
    "raw $WORK/u.raw --width 8 --height 8 --bits 8 --value 256" "nonsense"; do
    "$GEN" $args 2>/dev/null
    status=$?
    [ $status = 2 ] || fail "'$args': exit $status, expected 2"
done
[ -e "$WORK/u" ] || [ -e "$WORK/u.raw" ] && fail "a usage error wrote files"

if command -v gdalinfo >/dev/null; then
    for file in envi/pan.img idrisi/pan.rst; do
        gdalinfo "$WORK/a/$file" 2>/dev/null | grep -q '^Size is 512, 512$' || fail "gdalinfo $file"
    done
    gdalinfo "$WORK/a/envi4/ms.img" 2>/dev/null | grep -q '^Band 4 .*Type=Int16' || fail "gdalinfo ms.img"
else
    echo "gdalinfo not found: GDAL cross-checks skipped"
fi

[ $FAILURES = 0 ] || { echo "$FAILURES check(s) failed" >&2; exit 1; }
