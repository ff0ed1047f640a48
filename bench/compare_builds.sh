#!/usr/bin/env bash
# Runs two builds of lumesta-cli over the same jobs and compares every output byte for byte:
# fused bands, result headers, BMPs, GeoTIFFs, composites, assessment tables, report blocks,
# messages and exit statuses (time stamps masked). For changes that must not alter behaviour.
#
# usage: compare_builds.sh OLD_BUILD_DIR NEW_BUILD_DIR [DATA_DIR]
#   *_BUILD_DIR  folders holding lumesta-cli and make_test_rasters
#   DATA_DIR     the real-imagery scenes (default: $LUMESTA_DATA); the runs work on a copy.
#                Without it only generated scenes are used.
# Prints IDENTICAL and exits 0, or shows the differences and exits 1.
set -u
OLD=${1:?usage: compare_builds.sh OLD_BUILD_DIR NEW_BUILD_DIR [DATA_DIR]}
NEW=${2:?usage: compare_builds.sh OLD_BUILD_DIR NEW_BUILD_DIR [DATA_DIR]}
DATA=${3:-${LUMESTA_DATA:-}}
TOP=$(mktemp -d)
trap 'rm -rf "$TOP"' EXIT
# Reports name their inputs, so both builds run in the same folder, one after the other.
W=$TOP/work

# Every job, each leaving NAME.log (report), NAME.err (messages) and NAME.rc (exit status).
run_all() { # CLI GEN
    local CLI=$1 GEN=$2
    rm -rf "$W"
    mkdir -p "$W"
    run() { # NAME TOOL ARGS...
        local name=$1
        shift
        "$CLI" "$@" --quiet --log "$W/$name.log" >"$W/$name.out" 2>"$W/$name.err" </dev/null
        echo $? >"$W/$name.rc"
    }
    local G="$W/g16" G8="$W/g8"
    "$GEN" pansharpen "$G" --width 1032 --height 520 --layouts envi,envi4,idrisi,generic --seed 7 --bits 16 >/dev/null
    "$GEN" pansharpen "$G8" --width 520 --height 1036 --layouts envi,envi4,idrisi,generic --seed 9 --bits 8 >/dev/null
    run g16_envi pansharpen --pan $G/envi/pan.img --blue $G/envi/blue.img --green $G/envi/green.img --red $G/envi/red.img --nir $G/envi/nir.img --method 2 --filter-bands blue,green,red,nir --yes
    run g16_envi_again pansharpen --pan $G/envi/pan.img --blue $G/envi/blue.img --green $G/envi/green.img --red $G/envi/red.img --nir $G/envi/nir.img --no
    run g16_envi4 pansharpen --pan $G/envi4/pan.img --blue $G/envi4/ms.img --adjust 30,0,7 --select 4,3,2,1 --yes
    run g16_idrisi pansharpen --pan $G/idrisi/pan.rst --blue $G/idrisi/ms.rgf --colour-match --filter detail --yes
    run g16_generic pansharpen --pan $G/generic/pan.raw --blue $G/generic/blue.raw --green $G/generic/green.raw --red $G/generic/red.raw --nir $G/generic/nir.raw --width 1032 --height 520 --yes
    run g16_badsize pansharpen --pan $G/generic/pan.raw --blue $G/generic/blue.raw --green $G/generic/green.raw --red $G/generic/red.raw --nir $G/generic/nir.raw --width 1032 --height 500 --suffix _b --yes
    run g16_gsa pansharpen --pan $G/envi/pan.img --blue $G/envi/blue.img --green $G/envi/green.img --red $G/envi/red.img --nir $G/envi/nir.img --method gsa --sensor quickbird --suffix _gsa --yes
    run g16_glp pansharpen --pan $G/envi4/pan.img --blue $G/envi4/ms.img --select 4,3,2,1 --method glp-hpm --sensor worldview2 --adjust 5,10,30 --suffix _glp --yes
    run g16_awlp pansharpen --pan $G/idrisi/pan.rst --blue $G/idrisi/ms.rgf --method awlp --sensor ikonos --filter sharpen --suffix _awlp --yes
    run g16_brovey pansharpen --pan $G/generic/pan.raw --blue $G/generic/blue.raw --green $G/generic/green.raw --red $G/generic/red.raw --nir $G/generic/nir.raw --width 1032 --height 520 --method brovey --colour-match --suffix _bro --yes
    "$GEN" pansharpen "$W/gw" --width 512 --height 272 --layouts envi --seed 5 --bits 16 >/dev/null
    run g16_wald quality wald --pan $W/gw/envi/pan.img --ms $W/gw/envi/blue.img $W/gw/envi/green.img $W/gw/envi/red.img $W/gw/envi/nir.img --sensor worldview2 --keep $W/g16_keep
    run g8_envi pansharpen-etm --pan $G8/envi/pan.img --blue $G8/envi/blue.img --green $G8/envi/green.img --red $G8/envi/red.img --filter smooth-sharpen --cutoffs 1,3,2,4,5,6 --nonlinear 4,0,2 --yes
    run g8_envi4 pansharpen-etm --pan $G8/envi4/pan.img --blue $G8/envi4/ms.img --method 2 --yes
    run g8_idrisi pansharpen-etm --pan $G8/idrisi/pan.rst --blue $G8/idrisi/ms.rgf --colour-match --filter detail --yes
    run g8_generic pansharpen-etm --pan $G8/generic/pan.raw --blue $G8/generic/blue.raw --green $G8/generic/green.raw --red $G8/generic/red.raw --width 520 --height 1036 --yes
    run g8_same pansharpen-etm --pan $G8/envi/pan.img --blue $G8/envi/blue.img --green $G8/envi/blue.img --red $G8/envi/red.img --yes
    if [ -n "$DATA" ] && [ -d "$DATA/ps16" ]; then
        cp -r "$DATA" "$W/d"
        chmod -R u+w "$W/d"
        run_real
    fi
}

