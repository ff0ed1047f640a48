#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli quality` and `lumesta-cli degrade`: every input layout gives
# the same numbers, the protocol's pieces agree with each other, the output formats, and each
# bad input stops with a message and writes nothing. (The table's rounding, ranking and marks:
# the engine's quality table tests; the undefined metrics' reasons: its quality metric tests.)
# Usage: quality.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 256 --height 192 --seed 5 --layouts envi,envi4,idrisi,generic \
    || { echo "generator failed"; exit 1; }
"$GEN" pansharpen "$WORK/e" --width 128 --height 96 --bits 8 --seed 6 --layouts envi \
    || { echo "generator failed"; exit 1; }
E=$WORK/s/envi
MS="$E/blue.img $E/green.img $E/red.img $E/nir.img"

run quality wald --pan "$E/pan.img" --ms $MS --sensor worldview2 --keep "$WORK/keep/deep"
check "wald finishes" [ "$STATUS" = 0 ]
check "which way is better" grep -q '^(better)  *lower  *lower  *higher  *higher  *higher' "$WORK/out"
check "methods named as the dialog names them" \
    [ "$(sed -n '3,11p' "$WORK/out" | sed -E 's/  +[0-9].*//' | sort | tr '\n' '|')" = \
      "AWLP|Adaptive Gram-Schmidt (GSA)|BDSD-PC|MTF-GLP-EBP|MTF-GLP-FS|MTF-GLP-HPM|Optimisation 1|Optimisation 2|Weighted Brovey|" ]
check "nothing on stderr" [ ! -s "$WORK/err" ]
check "--keep folder made with the degraded inputs and results" \
    [ -s "$WORK/keep/deep/pan.tif" -a -s "$WORK/keep/deep/ms.tif" -a -s "$WORK/keep/deep/1.tif" -a -s "$WORK/keep/deep/2.tif" ]
cp "$WORK/out" "$WORK/wald.txt"
run quality wald --pan "$E/pan.img" --ms $MS --sensor worldview2 --format csv
check "CSV keeps the --method names and their order" \
    [ "$(cut -d, -f1 "$WORK/out" | tr '\n' ' ')" = "method gsa glp-hpm awlp brovey glp-ebp glp-fs bdsd-pc 1 2 " ]
cp "$WORK/out" "$WORK/wald.csv"

run quality wald --pan "$WORK/s/envi4/pan.img" --ms "$WORK/s/envi4/ms.img" --sensor worldview2
check "one four-band file gives the same numbers" cmp -s "$WORK/out" "$WORK/wald.txt"
I=$WORK/s/idrisi
run quality wald --pan "$I/pan.rst" --ms "$I/blue.rst" "$I/green.rst" "$I/red.rst" "$I/nir.rst" --sensor worldview2
check "Idrisi32 gives the same numbers" cmp -s "$WORK/out" "$WORK/wald.txt"
G=$WORK/s/generic
run quality wald --pan "$G/pan.raw" --ms "$G/blue.raw" "$G/green.raw" "$G/red.raw" "$G/nir.raw" --sensor worldview2 \
    --width 256 --height 192 --bytes 2
check "generic matrices give the same numbers" cmp -s "$WORK/out" "$WORK/wald.txt"
"$GEN" geotiff "$WORK/pan.tif" --width 256 --height 192 --bits 16 "$G/pan.raw" >/dev/null
"$GEN" geotiff "$WORK/ms.tif" --width 64 --height 48 --bits 16 "$G/blue.raw" "$G/green.raw" "$G/red.raw" "$G/nir.raw" >/dev/null
run quality wald --pan "$WORK/pan.tif" --ms "$WORK/ms.tif" --sensor worldview2 --method 2 --format csv
check "GeoTIFF, one method, CSV" [ "$STATUS" = 0 -a "$(wc -l <"$WORK/out")" = 2 ]
check "CSV header" grep -q '^method,ERGAS,SAM,Q2n,Q,SCC,Q_1,Q_2,Q_3,Q_4,seconds$' "$WORK/out"
check "GeoTIFF gives the method's numbers" \
    [ "$(sed -n 2p "$WORK/out" | cut -d, -f2)" = "$(awk -F, '$1 == "2" {print $2}' "$WORK/wald.csv")" ]

