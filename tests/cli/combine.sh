#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli combine` and `combine8` on generated bands: every input
# layout gives the same picture, exit statuses, standard error lines, the report block,
# overwrite answers, wrong command lines, Ctrl-C, and GeoTIFF inputs when the shared scenes exist.
# Usage: combine.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
check() { if eval "$2"; then pass; else fail "$1"; fi; }  # NAME CONDITION
expect_stderr() { if [ "$(cat "$2")" = "$3" ]; then pass; else fail "$1: stderr was $(printf '%q' "$(cat "$2")")"; fi; }
same() { if cmp -s "$2" "$3"; then pass; else fail "$1: $2 differs from $3"; fi; }
starts_with() { [ "$(head -c ${#2} "$1"; printf x)" = "$2"x ]; }  # FILE TEXT
ends_with() { [ "$(tail -c ${#2} "$1"; printf x)" = "$2"x ]; }

"$GEN" pansharpen "$WORK/s" --width 512 --height 512 --layouts envi,envi4,idrisi,generic --seed 5 &&
"$GEN" pansharpen "$WORK/b" --width 512 --height 512 --layouts envi,envi3,idrisi,generic --bits 8 --seed 6 ||
    { echo "generator failed"; exit 1; }

# 16-bit ENVI bands: the report on standard output, a 128 x 128 picture.
E=$WORK/s/envi
"$CLI" combine --blue "$E/green.img" --green "$E/red.img" --red "$E/nir.img" --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
expect_status "envi" 0 $?
expect_stderr "envi" "$WORK/err.txt" ""
starts_with "$WORK/out.txt" $'Log File: \r\n\r\n+++++++++++++++ Band Combination (1) ++++++++++++++++++++\r\n\r\n' && pass || fail "report start"
check "input lines" "grep -q $'^Green:\t$E/red.img\r\$' '$WORK/out.txt'"
check "BMP line" "grep -q $'^BMP:\t\t$E/green_Composite.bmp\r\$' '$WORK/out.txt'"
check "display off" "grep -q $'^Display it?\tNo\r\$' '$WORK/out.txt'"
ends_with "$WORK/out.txt" $'\tStep 1: ......\tFinished (24-bit BMP output)\r\n\r\nNotes:\r\n' && pass || fail "report end"
check "BMP size" "[ \$(stat -c %s '$E/green_Composite.bmp') = $((54 + 384 * 128)) ]"

# The same bands from a four-band file (--select), a group and generic matrices.
"$CLI" combine --blue "$WORK/s/envi4/ms.img" --select 2,3,4 --quiet --log "$WORK/e4.log" 2>/dev/null
expect_status "envi4" 0 $?
same "envi4" "$WORK/s/envi4/ms_Composite.bmp" "$E/green_Composite.bmp"
check "band names" "grep -q $'^Red:\t$WORK/s/envi4/ms.img (NIR)\r\$' '$WORK/e4.log'"
I=$WORK/s/idrisi
"$CLI" combine --blue "$I/ms.rgf" --select 2,3,4 --quiet --log "$WORK/i.log" 2>/dev/null
expect_status "group" 0 $?
same "group" "$I/ms_Composite.bmp" "$E/green_Composite.bmp"
G=$WORK/s/generic
"$CLI" combine --blue "$G/green.raw" --green "$G/red.raw" --red "$G/nir.raw" --width 128 --height 128 \
    --bmp "$WORK/generic.bmp" --quiet --log "$WORK/g.log" 2>/dev/null
expect_status "generic" 0 $?
same "generic" "$WORK/generic.bmp" "$E/green_Composite.bmp"
"$CLI" combine --blue "$G/green.raw" --green "$G/red.raw" --red "$G/nir.raw" --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "generic without size" 1 $?
expect_stderr "generic without size" "$WORK/err.txt" "Please input width and height."
"$CLI" combine --blue "$G/green.raw" --green "$G/red.raw" --red "$G/nir.raw" --width 128 --height 127 --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "generic wrong size" 1 $?
expect_stderr "generic wrong size" "$WORK/err.txt" "File size does not match with image size (16 bit data)."

# Stretch options reach the report and the picture.
"$CLI" combine --blue "$E/green.img" --green "$E/red.img" --red "$E/nir.img" --cutoffs 1,2,3,4,5,6 \
    --nonlinear 0,10,20 --bmp "$WORK/stretched.bmp" --quiet --log "$WORK/st.log" 2>/dev/null
expect_status "stretch options" 0 $?
check "cutoff line" "grep -q $'^\t- Red:  \tleft-side: 5\tright-side: 6\r\$' '$WORK/st.log'"
check "nonlinear line" "grep -q $'^\t- Red: \t\t20\r\$' '$WORK/st.log'"
check "stretched picture differs" "! cmp -s '$WORK/stretched.bmp' '$E/green_Composite.bmp'"

# An existing picture: --no declines (status 1, the question on standard error).
"$CLI" combine --blue "$E/green.img" --green "$E/red.img" --red "$E/nir.img" --no --quiet --log "$WORK/no.log" 2>"$WORK/err.txt"
expect_status "declined overwrite" 1 $?
expect_stderr "declined overwrite" "$WORK/err.txt" "$E/green_Composite.bmp already exists.
Do you want to overwrite?"
ends_with "$WORK/no.log" $'\t\t0\r\n\r\nUnsucessful\r\n\r\n' && pass || fail "Unsucessful line"
"$CLI" combine --blue "$E/green.img" --green "$E/red.img" --red "$E/nir.img" --bmp "$E/red.img" --yes --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "BMP named like an input" 1 $?
check "input kept" "[ \$(stat -c %s '$E/red.img') = 32768 ]"

