#!/usr/bin/env bash
# Pan-sharpening benchmark: times lumesta-cli on a synthetic SIZE x SIZE 16-bit scene (four MS
# bands of SIZE/4) and, where GDAL's pan-sharpening script is installed, the same scene through
# it in its fastest usual setup: every CPU (-threads ALL_CPUS), bilinear resampling and the MS as
# one pixel-interleaved multi-band GeoTIFF. Beside them the I/O floor: the same reads (every input
# file of our run, from the page cache) and writes (files of the sizes our run writes) without any
# computation. Reports wall and CPU time, megapixels per second, peak resident memory, and our
# time against GDAL's and against the floor.
#
# Usage: bench/run_bench.sh [SIZE] [16|etm] [METHODS]  (default 8192, the 16-bit tool; etm: the
#        8-bit Landsat ETM+ tool, MS bands of SIZE/2 for Blue, Green and Red; METHODS: the
#        --method of our tool, or several separated by commas, or `all` for the six methods of
#        the 16-bit tool (1, 2, gsa, glp-hpm, awlp, brovey); default 1)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
# BENCH_ROUNDS=N (default 3) rounds; the two tools alternate which goes first, and the medians
# are reported. GDAL is installed with apt-get when missing (BENCH_NO_INSTALL=1 prevents it).
set -u
NAME=run_bench

SIZE=${1:-8192}
KIND=${2:-16}
METHODS=${3:-1}
case $KIND in
    16) RATIO=4 BITS=16 BANDS="blue green red nir" TOOL=pansharpen ;;
    etm) RATIO=2 BITS=8 BANDS="blue green red" TOOL=pansharpen-etm ;;
    *) echo "run_bench: the kind is 16 or etm" >&2; exit 1 ;;
esac
[ "$METHODS" = all ] && METHODS="1,2,gsa,glp-hpm,awlp,brovey"
IFS=, read -r -a METHOD_LIST <<<"$METHODS"
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

if [ $HAVE_GDAL = 1 ]; then
    echo "Converting the bands to GeoTIFF (not timed) ..."
    # The bands carry no georeferencing: give all of them the same extent, so that GDAL lines up
    # the MS pixels (4 x 4 pan pixels each) with the pan as our tool does.
    gdal_translate -q -of GTiff -a_ullr 0 "$SIZE" "$SIZE" 0 "$SCENE/pan.img" "$WORK/pan.tif" ||
        die "gdal_translate failed on pan.img"
    # The MS as GDAL is usually given it: one file, its bands pixel-interleaved.
    stack=()
    for band in $BANDS; do stack+=("$SCENE/$band.img"); done
    gdalbuildvrt -q -separate "$WORK/ms.vrt" "${stack[@]}" || die "gdalbuildvrt failed"
    gdal_translate -q -of GTiff -co INTERLEAVE=PIXEL -a_ullr 0 "$SIZE" "$SIZE" 0 "$WORK/ms.vrt" "$WORK/ms.tif" ||
        die "gdal_translate failed on the MS"
    rm -f "$WORK/ms.vrt"
fi
ls -1 "$SCENE" >"$WORK/scene.list"

FAILED=0
GDAL_TIMES=() GDAL_PEAKS=() GDAL_CPU=() FLOOR_TIMES=() FLOOR_PEAKS=() FLOOR_CPU=()
for m in "${!METHOD_LIST[@]}"; do
    declare -a "OUR_TIMES_$m=()" "OUR_PEAKS_$m=()" "OUR_CPU_$m=()"
