#!/usr/bin/env bash
# Pan-sharpening benchmark: times lumesta-cli on a synthetic SIZE x SIZE 16-bit scene (four MS
# bands of SIZE/4) and, where GDAL's pan-sharpening script is installed, the same scene through
# it. Reports wall time, megapixels per second and peak resident memory.
#
# Usage: bench/run_bench.sh [SIZE] [16|etm] [METHOD]  (default 8192, the 16-bit tool; etm: the
#        8-bit Landsat ETM+ tool, MS bands of SIZE/2 for Blue, Green and Red; METHOD: the
#        --method of our tool, default 1; the 16-bit tool also takes gsa, glp-hpm, awlp, brovey)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
set -u

SIZE=${1:-8192}
KIND=${2:-16}
METHOD=${3:-1}
case $KIND in
    16) RATIO=4 BITS=16 BANDS="blue green red nir" TOOL=pansharpen ;;
    etm) RATIO=2 BITS=8 BANDS="blue green red" TOOL=pansharpen-etm ;;
    *) echo "run_bench: the kind is 16 or etm" >&2; exit 1 ;;
esac
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
TIME=/usr/bin/time

die() { echo "run_bench: $*" >&2; exit 1; }

[[ $SIZE =~ ^[0-9]+$ ]] && [ "$SIZE" -ge 32 ] || die "SIZE must be a whole number of at least 32"
[ $((SIZE % 4)) = 0 ] || die "SIZE must be a multiple of 4 (the MS bands are SIZE/4)"
[ -x "$TIME" ] || die "$TIME not found: install the package 'time' (apt-get install time)"
[ -x "$GEN" ] || die "scene generator not found at $GEN (build target make_test_rasters or set MAKE_TEST_RASTERS)"
HAVE_CLI=1
[ -x "$CLI" ] || { HAVE_CLI=0; echo "run_bench: lumesta-cli not found at $CLI (set LUMESTA_CLI); skipping it" >&2; }
HAVE_GDAL=0
command -v gdal_pansharpen.py >/dev/null && command -v gdal_translate >/dev/null && HAVE_GDAL=1

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-bench.XXXXXX") || die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM

# Runs a command under /usr/bin/time -v; sets SECONDS_TAKEN, PEAK_MIB and STATUS.
timed() { # LABEL COMMAND...
    local label=$1
    shift
    # Start each timed run with no earlier writes still being flushed to disk.
    sync
    "$TIME" -v -o "$WORK/$label.time" "$@" >"$WORK/$label.out" 2>"$WORK/$label.err"
    STATUS=$?
    SECONDS_TAKEN=$(awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, part, ":"); s = 0
        for (i = 1; i <= n; ++i) s = s * 60 + part[i]
        printf "%.2f", s }' "$WORK/$label.time")
    PEAK_MIB=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$WORK/$label.time")
    if [ "$STATUS" != 0 ]; then
        echo "run_bench: $label exited with status $STATUS; its last messages:" >&2
        tail -n 5 "$WORK/$label.err" >&2
    fi
}

megapixels_per_second() { # SECONDS
    awk -v n="$SIZE" -v s="$1" 'BEGIN { if (s > 0) printf "%.2f", n * n / s / 1e6; else print "-" }'
}

echo "Generating a ${SIZE} x ${SIZE} scene in $WORK ..."
"$GEN" pansharpen "$WORK/scene" --width "$SIZE" --height "$SIZE" --layouts envi --seed 1 --bits "$BITS" ||
    die "scene generation failed"
SCENE=$WORK/scene/envi

FAILED=0
OUR_ROW="lumesta-cli          not run"
OUR_SECONDS=""
if [ $HAVE_CLI = 1 ]; then
    echo "Timing lumesta-cli $TOOL --method $METHOD ..."
    cd "$SCENE" || die "cannot enter $SCENE"
    band_args=()
    for band in $BANDS; do band_args+=(--"$band" "$band.img"); done
    timed lumesta "$CLI" "$TOOL" --pan pan.img "${band_args[@]}" --method "$METHOD" --yes --quiet \
        --log run.log
    cd "$WORK" || die "cannot enter $WORK"
    if [ "$STATUS" = 0 ]; then
        OUR_SECONDS=$SECONDS_TAKEN
        OUR_ROW=$(printf "%-20s %9s %9s %10s" lumesta-cli "$SECONDS_TAKEN" \
            "$(megapixels_per_second "$SECONDS_TAKEN")" "$PEAK_MIB")
    else
        OUR_ROW="lumesta-cli          failed (exit $STATUS)"
        FAILED=1
    fi
fi

GDAL_ROW="gdal_pansharpen.py   not installed"
GDAL_SECONDS=""
if [ $HAVE_GDAL = 1 ]; then
    echo "Converting the bands to GeoTIFF (not timed) ..."
    # The bands carry no georeferencing: give all of them the same extent, so that GDAL lines up
    # the MS pixels (4 x 4 pan pixels each) with the pan as our tool does.
    for band in pan $BANDS; do
        gdal_translate -q -of GTiff -a_ullr 0 "$SIZE" "$SIZE" 0 "$SCENE/$band.img" "$WORK/$band.tif" ||
            die "gdal_translate failed on $band.img"
    done
    echo "Timing gdal_pansharpen.py ..."
    cd "$WORK" || die "cannot enter $WORK"
    ms_args=()
    for band in $BANDS; do ms_args+=("$band.tif,band=1"); done
    timed gdal gdal_pansharpen.py -q -threads ALL_CPUS -of GTiff -r bilinear pan.tif "${ms_args[@]}" out.tif
    if [ "$STATUS" = 0 ]; then
        GDAL_SECONDS=$SECONDS_TAKEN
        GDAL_ROW=$(printf "%-20s %9s %9s %10s" gdal_pansharpen.py "$SECONDS_TAKEN" \
            "$(megapixels_per_second "$SECONDS_TAKEN")" "$PEAK_MIB")
    else
        GDAL_ROW="gdal_pansharpen.py   failed (exit $STATUS)"
        FAILED=1
    fi
fi

echo
NBANDS=$(echo $BANDS | wc -w)
echo "Pan-sharpening ${SIZE} x ${SIZE} (${BITS}-bit, $NBANDS MS bands of $((SIZE / RATIO)) x $((SIZE / RATIO))), $(nproc) CPU(s)"
printf "%-20s %9s %9s %10s\n" tool seconds "Mpix/s" "peak MiB"
echo "$OUR_ROW"
echo "$GDAL_ROW"
if [ -n "$OUR_SECONDS" ] && [ -n "$GDAL_SECONDS" ]; then
    awk -v a="$OUR_SECONDS" -v b="$GDAL_SECONDS" \
        'BEGIN { if (b > 0) printf "time ratio lumesta / gdal: %.2f\n", a / b }'
fi
exit $FAILED