# The protocol's pieces: the kept result measured on its own gives the protocol's row.
run quality reduced --fused "$WORK/keep/deep/1.tif" --reference $MS --format json --map "$WORK/q2n.tif"
check "reduced finishes" [ "$STATUS" = 0 ]
check "JSON keys" grep -q '^{"ERGAS": .*"SAM": .*"Q2n": .*"Q": .*"SCC": .*"Q_bands": \[.*\], "blocks_used": [0-9]*, "blocks_total": [0-9]*, "seconds": ' "$WORK/out"
ergas=$(sed 's/^{"ERGAS": \([^,]*\),.*/\1/' "$WORK/out")
check "kept result measures as in the protocol" \
    [ "$(printf '%.6f' "$ergas")" = "$(printf '%.6f' "$(awk -F, '$1 == "1" {print $2}' "$WORK/wald.csv")")" ]
check "--map written" [ -s "$WORK/q2n.tif" ]

run degrade --pan "$E/pan.img" --ms $MS --sensor worldview2 --out "$WORK/deg/x" --log "$WORK/d.log"
check "degrade finishes silently" [ "$STATUS" = 0 -a ! -s "$WORK/out" ]
check "degrade writes what --keep kept" cmp -s "$WORK/deg/x/ms.tif" "$WORK/keep/deep/ms.tif"
check "degrade report block closes" grep -q $'^\tFinished\r$' "$WORK/d.log"

# Georeferenced pan and MS are placed by their geotransforms: the ratio is theirs, a --ratio must
# agree, an MS off the pan's corner is measured where both lie, and an MS a fraction of its pixel
# off is refused (other refusals of the placement: the engine's placement tests).
if command -v gdal_translate >/dev/null; then
    geo() { gdal_translate -q -a_srs "EPSG:$1" -a_ullr 500000 4000000 500256 3999808 "${@:2}"; }
    geo 32618 "$WORK/pan.tif" "$WORK/gpan.tif"
    geo 32618 "$WORK/ms.tif" "$WORK/gms.tif"
    geo 32618 -outsize 50% 50% "$WORK/pan.tif" "$WORK/gpan2.tif"
    gdal_translate -q -a_srs EPSG:32618 -a_ullr 500004 4000000 500260 3999808 "$WORK/ms.tif" "$WORK/gms_off.tif"
    run quality wald --pan "$WORK/gpan.tif" --ms "$WORK/gms.tif" --sensor worldview2 --method 2 --format csv
    check "georeferenced on one corner: the same numbers" [ "$STATUS" = 0 -a \
        "$(sed -n 2p "$WORK/out" | cut -d, -f2)" = "$(awk -F, '$1 == "2" {print $2}' "$WORK/wald.csv")" ]
    run degrade --pan "$WORK/gpan2.tif" --ms "$WORK/gms.tif" --out "$WORK/g2"
    check "the georeferenced pair's own ratio 2" eval '[ "$STATUS" = 0 ] && gdalinfo "$WORK/g2/ms.tif" | grep -q "Size is 32, 24"'
    run degrade --pan "$WORK/gpan2.tif" --ms "$WORK/gms.tif" --ratio 4 --out "$WORK/g4"
    check "a --ratio the geotransforms disagree with" [ "$STATUS" = 1 -a ! -e "$WORK/g4" ]
    # An MS one MS pixel right of the pan's corner: measured on the area both cover (for the
    # protocol, sides cut to multiples of the ratio), as on copies cut to it.
    run quality wald --pan "$WORK/gpan.tif" --ms "$WORK/gms_off.tif" --method 2 --format csv
    cut -d, -f1-10 "$WORK/out" >"$WORK/placed.csv"
    gdal_translate -q -srcwin 4 0 240 192 "$WORK/pan.tif" "$WORK/cut_pan.tif"
    gdal_translate -q -srcwin 0 0 60 48 "$WORK/ms.tif" "$WORK/cut_ms.tif"
    run quality wald --pan "$WORK/cut_pan.tif" --ms "$WORK/cut_ms.tif" --method 2 --format csv
    check "an MS on whole MS pixels off the corner: the common area" eval \
        '[ "$STATUS" = 0 ] && cut -d, -f1-10 "$WORK/out" | cmp -s - "$WORK/placed.csv"'
    gdal_translate -q -a_srs EPSG:32618 -a_ullr 500002 4000000 500258 3999808 "$WORK/ms.tif" "$WORK/gms_half.tif"
    run quality wald --pan "$WORK/gpan.tif" --ms "$WORK/gms_half.tif" --method 2
    check "half an MS pixel off: refused" [ "$STATUS" = 1 -a ! -s "$WORK/out" ]
    check "offset message" grep -q "The MS lies 2, 0 pan pixels from the corner of PAN .*not on whole MS pixels" "$WORK/err"
    # A VRT's own no-data value (here the first band's largest sample) takes its blocks out.
    top=$(gdalinfo -mm "$WORK/ms.tif" | grep -m1 "Computed Min/Max" | sed 's/.*,//; s/\..*//')
    gdal_translate -q -of VRT -a_nodata "$top" "$WORK/ms.tif" "$WORK/ms_nd.vrt"
    run quality reduced --fused "$WORK/ms.tif" --reference "$WORK/ms_nd.vrt" --format json
    check "a VRT's no-data value is honoured" eval '[ "$STATUS" = 0 ] && grep -q "\"blocks_used\": 2, \"blocks_total\": 4" "$WORK/out"'
    # A file's own mask (here an internal one, made from an alpha band where the image is
    # widened by four MS columns) takes its blocks out; --nodata none ignores it.
    if command -v gdalwarp >/dev/null; then
        gdalwarp -q -dstalpha -te 499984 3999808 500256 4000000 -tr 4 4 "$WORK/gms.tif" "$WORK/wa.tif"
        gdalwarp -q -te 499984 3999808 500256 4000000 -tr 4 4 "$WORK/gms.tif" "$WORK/wn.tif"
        gdal_translate -q -b 1 -b 2 -b 3 -b 4 -mask 5 --config GDAL_TIFF_INTERNAL_MASK YES -co TILED=YES \
            -co BLOCKXSIZE=16 -co BLOCKYSIZE=16 "$WORK/wa.tif" "$WORK/wm.tif"
        run quality reduced --fused "$WORK/wm.tif" --reference "$WORK/wn.tif" --format json
        check "a file's own mask is honoured" eval '[ "$STATUS" = 0 ] && grep -q "\"blocks_used\": 4, \"blocks_total\": 6" "$WORK/out"'
        run quality reduced --fused "$WORK/wm.tif" --reference "$WORK/wn.tif" --format json --nodata none
        check "--nodata none ignores the mask" eval '[ "$STATUS" = 0 ] && grep -q "\"blocks_used\": 6, \"blocks_total\": 6" "$WORK/out"'
    fi