# 8-bit bands: every layout gives the same picture; the 3-band group is refused.
B=$WORK/b
"$CLI" combine8 --blue "$B/envi/blue.img" --green "$B/envi/green.img" --red "$B/envi/red.img" --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 envi" 0 $?
check "8-bit banner" "grep -q $'^+++++++++++++++ Band Combination (1) +++++++++++++++++++++\r\$' '$WORK/8.log'"
"$CLI" combine8 --blue "$B/envi3/ms.img" --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 envi3" 0 $?
same "combine8 envi3" "$B/envi3/ms_Composite.bmp" "$B/envi/blue_Composite.bmp"
"$CLI" combine8 --blue "$B/idrisi/blue.rst" --green "$B/idrisi/green.rst" --red "$B/idrisi/red.rst" --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 idrisi" 0 $?
same "combine8 idrisi" "$B/idrisi/blue_Composite.bmp" "$B/envi/blue_Composite.bmp"
"$CLI" combine8 --blue "$B/generic/blue.raw" --green "$B/generic/green.raw" --red "$B/generic/red.raw" \
    --width 256 --height 256 --quiet --log "$WORK/8.log" 2>/dev/null
expect_status "combine8 generic" 0 $?
same "combine8 generic" "$B/generic/blue_Composite.bmp" "$B/envi/blue_Composite.bmp"
"$CLI" combine8 --blue "$B/idrisi/ms.rgf" --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "three-band group" 1 $?
expect_stderr "three-band group" "$WORK/err.txt" "Idrisi32's Group Raster File (*.rgf) should contain at least 4 images."

# Wrong command lines: status 2, nothing run.
"$CLI" combine --green "$E/red.img" 2>/dev/null >/dev/null
expect_status "no --blue" 2 $?
"$CLI" combine --blue "$WORK/s/envi4/ms.img" --green "$E/red.img" 2>/dev/null >/dev/null
expect_status "--green with a four-band file" 2 $?
"$CLI" combine --blue "$WORK/s/envi4/ms.img" --select 2,3,5 2>/dev/null >/dev/null
expect_status "--select beyond the list" 2 $?
"$CLI" combine8 --blue "$B/envi/blue.img" --cutoffs 0,2,2,2,2,2 2>/dev/null >/dev/null
expect_status "--cutoffs out of range" 2 $?
"$CLI" combine --help >/dev/null
expect_status "--help" 0 $?

# GeoTIFF inputs (the shared Landsat scene): the picture of the raw bands, a georeferenced
# three-band composite, no temporary files left.
SCENES=${LUMESTA_SCENES:-$(dirname "$0")/../../../shared/data}
SCENE=$SCENES/combine8
if [ -f "$SCENE/geotiff/blue.tif" ]; then
    cp -r "$SCENE" "$WORK/l" && chmod -R u+w "$WORK/l"
    T=$WORK/l/geotiff
    "$CLI" combine8 --blue "$T/blue.tif" --green "$T/green.tif" --red "$T/red.tif" --geotiff --quiet --log "$WORK/t.log" 2>"$WORK/err.txt"
    expect_status "GeoTIFF" 0 $?
    expect_stderr "GeoTIFF" "$WORK/err.txt" ""
    "$CLI" combine8 --blue "$WORK/l/envi/blue.img" --green "$WORK/l/envi/green.img" --red "$WORK/l/envi/red.img" --quiet --log "$WORK/t.log"
    same "GeoTIFF picture" "$T/blue_Composite.bmp" "$WORK/l/envi/blue_Composite.bmp"
    check "GeoTIFF report" "grep -q $'^    \tStep 2: ......\tFinished (GeoTIFF image output)\r\$' '$WORK/t.log'"
    check "no temporary files" "[ -z \"\$(ls '$T' | grep '~tmp')\" ]"
    if command -v gdalinfo >/dev/null; then
        gdalinfo "$T/blue_Composite.tif" >"$WORK/info.txt" 2>/dev/null
        check "three bands" "[ \$(grep -c '^Band ' '$WORK/info.txt') = 3 ]"
        check "geotransform" "[ \"\$(gdalinfo '$T/blue.tif' | grep -E '^(Origin|Pixel Size)')\" = \"\$(grep -E '^(Origin|Pixel Size)' '$WORK/info.txt')\" ]"
        check "coordinate system" "grep -q 'UTM zone 18N' '$WORK/info.txt'"
    fi
fi

# Ctrl-C while the picture is written: status 130, the closing line.
mkdir -p "$WORK/big"
"$GEN" raw "$WORK/big/blue.raw" --width 4096 --height 4096 --bits 16 --seed 1 &&
"$GEN" raw "$WORK/big/green.raw" --width 4096 --height 4096 --bits 16 --seed 2 &&
"$GEN" raw "$WORK/big/red.raw" --width 4096 --height 4096 --bits 16 --seed 3 || fail "raw generator"
"$CLI" combine --blue "$WORK/big/blue.raw" --green "$WORK/big/green.raw" --red "$WORK/big/red.raw" \
    --width 4096 --height 4096 --quiet --log "$WORK/c.log" 2>/dev/null &
pid=$!
for _ in $(seq 1 1000); do
    grep -q 'Band Combination' "$WORK/c.log" 2>/dev/null && break
    sleep 0.005
done
kill -INT $pid
wait $pid
expect_status "Ctrl-C" 130 $?
ends_with "$WORK/c.log" $'Step 1: ......\r\nCancelled\r\n\r\n' && pass || fail "Cancelled line"

finish
