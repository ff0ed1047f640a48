#!/usr/bin/env bash
# Band combination benchmark: times `lumesta-cli combine` on three synthetic SIZE x SIZE 16-bit
# ENVI bands and, where GDAL is installed, gdal_translate of the same three bands into an 8-bit
# RGB picture with the same linear scaling (the cutoffs our run computes, found beforehand with
# the same histogram rule). Reports wall time, megapixels per second and peak resident memory.
#
# Usage: bench/combine_bench.sh [SIZE]   (default 8192)
# Binaries: $LUMESTA_CLI and $MAKE_TEST_RASTERS, else build/lumesta-cli and
# build/make_test_rasters of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
# BENCH_ROUNDS=N (default 3) rounds; the two tools alternate which goes first, and the medians
# are reported. GDAL is installed with apt-get when missing (BENCH_NO_INSTALL=1 prevents it).
set -u
NAME=combine_bench

SIZE=${1:-8192}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
TIME=/usr/bin/time
BANDS="blue green red"

die() { echo "combine_bench: $*" >&2; exit 1; }

[[ $SIZE =~ ^[0-9]+$ ]] && [ "$SIZE" -ge 128 ] || die "SIZE must be a whole number of at least 128"
[ -x "$TIME" ] || die "$TIME not found: install the package 'time' (apt-get install time)"
[ -x "$GEN" ] || die "generator not found at $GEN (build target make_test_rasters or set MAKE_TEST_RASTERS)"
[ -x "$CLI" ] || die "lumesta-cli not found at $CLI (build it or set LUMESTA_CLI)"
CLI=$(readlink -f "$CLI")
GEN=$(readlink -f "$GEN")
command -v perl >/dev/null || die "perl is needed to compute the cutoffs for GDAL"

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-combine-bench.XXXXXX") || die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM
HAVE_GDAL=0
ensure_gdal && command -v gdalbuildvrt >/dev/null && HAVE_GDAL=1

megapixels_per_second() { # SECONDS
    awk -v n="$SIZE" -v s="$1" 'BEGIN { if (s > 0) printf "%.2f", n * n / s / 1e6; else print "-" }'
}

# The low and high cutoffs of a 16-bit band at 2 % on both sides: histogram of 1..2047,
# the first value whose cumulative percentage reaches 2, and 98.
cutoffs_of() { # FILE
    perl -e '
        open(my $in, "<:raw", $ARGV[0]) or die "cannot read $ARGV[0]\n";
        my @hist = (0) x 2048;
        while (read($in, my $buffer, 1 << 20)) {
            for my $v (unpack("s<*", $buffer)) { $hist[$v]++ if $v >= 0 && $v < 2048 }
        }
        my ($total, $sum, $low, $high) = (0, 0, 0, 0);
        $total += $hist[$_] for 1 .. 2047;
        for my $i (1 .. 2047) {
            $sum += $hist[$i];
            my $percent = $sum * 100.0 / $total;
            $low ||= $i if $percent >= 2;
            $high ||= $i if $percent >= 98;
        }
        print "$low $high\n";' "$1"
}

echo "Generating three ${SIZE} x ${SIZE} 16-bit bands in $WORK ..."
seed=1
for band in $BANDS; do
    "$GEN" raw "$WORK/$band.img" --width "$SIZE" --height "$SIZE" --bits 16 --seed $seed ||
        die "band generation failed"
    printf 'ENVI\ndescription = {\n%s}\nsamples = %s\nlines   = %s\nbands   = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 2\ninterleave = bsq\nbyte order = 0\n' \
        "$band" "$SIZE" "$SIZE" >"$WORK/$band.hdr"
    seed=$((seed + 1))
done
cd "$WORK" || die "cannot enter $WORK"
# Read once so that both tools start with the bands in the page cache.
cat blue.img green.img red.img >/dev/null

LOAD_BEFORE=$(load_now)
FORMAT=""
if [ $HAVE_GDAL = 1 ]; then
    echo "Computing the cutoffs for GDAL (not timed) ..."
    read -r RED_LOW RED_HIGH < <(cutoffs_of red.img)
    read -r GREEN_LOW GREEN_HIGH < <(cutoffs_of green.img)
    read -r BLUE_LOW BLUE_HIGH < <(cutoffs_of blue.img)
    gdalbuildvrt -q -separate stack.vrt red.img green.img blue.img || die "gdalbuildvrt failed"
    FORMAT=BMP
    gdal_translate --formats 2>/dev/null | grep -q '^  BMP' || FORMAT=GTiff
fi
ls -1 "$WORK" >"$WORK/before.list"

OUR_TIMES=() OUR_PEAKS=() GDAL_TIMES=() GDAL_PEAKS=() ROUND_RATIOS=()
run_ours() {
    timed "lumesta$1" "$CLI" combine --blue blue.img --green green.img --red red.img --yes --quiet --log run.log
    [ "$STATUS" = 0 ] || exit 1
    OUR_TIMES+=("$SECONDS_TAKEN"); OUR_PEAKS+=("$PEAK_MIB")
}
run_gdal() {
    timed "gdal$1" gdal_translate -q -of "$FORMAT" -ot Byte \
        -scale_1 "$RED_LOW" "$RED_HIGH" 0 255 -scale_2 "$GREEN_LOW" "$GREEN_HIGH" 0 255 \
        -scale_3 "$BLUE_LOW" "$BLUE_HIGH" 0 255 stack.vrt "gdal_out.${FORMAT,,}"
    [ "$STATUS" = 0 ] || exit 1
    GDAL_TIMES+=("$SECONDS_TAKEN"); GDAL_PEAKS+=("$PEAK_MIB")
}
for round in $(seq 1 "$BENCH_ROUNDS"); do
    order="ours gdal"
    [ $((round % 2)) = 0 ] && order="gdal ours"
    echo "Round $round of $BENCH_ROUNDS ($order) ..."
    for who in $order; do
        [ "$who" = ours ] && run_ours "$round"
        [ "$who" = gdal ] && [ $HAVE_GDAL = 1 ] && run_gdal "$round"
        # Every run writes its outputs afresh, as the first one did.
        for name in $(ls -1 "$WORK"); do
            grep -qxF "$name" "$WORK/before.list" || case $name in *.time|*.out|*.err) ;; *) rm -f "$WORK/$name" ;; esac
        done
    done
    [ $HAVE_GDAL = 1 ] && ROUND_RATIOS+=("$(ratio "${OUR_TIMES[-1]}" "${GDAL_TIMES[-1]}")")
done

row() { # LABEL TIMES-NAME PEAKS-NAME
    local -n times=$2 peaks=$3
    local m
    m=$(median "${times[@]}")
    printf "%-24s %9s %9s %10s   %s\n" "$1" "$m" "$(megapixels_per_second "$m")" \
        "$(largest "${peaks[@]}")" "${times[*]}"
}

echo
echo "Band combination of three ${SIZE} x ${SIZE} 16-bit bands, $BENCH_ROUNDS alternating rounds"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-24s %9s %9s %10s   %s\n" tool "median s" "Mpix/s" "peak MiB" "every run (s)"
row "lumesta-cli combine" OUR_TIMES OUR_PEAKS
if [ $HAVE_GDAL = 1 ]; then
    row "gdal_translate ($FORMAT)" GDAL_TIMES GDAL_PEAKS
    echo "time ratio lumesta / GDAL: $(ratio "$(median "${OUR_TIMES[@]}")" "$(median "${GDAL_TIMES[@]}")") (of the medians); per round: ${ROUND_RATIOS[*]}"
else
    echo "gdal_translate           not run (GDAL missing)"
fi
exit 0
