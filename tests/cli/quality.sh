#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli quality` and `lumesta-cli degrade`: every input layout gives
# the same numbers, the protocol's pieces agree with each other, the output formats, and each
# bad input stops with a message and writes nothing.
# Usage: quality.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
# Runs the CLI; stdout to $WORK/out, stderr to $WORK/err, status in $STATUS.
run() { "$CLI" "$@" >"$WORK/out" 2>"$WORK/err"; STATUS=$?; }

"$GEN" pansharpen "$WORK/s" --width 256 --height 192 --seed 5 --layouts envi,envi4,idrisi,generic \
    || { echo "generator failed"; exit 1; }
"$GEN" pansharpen "$WORK/e" --width 128 --height 96 --bits 8 --seed 6 --layouts envi \
    || { echo "generator failed"; exit 1; }
E=$WORK/s/envi
MS="$E/blue.img $E/green.img $E/red.img $E/nir.img"

run quality wald --pan "$E/pan.img" --ms $MS --sensor worldview2 --keep "$WORK/keep/deep"
check "wald finishes" [ "$STATUS" = 0 ]
check "only the table on stdout: names, which way is better, six methods, the note" \
    [ "$(wc -l <"$WORK/out")" = 9 ]
check "table header" grep -q '^method  *ERGAS  *SAM  *Q2n  *Q  *SCC  *Q_1  *Q_2  *Q_3  *Q_4$' "$WORK/out"
check "which way is better" grep -q '^(better)  *lower  *lower  *higher  *higher  *higher' "$WORK/out"
check "methods named as the dialog names them" \
    [ "$(sed -n '3,8p' "$WORK/out" | sed -E 's/  +[0-9].*//' | sort | tr '\n' '|')" = \
      "AWLP|Adaptive Gram-Schmidt (GSA)|MTF-GLP-HPM|Optimisation 1|Optimisation 2|Weighted Brovey|" ]
numbers=$(cut -c"$(head -1 "$WORK/out" | awk '{print index($0, "ERGAS")}')"- "$WORK/out" | sed -n '3,8p' | tr -d '*')
check "rounded as people read them" \
    [ -z "$(awk '$1 !~ /^[0-9]+\.[0-9][0-9][0-9]$/ || $3 !~ /^[01]\.[0-9][0-9][0-9][0-9]$/' <<<"$numbers")" ]
check "ranked by Q2n, best first" [ "$(awk '{print $3}' <<<"$numbers")" = "$(awk '{print $3}' <<<"$numbers" | sort -rn)" ]
check "the first row holds the best Q2n, marked" \
    [ "$(cut -c"$(head -1 "$WORK/out" | awk '{print index($0, "Q2n")}')"- "$WORK/out" | sed -n 3p | awk '{print $1}' | tr -dc '*')" = "*" ]
check "the mark explained" [ "$(tail -1 "$WORK/out")" = "* the best value of its column" ]
check "nothing on stderr" [ ! -s "$WORK/err" ]
check "--keep folder made with the degraded inputs and results" \
    [ -s "$WORK/keep/deep/pan.tif" -a -s "$WORK/keep/deep/ms.tif" -a -s "$WORK/keep/deep/1.tif" -a -s "$WORK/keep/deep/2.tif" ]
cp "$WORK/out" "$WORK/wald.txt"
run quality wald --pan "$E/pan.img" --ms $MS --sensor worldview2 --format csv
check "CSV keeps the --method names and their order" \
    [ "$(cut -d, -f1 "$WORK/out" | tr '\n' ' ')" = "method gsa glp-hpm awlp brovey 1 2 " ]
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
run quality wald --pan "$G/pan.raw" --ms "$G/blue.raw" "$G/green.raw" "$G/red.raw" "$G/nir.raw"
check "a generic matrix needs its size" [ "$STATUS" = 1 ]
check "the message names the matrix" grep -q 'give --width, --height and --bytes' "$WORK/err"
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
check "JSON keys" grep -q '^{"ERGAS": .*"SAM": .*"Q2n": .*"Q": .*"SCC": .*"Q_bands": \[.*\], "seconds": ' "$WORK/out"
ergas=$(sed 's/^{"ERGAS": \([^,]*\),.*/\1/' "$WORK/out")
check "kept result measures as in the protocol" \
    [ "$(printf '%.6f' "$ergas")" = "$(printf '%.6f' "$(awk -F, '$1 == "1" {print $2}' "$WORK/wald.csv")")" ]
