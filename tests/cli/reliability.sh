#!/usr/bin/env bash
# End-to-end checks that no failure passes for success and no run harms another's files:
# concurrent GeoTIFF runs in one folder, SIGTERM and SIGHUP mid-run, a full disk (a small
# tmpfs where mounting is allowed, /dev/full for the log), a log naming an input, a pipe as
# input, and the exit statuses of batch files.
# Usage: reliability.sh LUMESTA_CLI MAKE_TEST_RASTERS
source "$(dirname "$0")/lib/harness.bash" "$@"
MOUNTED=""
cleanup() {
    [ -n "$MOUNTED" ] && umount "$MOUNTED" 2>/dev/null
    rm -rf "$WORK"
}
trap cleanup EXIT
geotiff_args() { # FOLDER
    echo --pan "$1/pan.tif" --blue "$1/blue.tif" --green "$1/green.tif" --red "$1/red.tif" --nir "$1/nir.tif"
}

# Concurrent runs on the same inputs in one folder: each result equals its run alone, and a
# user's file named like a temporary survives.
C=$WORK/conc
geotiff_scene "$C" 1024 5
echo "mine" >"$C/~tmp000.tmp"
"$CLI" pansharpen $(geotiff_args "$C") --suffix _R --yes --quiet --log "$C/r.log" 2>/dev/null
expect_status "reference run" 0 $?
for trial in 1 2 3; do
    for run in a b c; do
        "$CLI" pansharpen $(geotiff_args "$C") --suffix "_$run" --yes --quiet --log "$C/$run.log" 2>/dev/null &
    done
    wait
    for run in a b c; do
        cmp -s "$C/pan_$run.tif" "$C/pan_R.tif" && pass || fail "concurrent run $run (trial $trial) differs"
        cmp -s "$C/pan.tif_$run.bmp" "$C/pan.tif_R.bmp" && pass || fail "concurrent picture $run (trial $trial) differs"
    done
done
[ "$(cat "$C/~tmp000.tmp")" = mine ] && pass || fail "a user's file was overwritten"
rm "$C/~tmp000.tmp"
expect_no_temporaries "concurrent runs" "$C"

# Ctrl-C (SIGINT), SIGTERM and SIGHUP take the cancel path: 128 + the signal, the closing
# line, no outputs.
S=$WORK/sig
"$GEN" pansharpen "$S" --width "$CANCEL_SIDE" --height "$CANCEL_SIDE" --layouts envi --seed 4 >/dev/null || exit 1
B=$S/envi
for signal in INT TERM HUP; do
    "$CLI" pansharpen --pan "$B/pan.img" --blue "$B/blue.img" --green "$B/green.img" --red "$B/red.img" \
        --nir "$B/nir.img" --yes --quiet --log "$S/$signal.log" 2>/dev/null &
    signal_when $! "$S/$signal.log" 'Step 2' $signal
    status=$?
    expect_status "SIG$signal" $((128 + $(kill -l $signal))) $status
    check "SIG$signal: Cancelled line" ends_with "$S/$signal.log" $'Cancelled\r\n\r\n'
    for band in blue green red nir; do expect_no_file "$B/${band}_Fused.img"; done
    expect_no_file "$B/pan_Fused.bmp"
    expect_no_temporaries "SIG$signal" "$B"
done
rm -rf "$S"