done
OUTPUT_SIZES=()  # "name size" of every file our first run writes, for the floor
run_ours() { # ROUND METHOD-INDEX
    local m=$2
    cd "$SCENE" || die "cannot enter $SCENE"
    timed "lumesta$1-$m" "$CLI" "$TOOL" --pan pan.img "${band_args[@]}" --method "${METHOD_LIST[$m]}" \
        --yes --quiet --log run.log
    cd "$WORK" || die "cannot enter $WORK"
    if [ ${#OUTPUT_SIZES[@]} = 0 ] && [ "$STATUS" = 0 ]; then
        local name
        for name in $(ls -1 "$SCENE"); do
            grep -qxF "$name" "$WORK/scene.list" || OUTPUT_SIZES+=("$name $(stat -c %s "$SCENE/$name")")
        done
    fi
    remove_new_files "$SCENE" "$WORK/scene.list"
    if [ "$STATUS" = 0 ]; then
        local -n times="OUR_TIMES_$m" peaks="OUR_PEAKS_$m" cpu="OUR_CPU_$m"
        times+=("$SECONDS_TAKEN"); peaks+=("$PEAK_MIB")
        cpu+=("$(awk -v u="$USER_TAKEN" -v s="$SYSTEM_TAKEN" 'BEGIN { printf "%.2f", u + s }')")
    else
        FAILED=1
    fi
}
run_gdal() {
    cd "$WORK" || die "cannot enter $WORK"
    timed "gdal$1" gdal_pansharpen.py -q -threads ALL_CPUS -of GTiff -r bilinear pan.tif ms.tif out.tif
    rm -f out.tif
    if [ "$STATUS" = 0 ]; then
        GDAL_TIMES+=("$SECONDS_TAKEN"); GDAL_PEAKS+=("$PEAK_MIB")
        GDAL_CPU+=("$(awk -v u="$USER_TAKEN" -v s="$SYSTEM_TAKEN" 'BEGIN { printf "%.2f", u + s }')")
    else
        FAILED=1
    fi
}
# The I/O floor: read every input of our run and write files of the sizes it wrote, nothing else.
run_floor() {
    [ ${#OUTPUT_SIZES[@]} -gt 0 ] || return
    mkdir -p "$WORK/floor"
    printf '%s\n' "${OUTPUT_SIZES[@]}" >"$WORK/floor.list"
    timed "floor$1" bash -c 'cat "$1"/*.img "$1"/*.hdr >/dev/null &&
        while read -r name size; do head -c "$size" /dev/zero >"$2/$name" || exit 1; done <"$3"' \
        floor "$SCENE" "$WORK/floor" "$WORK/floor.list"
    rm -rf "$WORK/floor"
    if [ "$STATUS" = 0 ]; then
        FLOOR_TIMES+=("$SECONDS_TAKEN"); FLOOR_PEAKS+=("$PEAK_MIB")
        FLOOR_CPU+=("$(awk -v u="$USER_TAKEN" -v s="$SYSTEM_TAKEN" 'BEGIN { printf "%.2f", u + s }')")
    fi
}
for round in $(seq 1 "$BENCH_ROUNDS"); do
    # Alternate who goes first: ours, then GDAL, on odd rounds; GDAL first on even ones.
    order="ours gdal floor"
    [ $((round % 2)) = 0 ] && order="gdal floor ours"
    echo "Round $round of $BENCH_ROUNDS ($order) ..."
    for who in $order; do
        if [ "$who" = ours ] && [ $HAVE_CLI = 1 ]; then
            for m in "${!METHOD_LIST[@]}"; do run_ours "$round" "$m"; done
        fi
        if [ "$who" = gdal ] && [ $HAVE_GDAL = 1 ]; then run_gdal "$round"; fi
        if [ "$who" = floor ]; then run_floor "$round"; fi
    done
done

row() { # LABEL TIMES-NAME PEAKS-NAME CPU-NAME
    local -n times=$2 peaks=$3 cpu=$4
    if [ ${#times[@]} = 0 ]; then printf "%-22s not run or failed\n" "$1"; return; fi
    local m
    m=$(median "${times[@]}")
    printf "%-22s %9s %8s %9s %10s   %s\n" "$1" "$m" "$(median "${cpu[@]}")" \
        "$(megapixels_per_second "$m")" "$(largest "${peaks[@]}")" "${times[*]}"
}

echo
NBANDS=$(echo $BANDS | wc -w)
echo "Pan-sharpening ${SIZE} x ${SIZE} (${BITS}-bit, $NBANDS MS bands of $((SIZE / RATIO)) x $((SIZE / RATIO))), $BENCH_ROUNDS alternating rounds"
echo "GDAL: gdal_pansharpen.py -threads ALL_CPUS -r bilinear, the MS one pixel-interleaved GeoTIFF"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-22s %9s %8s %9s %10s   %s\n" tool "median s" "CPU s" "Mpix/s" "peak MiB" "every run (s)"
for m in "${!METHOD_LIST[@]}"; do
    row "lumesta-cli ${METHOD_LIST[$m]}" "OUR_TIMES_$m" "OUR_PEAKS_$m" "OUR_CPU_$m"
done
row gdal_pansharpen.py GDAL_TIMES GDAL_PEAKS GDAL_CPU
row "I/O floor" FLOOR_TIMES FLOOR_PEAKS FLOOR_CPU
echo
for m in "${!METHOD_LIST[@]}"; do
    declare -n times="OUR_TIMES_$m"
    [ ${#times[@]} -gt 0 ] || continue
    ours=$(median "${times[@]}")
    line="method ${METHOD_LIST[$m]}: time ratio lumesta / gdal"
    if [ ${#GDAL_TIMES[@]} -gt 0 ]; then line+=" $(ratio "$ours" "$(median "${GDAL_TIMES[@]}")")"; else line+=" -"; fi
    line+="; lumesta / I/O floor"
    if [ ${#FLOOR_TIMES[@]} -gt 0 ]; then line+=" $(ratio "$ours" "$(median "${FLOOR_TIMES[@]}")")"; else line+=" -"; fi
    echo "$line (of the medians)"
    unset -n times
done
exit $FAILED
