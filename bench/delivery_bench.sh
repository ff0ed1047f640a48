#!/usr/bin/env bash
# A delivery's speed: one 4-band UInt16 MS and its pan, SIZE x SIZE pan pixels (default 8192),
# fused with METHOD (default glp-hpm) into one Cloud Optimized GeoTIFF, against
# `gdal_pansharpen.py -threads ALL_CPUS -of COG` on the same pan and one 4-band MS GeoTIFF.
# Prints median wall time, user and system time and peak resident memory of each, every run,
# and beside them the I/O floor: reading the inputs, and GDAL writing a COG copy of an image of
# the result's size and type (gdal_translate), which no fusion can beat.
#
# Usage: bench/delivery_bench.sh [SIZE] [METHOD]
# Binaries: $LUMESTA_CLI, $MAKE_TEST_RASTERS, $OUTPUT_BENCH, else build/lumesta-cli,
# build/make_test_rasters and build/bench/output_bench of this checkout. Nothing is built here.
#
# Our side: when `pansharpen --help` offers --ms, the run is
#   lumesta-cli pansharpen --pan pan.tif --ms ms.tif --method METHOD --format cog --output ours.tif --yes --quiet
# Before that, the closest existing route, in two timed steps whose times are added (peak: the
# larger): the 16-bit tool on the ENVI bands (--pan pan.img --blue ... --nir nir.img, four fused
# ENVI bands and the BMP), then output_bench writing those four bands as one COG through the
# result writer. BENCH_OURS="COMMAND" replaces both: run with bash -c in the scene folder, which
# holds pan.tif, ms.tif (4-band, pixel-interleaved), the ENVI bands and $CLI / $OUTPUT_BENCH in
# the environment; it writes ours.tif (removed after each run).
# GDAL writes its COG with our writer's settings (Deflate level 1 with the horizontal
# predictor, 512 blocks, overviews, ALL_CPUS threads) and its default (cubic) resampling;
# BENCH_GDAL_RESAMPLING=bilinear (or another gdal_pansharpen.py -r value) changes that.
# LUMESTA_CLI_BEFORE=PATH adds a third contender in the same alternating rounds: that build's
# lumesta-cli on the --ms route (an earlier build, to measure a change).
# BENCH_MS_BANDS=8 makes the MS (and so the result) eight bands, the four twice, for both sides
# (needs the --ms route). BENCH_ROUNDS=N (default 3) alternating rounds; BENCH_KEEP=1 keeps the
# scratch folder. GDAL is
# installed with apt-get when missing (BENCH_NO_INSTALL=1 prevents it). The scene needs about
# 2 GB of disk at 8192.
set -u
NAME=delivery_bench
SIZE=${1:-8192}
METHOD=${2:-glp-hpm}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
OUTPUT_BENCH=${OUTPUT_BENCH:-$ROOT/build/bench/output_bench}
RESAMPLING=${BENCH_GDAL_RESAMPLING:-cubic}
THREADS=$(nproc 2>/dev/null || echo 1)
MS_BANDS=${BENCH_MS_BANDS:-4}
VALIDATOR=/usr/lib/python3/dist-packages/osgeo_utils/samples/validate_cloud_optimized_geotiff.py
export CLI OUTPUT_BENCH METHOD SIZE THREADS

[[ $SIZE =~ ^[0-9]+$ ]] && [ "$SIZE" -ge 64 ] && [ $((SIZE % 4)) = 0 ] ||
    bench_die "SIZE must be a multiple of 4, at least 64"
[ "$MS_BANDS" = 4 ] || [ "$MS_BANDS" = 8 ] || bench_die "BENCH_MS_BANDS must be 4 or 8"
[ -x "$BENCH_TIME" ] || bench_die "$BENCH_TIME not found: install the package 'time'"
[ -x "$GEN" ] || bench_die "scene generator not found at $GEN (target make_test_rasters)"
[ -x "$CLI" ] || bench_die "lumesta-cli not found at $CLI (set LUMESTA_CLI)"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-delivery-bench.XXXXXX") || bench_die "no scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM
ensure_gdal || bench_die "needs gdal-bin and python3-gdal (gdal_pansharpen.py, gdal_translate)"