# The real scenes in every layout, the band combinations, the assessment tools and batch files.
run_real() {
    local D=$W/d P=$W/d/ps16 E=$W/d/etm C=$W/d/combine16 C8=$W/d/combine8 A=$W/d/assess
    run ps_envi pansharpen --pan $P/envi/pan.img --blue $P/envi/blue.img --green $P/envi/green.img --red $P/envi/red.img --nir $P/envi/nir.img --yes
    run ps_envi_m2 pansharpen --pan $P/envi/pan.img --blue $P/envi/blue.img --green $P/envi/green.img --red $P/envi/red.img --nir $P/envi/nir.img --method 2 --suffix _m2 --filter detail --filter-bands blue,nir --adjust 5,10,30 --cutoffs 1,3,2,4,5,6 --nonlinear 1,2,3 --yes
    run ps_envi_cm pansharpen --pan $P/envi/pan.img --blue $P/envi/blue.img --green $P/envi/green.img --red $P/envi/red.img --nir $P/envi/nir.img --colour-match --suffix _cm --filter none --yes
    run ps_envi4 pansharpen --pan $P/envi4/pan.img --blue $P/envi4/ms.img --yes
    run ps_idrisi pansharpen --pan $P/idrisi/pan.rst --blue $P/idrisi/ms.rgf --yes
    run ps_idrisi_single pansharpen --pan $P/idrisi/pan.rst --blue $P/idrisi/blue.rst --green $P/idrisi/green.rst --red $P/idrisi/red.rst --nir $P/idrisi/nir.rst --suffix _s --colour-match --yes
    run ps_geotiff pansharpen --pan $P/geotiff/pan.tif --blue $P/geotiff/blue.tif --green $P/geotiff/green.tif --red $P/geotiff/red.tif --nir $P/geotiff/nir.tif --yes
    run ps_geotiff4 pansharpen --pan $P/geotiff4/pan.tif --blue $P/geotiff4/ms.tif --method 2 --yes
    for m in gsa glp-hpm awlp brovey; do
        run ps_envi_$m pansharpen --pan $P/envi/pan.img --blue $P/envi/blue.img --green $P/envi/green.img --red $P/envi/red.img --nir $P/envi/nir.img --method $m --sensor quickbird --suffix _$m --yes
    done
    run ps_geotiff4_glp pansharpen --pan $P/geotiff4/pan.tif --blue $P/geotiff4/ms.tif --method glp-hpm --adjust 3,0,9 --suffix _glp --yes
    run ps_wald quality wald --pan $P/envi/pan.img --ms $P/envi/blue.img $P/envi/green.img $P/envi/red.img $P/envi/nir.img --sensor quickbird --keep $W/ps_keep
    run ps_mixed pansharpen --pan $P/envi/pan.img --blue $P/idrisi/blue.rst --green $P/envi/green.img --red $P/envi/red.img --nir $P/envi/nir.img --yes
    run ps_wrongsize pansharpen --pan $P/envi/pan.img --blue $C/envi/blue.img --green $C/envi/green.img --red $C/envi/red.img --nir $C/envi/nir.img --yes
    run etm_envi pansharpen-etm --pan $E/envi/pan.img --blue $E/envi/blue.img --green $E/envi/green.img --red $E/envi/red.img --yes
    for f in smooth detail sharpen; do
        run etm_envi_$f pansharpen-etm --pan $E/envi/pan.img --blue $E/envi/blue.img --green $E/envi/green.img --red $E/envi/red.img --filter $f --filter-bands blue,red --suffix _$f --yes
    done
    run etm_envi3 pansharpen-etm --pan $E/envi3/pan.img --blue $E/envi3/ms.img --select 3,2,1 --yes
    run etm_idrisi pansharpen-etm --pan $E/idrisi/pan.rst --blue $E/idrisi/ms.rgf --yes
    run etm_geotiff pansharpen-etm --pan $E/geotiff/pan.tif --blue $E/geotiff/blue.tif --green $E/geotiff/green.tif --red $E/geotiff/red.tif --method 2 --yes
    run etm_16 pansharpen-etm --pan $P/envi/pan.img --blue $E/envi/blue.img --green $E/envi/green.img --red $E/envi/red.img --yes
    run c16_envi4 combine --blue $C/envi4/ms.img --select 4,3,2 --cutoffs 1,3,2,4,5,6 --nonlinear 1,2,3 --yes
    run c16_idrisi combine --blue $C/idrisi/ms.rgf --yes
    run c16_generic combine --blue $C/generic/blue.raw --green $C/generic/green.raw --red $C/generic/red.raw --width 256 --height 192 --yes
    run c16_geotiff combine --blue $C/geotiff/blue.tif --green $C/geotiff/green.tif --red $C/geotiff/red.tif --geotiff --yes
    run c16_geotiff4 combine --blue $C/geotiff4/ms.tif --geotiff --bmp $W/c16g4.bmp --yes
    run c8_envi3 combine8 --blue $C8/envi3/ms.img --yes
    run c8_geotiff combine8 --blue $C8/geotiff/blue.tif --green $C8/geotiff/green.tif --red $C8/geotiff/red.tif --geotiff --yes
    run sv semivariance --input $A/envi/l7red_512x512.img --max-lag 20 --yes
    run st stats --input $A/idrisi/wv2pan_256x512.rst --level 2 --yes
    run hr haar --input $A/envi/l7red_512x512.img --levels 2 --form half --yes
    run hr_size haar --input $A/envi/l7red_500x512.img --yes
    mkdir -p $W/bif
    bash $D/batch/make_bif.sh $W/bif $D >/dev/null
    run b_ps16 pansharpen --pan $W/bif/ps16_single.bif --yes
    run b_ps16_4 pansharpen --pan $W/bif/ps16_4band.bif --select 2,1,3,4 --yes
    run b_etm pansharpen-etm --pan $W/bif/etm.bif --yes
    run b_c16 combine --blue $W/bif/combine16.bif --yes
    run b_c8 combine8 --blue $W/bif/combine8.bif --yes
}

keep() { # OUT: masks time stamps in the text files and keeps the folder
    find "$W" -type f \( -name '*.log' -o -name '*.hdr' -o -name '*.rdc' -o -name '*.err' -o -name '*.out' \) -print0 |
        xargs -0 sed -i -E 's/[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}/TIME/g; s/(Seconds spent:\t)[0-9]+/\1N/'
    mv "$W" "$1"
}

run_all "$OLD/lumesta-cli" "$OLD/make_test_rasters"
keep "$TOP/old"
run_all "$NEW/lumesta-cli" "$NEW/make_test_rasters"
keep "$TOP/new"
if diff -r "$TOP/old" "$TOP/new"; then
    echo "IDENTICAL ($(find "$TOP/new" -type f | wc -l) files)"
    exit 0
fi
exit 1
