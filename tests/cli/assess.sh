#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli semivariance`, `stats` and `haar` on generated bands: exit
# statuses, standard error lines, report blocks, tables, the Haar raster, header and picture,
# overwrite answers and Ctrl-C.
# Usage: assess.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
expect_file() { if [ -f "$1" ]; then pass; else fail "missing $1"; fi; }
expect_no_file() { if [ -e "$1" ]; then fail "left behind: $1"; else pass; fi; }
expect_stderr() { # NAME FILE EXACT-TEXT
    if [ "$(cat "$2")" = "$3" ]; then pass; else fail "$1: stderr was $(printf '%q' "$(cat "$2")")"; fi
}
expect_ending() { # NAME FILE EXACT-BYTES (printf format)
    local want
    want=$(printf "$3" | od -An -c)
    if [ "$(tail -c "$(printf "$3" | wc -c)" "$2" | od -An -c)" = "$want" ]; then pass; else fail "$1: $2 does not end with $3"; fi
}

"$GEN" pansharpen "$WORK/s" --width 256 --height 256 --layouts envi4,idrisi --seed 2 || { echo "generator failed"; exit 1; }
E=$WORK/s/envi4
I=$WORK/s/idrisi

# Semivariance of an ENVI band: report on standard output, the table beside the input.
"$CLI" semivariance --input "$E/pan.img" --max-lag 10 --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
expect_status "semivariance" 0 $?
expect_stderr "semivariance" "$WORK/err.txt" ""
head -c 16 "$WORK/out.txt" | od -c | grep -q 'L   o   g       F   i   l   e   :      \\r  \\n  \\r  \\n' && pass || fail "report does not start with Log File"
grep -q $'^~~~~~~~~~~~ SemiVariance Calculation (1) ~~~~~~~~~~~~~~~~\r$' "$WORK/out.txt" && pass || fail "no semivariance banner"
grep -q $'^Input:\t\t'"$E/pan.img"$'\r$' "$WORK/out.txt" && pass || fail "no input line"
grep -q $'^File Size:\t131072 bytes\r$' "$WORK/out.txt" && pass || fail "no file size line"
expect_ending "semivariance report" "$WORK/out.txt" 'Finished\r\n\r\n'
T=$E/pan_SemiVariance.txt
expect_file "$T"
[ "$(head -n 1 "$T")" = $'Lag\t     Freq.\t  0 Degree\t     Freq.\t 45 Degree\t     Freq.\t 90 Degree\t     Freq.\t 135 Degree\r' ] && pass || fail "table header"
[ "$(wc -l <"$T")" = 11 ] && pass || fail "table does not hold 10 lags"
grep -q $'^1\t     65280\t' "$T" && pass || fail "lag 1 pair count at 0 degrees"

# A band of a multi-band ENVI file gives the same table as that band on its own.
"$CLI" semivariance --input "$E/ms.img" --band 3 --max-lag 5 --quiet --log "$WORK/ms.log" 2>/dev/null
expect_status "multi-band" 0 $?
grep -q $'^Input:\t\t'"$E/ms.img (Red)"$'\r$' "$WORK/ms.log" && pass || fail "multi-band input line"
dd if="$E/ms.img" of="$WORK/red.raw" bs=8192 skip=2 count=1 status=none
"$CLI" semivariance --input "$WORK/red.raw" --width 64 --height 64 --max-lag 5 --quiet --log "$WORK/ms.log" 2>/dev/null
expect_status "generic 16-bit" 0 $?
cmp -s "$E/ms_SemiVariance.txt" "$WORK/red_SemiVariance.txt" && pass || fail "band 3 table differs from the extracted band"

# Messages of the runs: one line on standard error, status 1.
"$GEN" raw "$WORK/bytes.raw" --width 64 --height 48 --bits 8 --seed 5
"$CLI" semivariance --input "$WORK/bytes.raw" --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "no size" 1 $?
expect_stderr "no size" "$WORK/err.txt" "Please input width and height."
"$CLI" semivariance --input "$WORK/bytes.raw" --width 64 --height 49 --max-lag 20 --quiet 2>"$WORK/err.txt" >"$WORK/out.txt"
expect_status "wrong file size" 1 $?
expect_stderr "wrong file size" "$WORK/err.txt" "Check the file size of the input image."
expect_ending "wrong file size report" "$WORK/out.txt" 'Image Size:\t3136 pixels\r\nUnsucessful\r\n\r\n'
"$CLI" semivariance --input "$WORK/bytes.raw" --width 64 --height 48 --max-lag -3 --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "negative lag" 1 $?
expect_stderr "negative lag" "$WORK/err.txt" "Please input the max lag number."
"$CLI" semivariance --input "$WORK/bytes.raw" --width 64 --height 48 --max-lag 20 --quiet >/dev/null 2>&1
expect_status "8-bit generic" 0 $?
expect_file "$WORK/bytes_SemiVariance.txt"

# Existing outputs: --no declines (status 1) after the question on standard error.
"$CLI" semivariance --input "$E/pan.img" --max-lag 10 --no --quiet --log "$WORK/no.log" 2>"$WORK/err.txt"
expect_status "declined overwrite" 1 $?
expect_stderr "declined overwrite" "$WORK/err.txt" "$T already exists.
Do you want to overwrite?"
expect_ending "declined overwrite" "$WORK/no.log" 'Unsucessful\r\n\r\n'
"$CLI" semivariance --input "$E/pan.img" --max-lag 10 --quiet --log "$WORK/no.log" </dev/null 2>/dev/null
expect_status "no terminal answers No" 1 $?