fi

E8=$WORK/e/envi
run quality wald --pan "$E8/pan.img" --ms "$E8/blue.img" "$E8/green.img" "$E8/red.img" --ratio 2
check "three bands at ratio 2 use the Landsat methods" [ "$STATUS" = 0 -a "$(wc -l <"$WORK/out")" = 5 ]
for band in pan b g r; do
    if [ $band = pan ]; then size="--width 128 --height 96"; else size="--width 64 --height 48"; fi
    "$GEN" raw "$WORK/w16_$band.raw" $size --bits 16 --seed 3 >/dev/null
done
run quality wald --pan "$WORK/w16_pan.raw" --ms "$WORK/w16_b.raw" "$WORK/w16_g.raw" "$WORK/w16_r.raw" \
    --ratio 2 --width 128 --height 96 --bytes 2
check "16-bit samples do not fit the Landsat methods" [ "$STATUS" = 1 -a ! -s "$WORK/out" ]
check "range message" grep -q "do not fit the method's 8-bit range" "$WORK/err"

# Full resolution: the same numbers as the line after a pan-sharpening run.
"$GEN" pansharpen "$WORK/p" --width 512 --height 512 --seed 8 --layouts envi >/dev/null
E=$WORK/p/envi
MS="$E/blue.img $E/green.img $E/red.img $E/nir.img"
"$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" \
    --nir "$E/nir.img" --quality --yes --quiet >"$WORK/ps.txt" 2>/dev/null
check "quality line closes the report" grep -q $'^Quality (full resolution):\tD_lambda [0-9.]*\tD_s [0-9.]*\tQNR [0-9.]*\r$' "$WORK/ps.txt"
run quality full --fused "$E/blue_Fused.img" "$E/green_Fused.img" "$E/red_Fused.img" "$E/nir_Fused.img" \
    --ms $MS --pan "$E/pan.img" --log "$WORK/f.log" --format csv
check "full finishes" [ "$STATUS" = 0 ]
check "same numbers as the quality line" \
    [ "$(sed -n 2p "$WORK/out" | awk -F, '{printf "%.6f %.6f %.6f", $1, $2, $3}')" = "$(grep '^Quality' "$WORK/ps.txt" | awk '{print $5, $7, $9}' | tr -d '\r')" ]
check "report block in the log" grep -q 'Fusion Quality Run (1)' "$WORK/f.log"