# The log: on a full device the run says so and exits 1; one naming an input (directly or
# through a link) is refused before anything is written.
L=$WORK/log
"$GEN" pansharpen "$L" --width 512 --height 512 --layouts envi --seed 6 >/dev/null || exit 1
E=$L/envi
ENVI_ARGS=(--pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" --red "$E/red.img" --nir "$E/nir.img")
"$CLI" pansharpen "${ENVI_ARGS[@]}" --yes --quiet --log /dev/full 2>"$L/err.txt"
expect_status "log on a full device" 1 $?
grep -q '^Cannot write the report to /dev/full\.$' "$L/err.txt" && pass || fail "full log: no message"
cp "$E/blue.img" "$L/blue.copy"
ln -s "$E/blue.img" "$L/link.img"
for log in "$E/blue.img" "$L/link.img" "$E/pan.hdr"; do
    "$CLI" pansharpen "${ENVI_ARGS[@]}" --suffix _L --yes --quiet --log "$log" 2>"$L/err.txt"
    expect_status "log $log" 1 $?
    grep -q 'is also a file of this run' "$L/err.txt" && pass || fail "log $log: no message"
    expect_no_file "$E/blue_L.img"
done
cmp -s "$E/blue.img" "$L/blue.copy" && pass || fail "the input named as log changed"
# The same for a one-file run: its MS file, its result and picture (default or given names).
"$GEN" pansharpen "$L/four" --width 512 --height 512 --layouts envi4 --seed 6 >/dev/null || exit 1
F=$L/four/envi4
cp "$F/ms.img" "$L/ms.copy"
for run in "$F/ms.img" "$F/ms_Fused.hdr" "$F/ms_Fused.bmp" "$L/r.tif --output $L/r.tif"; do
    "$CLI" pansharpen --pan "$F/pan.img" --ms "$F/ms.img" --method gsa --yes --quiet --log $run 2>"$L/err.txt"
    expect_status "log ${run%% *}" 1 $?
done
"$CLI" pansharpen "${ENVI_ARGS[@]}" --filter none --output "$L/r.img" --yes --quiet --log "$L/r.img" 2>>"$L/err.txt"
expect_status "log of the result" 1 $?
[ "$(grep -c 'is also a file of this run' "$L/err.txt")" = 2 ] && pass || fail "one result: no message"
cmp -s "$F/ms.img" "$L/ms.copy" && pass || fail "the MS named as log changed"

# A pipe as input is refused at once instead of waiting for a writer.
mkfifo "$L/pipe.img"
cp "$E/pan.hdr" "$L/pipe.hdr"
ln -s "$L/pipe.img" "$L/pipe-link.img"
cp "$E/pan.hdr" "$L/pipe-link.hdr"
for tool in stats semivariance haar; do
    timeout 20 "$CLI" $tool --input "$L/pipe-link.img" --yes --quiet >/dev/null 2>"$L/err.txt"
    expect_status "$tool: pipe input" 1 $?
    [ -s "$L/err.txt" ] && pass || fail "$tool: pipe input: no message"
done
cp "$E/nir.hdr" "$L/pipe.hdr"
timeout 20 "$CLI" pansharpen --pan "$E/pan.img" --blue "$E/blue.img" --green "$E/green.img" \
    --red "$E/red.img" --nir "$L/pipe.img" --suffix _P --yes --quiet >/dev/null 2>"$L/err.txt"
expect_status "pansharpen: pipe input" 1 $?
[ -s "$L/err.txt" ] && pass || fail "pansharpen: pipe input: no message"
expect_no_file "$E/blue_P.img"

# A full disk while the outputs are written: exit 1, no output and no temporary file left.
F=$WORK/full
mkdir -p "$F"
if mount -t tmpfs -o size=1536k tmpfs "$F" 2>/dev/null; then
    MOUNTED=$F
    for name in pan blue green red nir; do cp "$E/$name.img" "$E/$name.hdr" "$F/"; done
    "$CLI" pansharpen --pan "$F/pan.img" --blue "$F/blue.img" --green "$F/green.img" --red "$F/red.img" \
        --nir "$F/nir.img" --yes --quiet --log "$WORK/full.log" 2>"$WORK/full.err"
    expect_status "full disk" 1 $?
    [ -s "$WORK/full.err" ] && pass || fail "full disk: no message"
    grep -q 'Unsuccessful' "$WORK/full.log" && pass || fail "full disk: no Unsuccessful line"
    for band in blue green red nir; do
        expect_no_file "$F/${band}_Fused.img"
        expect_no_file "$F/${band}_Fused.hdr"
    done
    expect_no_file "$F/pan_Fused.bmp"
    expect_no_temporaries "full disk" "$F"
    umount "$F" && MOUNTED=""
else
    echo "note: tmpfs cannot be mounted here; the full-disk run is left out"
fi

# Batch files: a job that stops makes the batch exit 1 with a closing count; Ctrl-C starts no
# further job. (Unreadable batch files: the engine's batch tests and failures.sh.)
T=$WORK/batch
geotiff_scene "$T" 512 7
job() { # NUMBER PAN OUT
    printf '%s\n%s\n%s\n%s\n%s\n%s\n%s\n%s\n' "$1" "$2" "$T/blue.tif" "$T/green.tif" "$T/red.tif" \
        "$T/nir.tif" "$T/$3.bmp" "$T/$3.tif"
}
{ echo "2 1"; job 1 "$T/missing.tif" a; job 2 "$T/pan.tif" b; } >"$T/one-fails.bif"
"$CLI" pansharpen --pan "$T/one-fails.bif" --yes --quiet --log "$T/b.log" 2>"$T/err.txt"
expect_status "batch with a stopped job" 1 $?
cp "$T/pan.tif" "$T/pan.copy"
"$CLI" pansharpen --pan "$T/one-fails.bif" --yes --quiet --log "$T/pan.tif" 2>"$T/log-err.txt"
expect_status "log naming a batch input" 1 $?
cmp -s "$T/pan.tif" "$T/pan.copy" && pass || fail "a batch input named as log changed"
[ "$(tail -n 1 "$T/err.txt")" = "Batch jobs finished: 1, stopped: 1." ] && pass || fail "batch: no closing count"
[ -f "$T/b.bmp" ] && pass || fail "batch: the job after the stop did not run"
geotiff_scene "$T/big" "$CANCEL_SIDE" 8
{ echo "2 1"; job 1 "$T/big/pan.tif" c; job 2 "$T/pan.tif" d; } >"$T/cancel.bif"
sed -i "s|$T/blue.tif|$T/big/blue.tif|; s|$T/green.tif|$T/big/green.tif|; s|$T/red.tif|$T/big/red.tif|; s|$T/nir.tif|$T/big/nir.tif|" "$T/cancel.bif"
"$CLI" pansharpen --pan "$T/cancel.bif" --yes --quiet --log "$T/c.log" 2>/dev/null &
signal_when $! "$T/c.log" 'Step 1' INT
expect_status "batch Ctrl-C" 130 $?
expect_no_file "$T/c.bmp"
expect_no_file "$T/d.bmp"
[ "$(grep -c 'Pan-Sharpening Run (' "$T/c.log")" = 1 ] && pass || fail "batch Ctrl-C: a further job started"

finish