# Statistics: the table with one column per level and three empty lines at its end.
"$CLI" stats --input "$I/pan.rst" --level 2 --yes --quiet --log "$WORK/stats.log" 2>"$WORK/err.txt"
expect_status "stats" 0 $?
expect_stderr "stats" "$WORK/err.txt" ""
S=$I/pan_ImageStats.txt
[ "$(head -n 1 "$S")" = $'IMAGE SIZE     \t256*256     \t128*128     \t64*64       \t\r' ] && pass || fail "stats size line"
[ "$(wc -l <"$S")" = 13 ] && pass || fail "stats table lines"
expect_ending "stats table" "$S" '\t\r\n\r\n\r\n\r\n'
grep -q $'^========= Multi-Resolution Image Statistics (1) ==========\r$' "$WORK/stats.log" && pass || fail "stats banner"
"$CLI" stats --input "$I/pan.rst" --level 6 --yes --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "stats level too high" 1 $?
expect_stderr "stats level too high" "$WORK/err.txt" " The maximum level you can select for this image is 5."

# Haar: the float raster with its header, and the picture; ENVI and Idrisi32 give the same data.
"$CLI" haar --input "$E/pan.img" --levels 3 --quiet --log "$WORK/haar.log" 2>"$WORK/err.txt"
expect_status "haar envi" 0 $?
expect_stderr "haar envi" "$WORK/err.txt" ""
expect_file "$E/pan_Haar.img"
expect_file "$E/pan_Haar.hdr"
expect_file "$E/pan_Haar.bmp"
[ "$(stat -c %s "$E/pan_Haar.img")" = 262144 ] && pass || fail "haar raster size"
[ "$(stat -c %s "$E/pan_Haar.bmp")" = $((54 + 256 * 256 * 3)) ] && pass || fail "haar picture size"
grep -q $'^Haar wavelet coefficent form:\t1/sqrt(2)\r$' "$WORK/haar.log" && pass || fail "haar form line"
"$CLI" haar --input "$I/pan.rst" --levels 3 --quiet --log "$WORK/haar.log" 2>/dev/null
expect_status "haar idrisi" 0 $?
cmp -s "$E/pan_Haar.img" "$I/pan_Haar.rst" && pass || fail "haar rasters of ENVI and Idrisi32 differ"
cmp -s "$E/pan_Haar.bmp" "$I/pan_Haar.bmp" && pass || fail "haar pictures of ENVI and Idrisi32 differ"
grep -q $'^data type   : real\r$' "$I/pan_Haar.rdc" && pass || fail "idrisi header data type"
if command -v gdalinfo >/dev/null; then
    gdalinfo "$E/pan_Haar.img" 2>/dev/null | grep -q 'Type=Float32' && pass || fail "gdalinfo: ENVI Haar raster is not Float32"
    gdalinfo "$E/pan_Haar.img" 2>/dev/null | grep -q 'Size is 256, 256' && pass || fail "gdalinfo: ENVI Haar size"
    gdalinfo "$I/pan_Haar.rst" 2>/dev/null | grep -q 'Type=Float32' && pass || fail "gdalinfo: Idrisi32 Haar raster is not Float32"
fi
"$CLI" haar --input "$E/pan.img" --levels 0 --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "haar no levels" 1 $?
expect_stderr "haar no levels" "$WORK/err.txt" "Please input down-sampling level."
"$CLI" haar --input "$WORK/bytes.raw" --width 64 --height 48 --quiet 2>"$WORK/err.txt" >/dev/null
expect_status "haar not a power of two" 1 $?
[ "$(head -n 1 "$WORK/err.txt")" = $'The image size of 64*48 is not supported. \r' ] && pass || fail "power-of-two message"

# Wrong command lines: status 2, nothing run.
"$CLI" semivariance --max-lag 5 2>/dev/null >/dev/null
expect_status "no --input" 2 $?
"$CLI" haar --input "$E/pan.img" --form third 2>/dev/null >/dev/null
expect_status "bad --form" 2 $?
"$CLI" stats --input "$E/pan.img" --band 2 2>/dev/null >/dev/null
expect_status "--band beyond the list" 2 $?
"$CLI" stats --input "$E/pan.img" --max-lag 3 2>/dev/null >/dev/null
expect_status "option of another tool" 2 $?
"$CLI" semivariance --help >/dev/null 2>&1
expect_status "help" 0 $?

# Ctrl-C during the lags takes the cancel path: status 130, closing line, no table.
"$GEN" raw "$WORK/big.raw" --width 4096 --height 4096 --bits 16 --seed 1
"$CLI" semivariance --input "$WORK/big.raw" --width 4096 --height 4096 --max-lag 3000 --yes --quiet \
    --log "$WORK/c.log" 2>/dev/null &
pid=$!
for _ in $(seq 1 500); do
    grep -q 'Output:' "$WORK/c.log" 2>/dev/null && break
    sleep 0.01
done
sleep 0.2
kill -INT $pid
wait $pid
expect_status "Ctrl-C" 130 $?
expect_ending "Ctrl-C" "$WORK/c.log" 'Cancelled\r\n\r\n'
expect_no_file "$WORK/big_SemiVariance.txt"

# Ctrl-C during the Haar levels deletes the raster and writes no picture.
"$CLI" haar --input "$WORK/big.raw" --width 4096 --height 4096 --levels 5 --yes --quiet \
    --log "$WORK/h.log" 2>/dev/null &
pid=$!
for _ in $(seq 1 500); do
    grep -q '24-bit BMP' "$WORK/h.log" 2>/dev/null && break
    sleep 0.01
done
kill -INT $pid
wait $pid
expect_status "Ctrl-C haar" 130 $?
expect_ending "Ctrl-C haar" "$WORK/h.log" 'Cancelled\r\n\r\n'
expect_no_file "$WORK/big.raw_Haar"
expect_no_file "$WORK/big_Haar.bmp"

finish
