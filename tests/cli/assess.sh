#!/usr/bin/env bash
# End-to-end checks of `lumesta-cli semivariance`, `stats` and `haar` on generated bands: exit
# statuses, standard error lines, the report on standard output, a band of a multi-band file,
# the Haar raster and picture of every layout and wrong command lines. (The tools' report
# blocks, tables and messages: the engine tests; a stop's status and message: failures.sh; --no:
# pansharpen.sh; Ctrl-C: reliability.sh.)
# Usage: assess.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"

"$GEN" pansharpen "$WORK/s" --width 256 --height 256 --layouts envi4,idrisi --seed 2 || { echo "generator failed"; exit 1; }
E=$WORK/s/envi4
I=$WORK/s/idrisi

# Semivariance of an ENVI band: report on standard output, the table beside the input.
"$CLI" semivariance --input "$E/pan.img" --max-lag 10 --quiet >"$WORK/out.txt" 2>"$WORK/err.txt"
expect_status "semivariance" 0 $?
expect_stderr "semivariance" "$WORK/err.txt" ""
check "report starts with Log File" starts_with "$WORK/out.txt" $'Log File: \r\n\r\n~~~'
check "report ends with Finished" ends_with "$WORK/out.txt" $'Finished\r\n\r\n'
T=$E/pan_SemiVariance.txt
expect_file "$T"

# A band of a multi-band ENVI file gives the same table as that band on its own.
"$CLI" semivariance --input "$E/ms.img" --band 3 --max-lag 5 --quiet --log "$WORK/ms.log" 2>/dev/null
expect_status "multi-band" 0 $?
grep -q $'^Input:\t\t'"$E/ms.img (Red)"$'\r$' "$WORK/ms.log" && pass || fail "multi-band input line"
dd if="$E/ms.img" of="$WORK/red.raw" bs=8192 skip=2 count=1 status=none
"$CLI" semivariance --input "$WORK/red.raw" --width 64 --height 64 --max-lag 5 --quiet --log "$WORK/ms.log" 2>/dev/null
expect_status "generic 16-bit" 0 $?
cmp -s "$E/ms_SemiVariance.txt" "$WORK/red_SemiVariance.txt" && pass || fail "band 3 table differs from the extracted band"

# Statistics of an Idrisi32 band.
"$CLI" stats --input "$I/pan.rst" --level 2 --yes --quiet --log "$WORK/stats.log" 2>"$WORK/err.txt"
expect_status "stats" 0 $?
expect_stderr "stats" "$WORK/err.txt" ""
expect_file "$I/pan_ImageStats.txt"

# Haar: the float raster with its header, and the picture; ENVI and Idrisi32 give the same data.
"$CLI" haar --input "$E/pan.img" --levels 3 --quiet --log "$WORK/haar.log" 2>"$WORK/err.txt"
expect_status "haar envi" 0 $?
expect_stderr "haar envi" "$WORK/err.txt" ""
expect_file "$E/pan_Haar.hdr"
[ "$(stat -c %s "$E/pan_Haar.img")" = 262144 ] && pass || fail "haar raster size"
[ "$(stat -c %s "$E/pan_Haar.bmp")" = $((54 + 256 * 256 * 3)) ] && pass || fail "haar picture size"
"$CLI" haar --input "$I/pan.rst" --levels 3 --quiet --log "$WORK/haar.log" 2>/dev/null
expect_status "haar idrisi" 0 $?
cmp -s "$E/pan_Haar.img" "$I/pan_Haar.rst" && pass || fail "haar rasters of ENVI and Idrisi32 differ"
cmp -s "$E/pan_Haar.bmp" "$I/pan_Haar.bmp" && pass || fail "haar pictures of ENVI and Idrisi32 differ"

# Wrong command lines: status 2, nothing run.
for wrong in "semivariance --max-lag 5" "haar --input $E/pan.img --form third" \
    "stats --input $E/pan.img --band 2" "stats --input $E/pan.img --max-lag 3"; do
    "$CLI" $wrong 2>/dev/null >/dev/null
    expect_status "$wrong" 2 $?
done

finish