if [ -n "${BENCH_OURS:-}" ]; then
    OURS_KIND="BENCH_OURS: $BENCH_OURS"
elif "$CLI" pansharpen --help 2>&1 | grep -q -- '--ms'; then
    OURS_KIND="pansharpen --ms ms.tif --format cog"
    BENCH_OURS='"$CLI" pansharpen --pan pan.tif --ms ms.tif --method "$METHOD" --format cog --output ours.tif --yes --quiet'
else
    [ "$MS_BANDS" = 4 ] || bench_die "an eight-band MS needs pansharpen --ms"
    [ -x "$OUTPUT_BENCH" ] || bench_die "output_bench not found at $OUTPUT_BENCH (target output_bench)"
    OURS_KIND="16-bit tool on ENVI bands, then the COG writer on its fused bands (two steps, times added)"
fi

echo "Generating a ${SIZE} x ${SIZE} scene in $WORK ..."
"$GEN" pansharpen "$WORK/gen" --width "$SIZE" --height "$SIZE" --layouts envi --seed 1 >/dev/null ||
    bench_die "scene generation failed"
SCENE=$WORK/scene
mv "$WORK/gen/envi" "$SCENE" && rm -rf "$WORK/gen"
cd "$SCENE" || bench_die "cannot enter $SCENE"
# A georeferenced delivery: pan of 0.5 m pixels, MS of 2 m on the same extent (UTM 18N), UInt16.
EXTENT="500000 $((4200000 + SIZE / 2)) $((500000 + SIZE / 2)) 4200000"
gdal_translate -q -ot UInt16 -a_srs EPSG:32618 -a_ullr $EXTENT pan.img pan.tif ||
    bench_die "gdal_translate failed on the pan"
MS_FILES=(blue.img green.img red.img nir.img)
[ "$MS_BANDS" = 8 ] && MS_FILES+=(blue.img green.img red.img nir.img)
gdalbuildvrt -q -separate ms.vrt "${MS_FILES[@]}" || bench_die "gdalbuildvrt failed"
gdal_translate -q -ot UInt16 -a_srs EPSG:32618 -a_ullr $EXTENT -co INTERLEAVE=PIXEL ms.vrt ms.tif ||
    bench_die "gdal_translate failed on the MS"
rm -f ms.vrt
# The I/O floor's image: the size and type of the result, with content like a fused band (the
# pan in every band), uncompressed.
FLOOR_FILES=()
for _ in $(seq 1 "$MS_BANDS"); do FLOOR_FILES+=(pan.tif); done
gdalbuildvrt -q -separate floor.vrt "${FLOOR_FILES[@]}" &&
    gdal_translate -q -co INTERLEAVE=PIXEL -co TILED=YES floor.vrt floor_in.tif ||
    bench_die "cannot make the floor's image"
rm -f floor.vrt
ls -1 "$SCENE" >"$WORK/scene.list"
COG_OPTIONS=(-co COMPRESS=DEFLATE -co LEVEL=1 -co PREDICTOR=YES -co BLOCKSIZE=512 -co NUM_THREADS=ALL_CPUS)

OURS=() OURS_USER=() OURS_SYS=() OURS_PEAK=()
FUSE=() FUSE_USER=() FUSE_SYS=() FUSE_PEAK=() COG=() COG_USER=() COG_SYS=() COG_PEAK=()
GDAL=() GDAL_USER=() GDAL_SYS=() GDAL_PEAK=()
BEFORE=() BEFORE_USER=() BEFORE_SYS=() BEFORE_PEAK=()
READS=() FLOOR=() FLOOR_USER=() FLOOR_SYS=() FLOOR_PEAK=() ROUND_RATIOS=()
FAILED=0
add() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a + b }'; }