check "--map written" [ -s "$WORK/q2n.tif" ]

run degrade --pan "$E/pan.img" --ms $MS --sensor worldview2 --out "$WORK/deg/x" --log "$WORK/d.log"
check "degrade finishes silently" [ "$STATUS" = 0 -a ! -s "$WORK/out" ]
check "degrade writes what --keep kept" cmp -s "$WORK/deg/x/ms.tif" "$WORK/keep/deep/ms.tif"
check "degrade report block closes" grep -q $'^\tFinished\r$' "$WORK/d.log"

E8=$WORK/e/envi
run quality wald --pan "$E8/pan.img" --ms "$E8/blue.img" "$E8/green.img" "$E8/red.img" --ratio 2
check "three bands at ratio 2 use the Landsat methods" [ "$STATUS" = 0 -a "$(wc -l <"$WORK/out")" = 5 ]
for band in pan b g r; do
    if [ $band = pan ]; then size="--width 128 --height 96"; else size="--width 64 --height 48"; fi
    "$GEN" raw "$WORK/w16_$band.raw" $size --bits 16 --value 3000 >/dev/null
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

# Bad input: a message, exit 1, nothing written.
run quality wald --pan "$E/pan.img" --ms $MS --ratio 3 --keep "$WORK/nokeep"
check "ratio not a power of two" [ "$STATUS" = 1 -a -s "$WORK/err" -a ! -e "$WORK/nokeep" ]
run quality reduced --fused "$E/blue.img" --reference "$E/pan.img"
check "sizes that disagree" [ "$STATUS" = 1 ] && check "size message" grep -q 'differ in size' "$WORK/err"
run quality reduced --fused "$E/blue.img" "$E/green.img" --reference "$E/blue.img"
check "band counts that differ" [ "$STATUS" = 1 ]
head -c 1000 "$E/red.img" >"$WORK/short.img"
cp "$E/red.hdr" "$WORK/short.hdr"
run quality reduced --fused "$WORK/short.img" --reference "$E/red.img"
check "truncated file" [ "$STATUS" = 1 ] && check "truncation message" grep -q 'truncated' "$WORK/err"
run quality full --fused "$E/blue.img" --ms "$E/blue.img" --pan "$WORK/missing.img" --map "$WORK/nomap.tif"
check "unreadable file" [ "$STATUS" = 1 -a ! -e "$WORK/nomap.tif" ]
run degrade --pan "$E/pan.img" --ms $MS --ratio 8 --out "$WORK/noout"
check "MS sides not multiples of the ratio" [ "$STATUS" = 1 -a ! -e "$WORK/noout" ]
run quality wald --pan "$E/pan.img" --ms $MS --method ihs
check "unknown method" [ "$STATUS" = 1 ] && check "method message" grep -q 'Unknown fusion method ihs' "$WORK/err"
run quality sideways --pan "$E/pan.img"
check "unknown protocol" [ "$STATUS" = 2 ]
run degrade --pan "$E/pan.img" --ms $MS
check "--out required" [ "$STATUS" = 2 ]
run quality reduced --fused "$E/blue.img" --reference "$E/blue.img" --format xml
check "unknown format" [ "$STATUS" = 2 ]

# Ctrl-C while measuring: status 130 and the cancel line.
"$GEN" raw "$WORK/big.raw" --width 4096 --height 4096 --bits 16 --seed 1
"$CLI" quality reduced --fused "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" \
    --reference "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" "$WORK/big.raw" \
    --width 4096 --height 4096 --bytes 2 --quiet --log "$WORK/c.log" >"$WORK/c.out" 2>/dev/null &
pid=$!
for _ in $(seq 1 500); do
    grep -q 'Border cut' "$WORK/c.log" 2>/dev/null && break
    sleep 0.01
done
kill -INT $pid
wait $pid
check "Ctrl-C status" [ $? = 130 ]
check "Ctrl-C closing line" grep -q $'^Cancelled\r$' "$WORK/c.log"
check "no result after Ctrl-C" [ ! -s "$WORK/c.out" ]

finish
