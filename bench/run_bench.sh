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
# BENCH_ROUNDS=N (default 3) rounds; the two tools alternate which goes first, and the medians
# are reported. GDAL is installed with apt-get when missing (BENCH_NO_INSTALL=1 prevents it).
set -u
NAME=run_bench

SIZE=${1:-8192}
KIND=${2:-16}
METHOD=${3:-1}
case $KIND in
    16) RATIO=4 BITS=16 BANDS="blue green red nir" TOOL=pansharpen ;;
    etm) RATIO=2 BITS=8 BANDS="blue green red" TOOL=pansharpen-etm ;;
    *) echo "run_bench: the kind is 16 or etm" >&2; exit 1 ;;
esac
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
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

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-bench.XXXXXX") || die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM
HAVE_GDAL=0
ensure_gdal && HAVE_GDAL=1

megapixels_per_second() { # SECONDS
    awk -v n="$SIZE" -v s="$1" 'BEGIN { if (s > 0) printf "%.2f", n * n / s / 1e6; else print "-" }'
}

echo "Generating a ${SIZE} x ${SIZE} scene in $WORK ..."
"$GEN" pansharpen "$WORK/scene" --width "$SIZE" --height "$SIZE" --layouts envi --seed 1 --bits "$BITS" ||
    die "scene generation failed"
SCENE=$WORK/scene/envi

LOAD_BEFORE=$(load_now)
band_args=()
for band in $BANDS; do band_args+=(--"$band" "$band.img"); done
ms_args=()
for band in $BANDS; do ms_args+=("$band.tif,band=1"); done

if [ $HAVE_GDAL = 1 ]; then
    echo "Converting the bands to GeoTIFF (not timed) ..."
    # The bands carry no georeferencing: give all of them the same extent, so that GDAL lines up
    # the MS pixels (4 x 4 pan pixels each) with the pan as our tool does.
    for band in pan $BANDS; do
        gdal_translate -q -of GTiff -a_ullr 0 "$SIZE" "$SIZE" 0 "$SCENE/$band.img" "$WORK/$band.tif" ||
            die "gdal_translate failed on $band.img"
    done
fi
ls -1 "$SCENE" >"$WORK/scene.list"

FAILED=0
OUR_TIMES=() OUR_PEAKS=() GDAL_TIMES=() GDAL_PEAKS=() ROUND_RATIOS=()
run_ours() {
    cd "$SCENE" || die "cannot enter $SCENE"
    timed "lumesta$1" "$CLI" "$TOOL" --pan pan.img "${band_args[@]}" --method "$METHOD" --yes --quiet \
        --log run.log
    cd "$WORK" || die "cannot enter $WORK"
    remove_new_files "$SCENE" "$WORK/scene.list"
    if [ "$STATUS" = 0 ]; then OUR_TIMES+=("$SECONDS_TAKEN"); OUR_PEAKS+=("$PEAK_MIB"); else FAILED=1; fi
}
run_gdal() {
    cd "$WORK" || die "cannot enter $WORK"
    timed "gdal$1" gdal_pansharpen.py -q -threads ALL_CPUS -of GTiff -r bilinear pan.tif "${ms_args[@]}" out.tif
    rm -f out.tif
    if [ "$STATUS" = 0 ]; then GDAL_TIMES+=("$SECONDS_TAKEN"); GDAL_PEAKS+=("$PEAK_MIB"); else FAILED=1; fi
}
for round in $(seq 1 "$BENCH_ROUNDS"); do
    order="ours gdal"
    [ $((round % 2)) = 0 ] && order="gdal ours"
    echo "Round $round of $BENCH_ROUNDS ($order) ..."
    for who in $order; do
        if [ "$who" = ours ] && [ $HAVE_CLI = 1 ]; then run_ours "$round"; fi
        if [ "$who" = gdal ] && [ $HAVE_GDAL = 1 ]; then run_gdal "$round"; fi
    done
    if [ ${#OUR_TIMES[@]} = "$round" ] && [ ${#GDAL_TIMES[@]} = "$round" ]; then
        ROUND_RATIOS+=("$(ratio "${OUR_TIMES[-1]}" "${GDAL_TIMES[-1]}")")
    fi
done

row() { # LABEL TIMES-NAME PEAKS-NAME
    local -n times=$2 peaks=$3
    if [ ${#times[@]} = 0 ]; then printf "%-20s not run or failed\n" "$1"; return; fi
    local m
    m=$(median "${times[@]}")
    printf "%-20s %9s %9s %10s   %s\n" "$1" "$m" "$(megapixels_per_second "$m")" \
        "$(largest "${peaks[@]}")" "${times[*]}"
}

echo
NBANDS=$(echo $BANDS | wc -w)
echo "Pan-sharpening ${SIZE} x ${SIZE} (${BITS}-bit, $NBANDS MS bands of $((SIZE / RATIO)) x $((SIZE / RATIO))), $BENCH_ROUNDS alternating rounds"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-20s %9s %9s %10s   %s\n" tool "median s" "Mpix/s" "peak MiB" "every run (s)"
row lumesta-cli OUR_TIMES OUR_PEAKS
row gdal_pansharpen.py GDAL_TIMES GDAL_PEAKS
if [ ${#OUR_TIMES[@]} -gt 0 ] && [ ${#GDAL_TIMES[@]} -gt 0 ]; then
    echo "time ratio lumesta / gdal: $(ratio "$(median "${OUR_TIMES[@]}")" "$(median "${GDAL_TIMES[@]}")") (of the medians); per round: ${ROUND_RATIOS[*]} (median $(median "${ROUND_RATIOS[@]}"))"
fi
exit $FAILED