run_ours() { # ROUND
    cd "$SCENE" || return
    local wall user sys peak
    if [ -n "${BENCH_OURS:-}" ]; then
        timed "ours$1" bash -c "$BENCH_OURS"
        wall=$SECONDS_TAKEN user=$USER_TAKEN sys=$SYSTEM_TAKEN peak=$PEAK_MIB
    else
        timed "ours$1.fuse" "$CLI" pansharpen --pan pan.img --blue blue.img --green green.img \
            --red red.img --nir nir.img --method "$METHOD" --yes --quiet --log run.log
        [ "$STATUS" = 0 ] || { FAILED=1; remove_new_files "$SCENE" "$WORK/scene.list"; return; }
        wall=$SECONDS_TAKEN user=$USER_TAKEN sys=$SYSTEM_TAKEN peak=$PEAK_MIB
        FUSE+=("$wall") FUSE_USER+=("$user") FUSE_SYS+=("$sys") FUSE_PEAK+=("$peak")
        local fused=()
        for band in blue green red nir; do fused+=("$(ls ${band}_*.img 2>/dev/null | head -n 1)"); done
        [ -n "${fused[3]}" ] || { echo "$NAME: the fused bands were not found" >&2; FAILED=1; return; }
        timed "ours$1.cog" "$OUTPUT_BENCH" cog "$SIZE" 4 ours.tif "$THREADS" "${fused[@]}"
        [ "$STATUS" = 0 ] && COG+=("$SECONDS_TAKEN") COG_USER+=("$USER_TAKEN") COG_SYS+=("$SYSTEM_TAKEN") \
            COG_PEAK+=("$PEAK_MIB")
        wall=$(add "$wall" "$SECONDS_TAKEN") user=$(add "$user" "$USER_TAKEN")
        sys=$(add "$sys" "$SYSTEM_TAKEN") peak=$(largest "$peak" "$PEAK_MIB")
    fi
    if [ "$1" = 1 ] && [ -f ours.tif ]; then
        OURS_BYTES=$(stat -c %s ours.tif)
        [ -f "$VALIDATOR" ] && OURS_VALID=$(/usr/bin/python3 "$VALIDATOR" -q ours.tif >/dev/null 2>&1 && echo valid || echo INVALID)
    fi
    remove_new_files "$SCENE" "$WORK/scene.list"
    if [ "$STATUS" = 0 ]; then
        OURS+=("$wall") OURS_USER+=("$user") OURS_SYS+=("$sys") OURS_PEAK+=("$peak")
    else
        FAILED=1
    fi
}
run_gdal() { # ROUND
    cd "$SCENE" || return
    timed "gdal$1" gdal_pansharpen.py -q -threads ALL_CPUS -r "$RESAMPLING" -of COG "${COG_OPTIONS[@]}" \
        pan.tif ms.tif gdal.tif
    [ "$1" = 1 ] && [ -f gdal.tif ] && GDAL_BYTES=$(stat -c %s gdal.tif)
    remove_new_files "$SCENE" "$WORK/scene.list"
    if [ "$STATUS" = 0 ]; then
        GDAL+=("$SECONDS_TAKEN") GDAL_USER+=("$USER_TAKEN") GDAL_SYS+=("$SYSTEM_TAKEN") GDAL_PEAK+=("$PEAK_MIB")
    else
        FAILED=1
    fi
}
run_before() { # ROUND
    [ -n "${LUMESTA_CLI_BEFORE:-}" ] || return 0
    cd "$SCENE" || return
    timed "before$1" "$LUMESTA_CLI_BEFORE" pansharpen --pan pan.tif --ms ms.tif --method "$METHOD" \
        --format cog --output before.tif --yes --quiet
    remove_new_files "$SCENE" "$WORK/scene.list"
    if [ "$STATUS" = 0 ]; then
        BEFORE+=("$SECONDS_TAKEN") BEFORE_USER+=("$USER_TAKEN") BEFORE_SYS+=("$SYSTEM_TAKEN") BEFORE_PEAK+=("$PEAK_MIB")
    else
        FAILED=1
    fi
}
run_floor() { # ROUND
    cd "$SCENE" || return
    timed "read$1" bash -c "cat pan.tif ms.tif >/dev/null"
    READS+=("$SECONDS_TAKEN")
    timed "floor$1" gdal_translate -q -of COG "${COG_OPTIONS[@]}" floor_in.tif floor.tif
    remove_new_files "$SCENE" "$WORK/scene.list"
    [ "$STATUS" = 0 ] && FLOOR+=("$SECONDS_TAKEN") FLOOR_USER+=("$USER_TAKEN") FLOOR_SYS+=("$SYSTEM_TAKEN") \
        FLOOR_PEAK+=("$PEAK_MIB")
}

