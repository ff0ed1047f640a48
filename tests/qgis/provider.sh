#!/usr/bin/env bash
# The QGIS Processing provider through qgis_process (headless): it lists its algorithms, its
# help shows every parameter, pan-sharpening and the Wald protocol give the bytes and numbers
# of lumesta-cli; through QGIS's Python, a cancelled run leaves no file and a bad parameter is
# a Processing error that names it (stopped_runs.py). Parameters whose lumesta-cli options do
# not exist yet are noted and skipped. Skipped (77) where QGIS is not installed.
# Usage: provider.sh PLUGIN_FOLDER LUMESTA_CLI MAKE_TEST_RASTERS
set -u
PLUGINS=${1:?usage: provider.sh PLUGIN_FOLDER LUMESTA_CLI MAKE_TEST_RASTERS}
CLI=${2:?}
GEN=${3:?}
QGIS=$(command -v qgis_process.bin || command -v qgis_process) || { echo "QGIS is not installed"; exit 77; }
PY=/usr/bin/python3
[ -x "$PY" ] && "$PY" -c 'import qgis.core' 2>/dev/null || { echo "QGIS's Python is not installed"; exit 77; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
export HOME=$WORK/home XDG_RUNTIME_DIR=$WORK/run QT_QPA_PLATFORM=offscreen QGIS_PLUGINPATH=$PLUGINS
# QGIS keeps statistics beside the layers it opens; the inputs (the shared scenes) stay untouched.
export GDAL_PAM_ENABLED=NO
export PATH=$(dirname "$CLI"):$PATH
mkdir -p "$HOME" -m 700 "$XDG_RUNTIME_DIR"
# qgis NAME ARGUMENTS...: runs qgis_process in the background (two at a time), its output in
# $WORK/NAME.txt and its exit status in $WORK/NAME.status (after `wait`).
qgis() {
    local name=$1
    shift
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do wait -n; done
    { "$QGIS" "$@" >"$WORK/$name.txt" 2>&1; echo $? >"$WORK/$name.status"; } &
}
ok() { [ "$(cat "$WORK/$1.status")" = 0 ]; }
qgis enable plugins enable lumesta
wait
ok enable || { cat "$WORK/enable.txt"; echo "FAIL: plugins enable lumesta"; exit 1; }

# Every algorithm of algorithms.json is listed, and its help shows each of its parameters.
"$PY" -c 'import json, sys
for a in json.load(open(sys.argv[1]))["algorithms"]:
    print("lumesta:" + a["id"], *[p["name"] for p in a["parameters"]])' \
    "$PLUGINS/lumesta/algorithms.json" >"$WORK/algorithms.txt"
qgis list list
while read -r id names; do qgis "help-$id" help "$id"; done <"$WORK/algorithms.txt"
has() { grep -q "^lumesta:$1 .* $2\b" "$WORK/algorithms.txt"; }
for parameter in NODATA FORMAT RGB REGISTER; do
    has pansharpen $parameter || echo "note: lumesta:pansharpen has no $parameter yet (no such lumesta-cli option): skipped"
done
grep -q '"name": "OUTPUT", "kind": "raster", "options": \["--output"\]' "$PLUGINS/lumesta/algorithms.json" &&
    OWN_OUTPUT=1 || { OWN_OUTPUT=0; echo "note: lumesta-cli has no --output yet: the provider gathers the bands itself"; }

# The shared WorldView-2 scene, or a generated one where it is absent.
SCENE=${LUMESTA_SCENES:-$(dirname "$0")/../../../shared/data}/ps16/envi
if [ ! -f "$SCENE/pan.img" ]; then
    "$GEN" pansharpen "$WORK/generated" --width 512 --height 512 --layouts envi --seed 5 >/dev/null
    SCENE=$WORK/generated/envi
fi
MS=(--MS="$SCENE/blue.img" --MS="$SCENE/green.img" --MS="$SCENE/red.img" --MS="$SCENE/nir.img")
mkdir "$WORK/p"
qgis pansharpen run lumesta:pansharpen --PAN="$SCENE/pan.img" "${MS[@]}" --METHOD=glp-hpm \
    --SENSOR=worldview2 --OUTPUT="$WORK/p/fused.img" --BMP="$WORK/p/fused.bmp"
# The pan as a VRT, which lumesta-cli is given as a file it reads: the same numbers.
"$PY" -c 'import sys; from osgeo import gdal; gdal.Translate(sys.argv[2], sys.argv[1], format="VRT")' \
    "$SCENE/pan.img" "$WORK/pan.vrt"
qgis wald run lumesta:qualitywald --PAN="$WORK/pan.vrt" "${MS[@]}" --SENSOR=worldview2 \
    --OUTPUT="$WORK/p/wald.csv" --TABLE="$WORK/p/wald_table.csv"
# A cancelled run stops lumesta-cli and leaves no file; bad parameters are refused, named.
"$GEN" pansharpen "$WORK/big" --width 4096 --height 4096 --layouts envi --seed 3 >/dev/null
"$PY" "$(dirname "$0")/stopped_runs.py" "$PLUGINS" "$WORK/big/envi" "$WORK/stopped" >"$WORK/stopped.txt" 2>&1 ||
    fail "stopped runs: $(grep -v '^ERROR 1: ' "$WORK/stopped.txt")"

cp -r "$SCENE" "$WORK/cli" && chmod -R u+w "$WORK/cli"
C=$WORK/cli
"$CLI" pansharpen --pan "$C/pan.img" --blue "$C/blue.img" --green "$C/green.img" --red "$C/red.img" \
    --nir "$C/nir.img" --sensor worldview2 --method glp-hpm --yes --quiet >/dev/null ||
    fail "lumesta-cli pansharpen"
"$CLI" quality wald --pan "$C/pan.img" --ms "$C"/{blue,green,red,nir}.img --sensor worldview2 --format csv >"$WORK/wald.csv"
# Once lumesta-cli writes OUTPUT itself, each newer option gives lumesta-cli's pixels and picture.
CASES=()
for case in NODATA=0:--nodata RGB=4,3,2:--rgb REGISTER=off:--register FORMAT=geotiff:--format; do
    name=${case%%=*} value=${case#*=} value=${value%%:*} option=${case#*:}
    [ "$OWN_OUTPUT" = 1 ] && has pansharpen "$name" || continue
    ending=img format=(); [ "$name" = FORMAT ] && ending=tif
    has pansharpen FORMAT && format=(--format envi) && [ "$name" = FORMAT ] && format=()
    "$CLI" pansharpen --pan "$C/pan.img" --blue "$C/blue.img" --green "$C/green.img" --red "$C/red.img" \
        --nir "$C/nir.img" --method glp-hpm --sensor worldview2 "$option" "$value" "${format[@]}" \
        --output "$WORK/c-$name.$ending" --bmp "$WORK/c-$name.bmp" --yes --quiet >/dev/null || fail "lumesta-cli $option"
    qgis "p-$name" run lumesta:pansharpen --PAN="$SCENE/pan.img" "${MS[@]}" --METHOD=glp-hpm \
        --SENSOR=worldview2 "--$name=$value" --OUTPUT="$WORK/p-$name.$ending" --BMP="$WORK/p-$name.bmp"
    CASES+=("$name.$ending")
done
wait
same_pixels() { "$PY" -c 'import sys; from osgeo import gdal
a, b = gdal.Open(sys.argv[1]), gdal.Open(sys.argv[2])
sys.exit(not (a and b and a.RasterCount == b.RasterCount and a.ReadRaster() == b.ReadRaster()))' "$1" "$2"; }
for case in "${CASES[@]}"; do
    ok "p-${case%.*}" || fail "${case%.*}: $(cat "$WORK/p-${case%.*}.txt")"
    same_pixels "$WORK/c-$case" "$WORK/p-$case" && cmp -s "$WORK/c-${case%.*}.bmp" "$WORK/p-${case%.*}.bmp" ||
        fail "${case%.*}: other results than lumesta-cli's"
done

while read -r id names; do
    grep -q "^	$id	" "$WORK/list.txt" || fail "$id is not listed"
    ok "help-$id" || fail "help $id"
    for name in $names; do grep -q "^$name: " "$WORK/help-$id.txt" || fail "help $id lacks $name"; done
done <"$WORK/algorithms.txt"

# The methods offered are lumesta-cli's.
methods=$("$CLI" pansharpen --help | grep -o -- '--method [^]]*' | head -1 | cut -d' ' -f2 | tr '|' ' ')
offered=$(sed -n '/^METHOD: /,/Acceptable values/p' "$WORK/help-lumesta:pansharpen.txt" | sed -n 's/^		- [0-9]*: //p' | tr '\n' ' ')
[ "$offered" = "$methods " ] || fail "METHOD offers '$offered', lumesta-cli '$methods'"

ok pansharpen || fail "pansharpen: $(cat "$WORK/pansharpen.txt")"
cat "$C"/{blue,green,red,nir}_Fused.img | cmp -s - "$WORK/p/fused.img" || fail "pansharpen: other bands than lumesta-cli"
cmp -s "$C/pan_Fused.bmp" "$WORK/p/fused.bmp" || fail "pansharpen: another picture than lumesta-cli"
grep -q '^band names' "$WORK/p/fused.hdr" || fail "pansharpen: the header lacks the band names"
ok wald || fail "qualitywald: $(cat "$WORK/wald.txt")"
without_seconds() { sed 's/,[^,]*$//' "$1"; }
[ "$(without_seconds "$WORK/wald.csv")" = "$(without_seconds "$WORK/p/wald.csv")" ] || fail "qualitywald: other numbers than lumesta-cli"
[ "$(wc -l <"$WORK/p/wald_table.csv")" = "$(wc -l <"$WORK/wald.csv")" ] || fail "qualitywald: the table layer lacks methods"
[ "$(ls "$WORK/p" | tr '\n' ' ')" = "fused.bmp fused.hdr fused.img wald.csv wald_table.csv " ] ||
    fail "the runs left other files: $(ls "$WORK/p")"

# The registration, once lumesta-cli has it, gives lumesta-cli's estimate.
if grep -q '^lumesta:register ' "$WORK/algorithms.txt"; then
    "$CLI" register --pan "$C/pan.img" --ms "$C"/{blue,green,red,nir}.img --sensor worldview2 --format json >"$WORK/register.json"
    qgis register --json run lumesta:register --PAN="$SCENE/pan.img" "${MS[@]}" --SENSOR=worldview2
    wait
    # qgis_process's own warnings may come before its JSON on the same stream.
    "$PY" -c 'import json, sys
text = open(sys.argv[2]).read()
start = 0 if text.startswith("{") else text.index("\n{") + 1
cli, run = json.load(open(sys.argv[1])), json.loads(text[start:])["results"]
sys.exit(not (cli["dx"] == run["DX"] and cli["dy"] == run["DY"]))' "$WORK/register.json" "$WORK/register.txt" ||
        fail "register: another estimate than lumesta-cli: $(cat "$WORK/register.txt")"
else
    echo "note: lumesta:register is absent until lumesta-cli has the register tool: skipped"
fi

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "the QGIS provider lists, explains and runs its algorithms"