# The protocol fuses exactly as pansharpen does: pan-sharpening the kept degraded inputs gives
# the kept result, sample for sample (ERGAS 0, SAM 0).
"$GEN" pansharpen "$WORK/x" --width 2048 --height 2048 --seed 4 --layouts envi >/dev/null
X=$WORK/x/envi
run quality wald --pan "$X/pan.img" --ms "$X/blue.img" "$X/green.img" "$X/red.img" "$X/nir.img" \
    --method 1 --keep "$WORK/xk" --quiet
check "large protocol run" [ "$STATUS" = 0 ]
"$CLI" pansharpen --pan "$WORK/xk/pan.tif" --blue "$WORK/xk/ms.tif" --yes --quiet >/dev/null 2>&1
run quality reduced --fused "$WORK/xk/1.tif" --reference "$WORK/xk/pan_Fused.tif" --format csv
check "kept result equals pansharpen on the kept inputs" [ "$(sed -n 2p "$WORK/out" | cut -d, -f1,2)" = 0,0 ]

# What the tools write is guarded as every tool's outputs are: never one of the inputs (through a
# link too, even with --yes), an existing file replaced only after the question, and nothing
# under a final name, no temporary file and no new folder after a failure.
O=$WORK/own
mkdir -p "$O/full"
cp "$WORK/pan.tif" "$WORK/ms.tif" "$O/"
ln "$O/ms.tif" "$O/link.tif"
refused() { [ "$STATUS" = 1 ] && grep -q "^$1 is an input of this run.\$" "$WORK/err"; }
run quality wald --pan "$O/pan.tif" --ms "$O/ms.tif" --method 2 --keep "$O" --yes
check "--keep onto the inputs is refused" refused "$O/pan.tif"
run degrade --pan "$O/pan.tif" --ms "$O/ms.tif" --out "$O" --yes
check "--out onto the inputs is refused" refused "$O/pan.tif"
run quality reduced --fused "$O/ms.tif" --reference "$O/ms.tif" --map "$O/link.tif" --yes
check "--map onto a link to an input is refused" refused "$O/link.tif"
check "the inputs are unchanged" eval 'cmp -s "$O/pan.tif" "$WORK/pan.tif" && cmp -s "$O/ms.tif" "$WORK/ms.tif"'
check "and nothing was left beside them" [ "$(ls -A "$O" | tr '\n' ' ')" = "full link.tif ms.tif pan.tif " ]
run degrade --pan "$O/pan.tif" --ms "$O/ms.tif" --out "$O/d"
cp "$O/d/pan.tif" "$O/pan.first"
run degrade --pan "$O/pan.tif" --ms "$O/ms.tif" --sensor ikonos --out "$O/d"
check "an existing output is kept on No" \
    eval 'grep -qx "$O/d/pan.tif already exists." "$WORK/err" && cmp -s "$O/d/pan.tif" "$O/pan.first"'
run degrade --pan "$O/pan.tif" --ms "$O/ms.tif" --sensor ikonos --out "$O/d" --yes
check "and replaced on Yes" eval '[ "$STATUS" = 0 ] && ! cmp -s "$O/d/pan.tif" "$O/pan.first"'
# A full disk (a file size limit of 0 bytes; standard error through a pipe to a writer without it).
for map in "$O/full/map.tif" "$O/made/map.tif"; do
    (trap '' XFSZ; ulimit -f 0; exec "$CLI" quality reduced --fused "$WORK/xk/1.tif" \
        --reference "$WORK/xk/pan_Fused.tif" --map "$map" 2>&1 >/dev/null) | cat >"$WORK/err"
    check "a full disk stops the run" [ "${PIPESTATUS[0]}" = 1 ]
    check "and says so" grep -qx "Cannot write $map." "$WORK/err"
done
check "and leaves no map, temporary file or folder it made" eval '[ -z "$(ls -A "$O/full")" ] && [ ! -e "$O/made" ]'

# Bad input: a message, exit 1, nothing written.
run quality wald --pan "$E/pan.img" --ms $MS --ratio 3 --keep "$WORK/nokeep"
check "ratio not a power of two" [ "$STATUS" = 1 -a -s "$WORK/err" -a ! -e "$WORK/nokeep" ]
run quality reduced --fused "$E/blue.img" --reference "$E/pan.img"
check "sizes that disagree" [ "$STATUS" = 1 ] && check "size message" grep -q 'differ in size' "$WORK/err"
run quality reduced --fused "$E/blue.img" "$E/green.img" --reference "$E/blue.img"
check "band counts that differ" [ "$STATUS" = 1 ]
run quality full --fused "$E/blue.img" --ms "$E/blue.img" --pan "$WORK/missing.img" --map "$WORK/nomap.tif" \
    --log "$WORK/stopped.log"