LOAD_BEFORE=$(load_now)
for round in $(seq 1 "$BENCH_ROUNDS"); do
    mid=$([ -n "${LUMESTA_CLI_BEFORE:-}" ] && echo " before")
    order="ours$mid gdal"
    [ $((round % 2)) = 0 ] && order="gdal$mid ours"
    echo "Round $round of $BENCH_ROUNDS ($order, then the I/O floor) ..."
    for who in $order; do "run_$who" "$round"; done
    run_floor "$round"
    if [ ${#OURS[@]} = "$round" ] && [ ${#GDAL[@]} = "$round" ]; then
        ROUND_RATIOS+=("$(ratio "${OURS[-1]}" "${GDAL[-1]}")")
    fi
done

row() { # LABEL WALL USER SYS PEAK (array names)
    local -n wall=$2 user=$3 sys=$4 peak=$5
    if [ ${#wall[@]} = 0 ]; then printf "%-22s not run or failed\n" "$1"; return; fi
    printf "%-22s %8s %8s %8s %9s   %s\n" "$1" "$(median "${wall[@]}")" "$(median "${user[@]}")" \
        "$(median "${sys[@]}")" "$(largest "${peak[@]}")" "${wall[*]}"
}
echo
echo "Delivery ${SIZE} x ${SIZE}, $MS_BANDS MS bands of $((SIZE / 4)) x $((SIZE / 4)), UInt16, $METHOD -> COG; $BENCH_ROUNDS alternating rounds"
echo "ours: $OURS_KIND"
echo "GDAL: gdal_pansharpen.py -threads ALL_CPUS -r $RESAMPLING -of COG (Deflate 1, predictor, 512 blocks)"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-22s %8s %8s %8s %9s   %s\n" run "wall s" "user s" "sys s" "peak MiB" "every run (wall s)"
row lumesta OURS OURS_USER OURS_SYS OURS_PEAK
if [ ${#FUSE[@]} -gt 0 ]; then
    row "  step 1: fusion" FUSE FUSE_USER FUSE_SYS FUSE_PEAK
    row "  step 2: COG writer" COG COG_USER COG_SYS COG_PEAK
fi
[ ${#BEFORE[@]} -gt 0 ] && row "lumesta before" BEFORE BEFORE_USER BEFORE_SYS BEFORE_PEAK
row gdal_pansharpen.py GDAL GDAL_USER GDAL_SYS GDAL_PEAK
row "floor: COG copy" FLOOR FLOOR_USER FLOOR_SYS FLOOR_PEAK
[ ${#READS[@]} -gt 0 ] && echo "floor: reading pan.tif + ms.tif $(median "${READS[@]}") s (median; page cache)"
echo "result bytes: ours ${OURS_BYTES:--} (COG ${OURS_VALID:-not checked}), GDAL ${GDAL_BYTES:--}"
if [ ${#OURS[@]} -gt 0 ] && [ ${#GDAL[@]} -gt 0 ]; then
    echo "time ratio lumesta / gdal: $(ratio "$(median "${OURS[@]}")" "$(median "${GDAL[@]}")") (medians); per round: ${ROUND_RATIOS[*]}"
    [ ${#BEFORE[@]} -gt 0 ] &&
        echo "time ratio before / gdal: $(ratio "$(median "${BEFORE[@]}")" "$(median "${GDAL[@]}")"), lumesta / before: $(ratio "$(median "${OURS[@]}")" "$(median "${BEFORE[@]}")") (medians)"
fi
exit $FAILED