check "unreadable file" [ "$STATUS" = 1 -a ! -e "$WORK/nomap.tif" ]
check "closes its report block" eval 'grep -q "Fusion Quality Run" "$WORK/stopped.log" &&
    [ "$(tail -n 1 "$WORK/stopped.log" | tr -d "\r")" = "Unsuccessful" ]'
run degrade --pan "$E/pan.img" --ms $MS --ratio 8 --out "$WORK/noout"
check "MS sides not multiples of the ratio" [ "$STATUS" = 1 -a ! -e "$WORK/noout" ]
run quality sideways --pan "$E/pan.img"
check "unknown protocol" [ "$STATUS" = 2 ]
run degrade --pan "$E/pan.img" --ms $MS
check "--out required" [ "$STATUS" = 2 ]
run quality reduced --fused "$E/blue.img" --reference "$E/blue.img" --format xml
check "unknown format" [ "$STATUS" = 2 ]
run quality reduced --fused "$E/blue.img" --reference "$E/blue.img" --nodata blue
check "malformed no-data value" [ "$STATUS" = 2 ]
run degrade --pan "$E/pan.img" --ms $MS --ms-nodata 40000 --out "$WORK/noout"
check "no-data value outside the samples" [ "$STATUS" = 1 -a ! -e "$WORK/noout" ] &&
    check "no-data message" grep -q 'no-data value 40000 does not fit the samples of .*blue.img' "$WORK/err"
run degrade --pan "$E/pan.img" --ms $MS --sensor worldview3 --out "$WORK/noout"
check "a sensor without gains for four bands" [ "$STATUS" = 1 -a ! -e "$WORK/noout" ] &&
    check "sensor message" grep -q 'worldview3 has no Nyquist gains for 4 MS bands' "$WORK/err"

# No data: none ignores the files' own; a value marks the pixels holding it in every band.
S=$WORK/s/envi
run quality reduced --fused "$WORK/keep/deep/1.tif" --reference "$S/blue.img" "$S/green.img" "$S/red.img" \
    "$S/nir.img" --format json --nodata none
check "--nodata none keeps every block" grep -q '"blocks_used": 4, "blocks_total": 4,' "$WORK/out"
most=$(od -An -v -t d2 "$S/blue.img" | tr -s ' ' '\n' | sort -n | tail -n 1)
run quality reduced --fused "$WORK/keep/deep/1.tif" --reference "$S/blue.img" "$S/green.img" "$S/red.img" \
    "$S/nir.img" --format json --nodata "$most"
used=$(sed 's/.*"blocks_used": \([0-9]*\),.*/\1/' "$WORK/out")
check "the blocks holding the value are left out" [ "$STATUS" = 0 ] && check "some, not all" [ "$used" -gt 0 -a "$used" -lt 4 ]

# A metric the input leaves undefined ends the run with a message naming it, never a bare nan;
# an all-zero MS stops before any method fuses (no singular-matrix text from the methods).
"$GEN" raw "$WORK/z_pan.raw" --width 128 --height 128 --bits 16 --value 0 >/dev/null
"$GEN" raw "$WORK/z_ms.raw" --width 32 --height 32 --bits 16 --value 0 >/dev/null
undefined() { [ "$STATUS" = 1 ] && [ ! -s "$WORK/out" ] && [ "$(cat "$WORK/err")" = "$1" ]; }
run quality wald --pan "$WORK/z_pan.raw" --ms "$WORK"/z_ms.raw{,,,} --width 128 --height 128 --bytes 2
check "all-zero MS" undefined "ERGAS is undefined: band 1 of the reference has mean 0."

# Ctrl-C while measuring: status 130 and the cancel line.
"$GEN" raw "$WORK/big.raw" --width 4096 --height 4096 --bits 16 --seed 1
"$CLI" quality reduced --fused "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" \
    --reference "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" \
    --width 4096 --height 4096 --bytes 2 --quiet --log "$WORK/c.log" >"$WORK/c.out" 2>/dev/null &
signal_when $! "$WORK/c.log" 'Border cut' INT
check "Ctrl-C status" [ $? = 130 ]
check "Ctrl-C closing line" grep -q $'^Cancelled\r$' "$WORK/c.log"
check "no result after Ctrl-C" [ ! -s "$WORK/c.out" ]

finish
