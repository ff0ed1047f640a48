#!/usr/bin/env bash
# Takes the user guide's screenshots of the QGIS provider (docs/images/qgis_*.png) in a fresh
# QGIS profile under Xvfb, with the provider of a build folder and the shared WorldView-2 scene.
# Usage: tools/qgis_screenshots.sh BUILD_DIR SCENES_DIR
set -euo pipefail
BUILD=$(cd "${1:?usage: qgis_screenshots.sh BUILD_DIR SCENES_DIR}" && pwd)
SCENES=${2:?usage: qgis_screenshots.sh BUILD_DIR SCENES_DIR}
IMAGES=$(cd "$(dirname "$0")/../docs/images" && pwd)
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir -p -m 700 "$WORK/run" "$WORK/shots" "$WORK/tmp"
printf '[PythonPlugins]\nlumesta=true\n' >"$WORK/global.ini"
env HOME="$WORK" XDG_RUNTIME_DIR="$WORK/run" TMPDIR="$WORK/tmp" QGIS_PLUGINPATH="$BUILD/qgis" PATH="$BUILD:$PATH" \
    LUMESTA_SHOTS="$WORK/shots" LUMESTA_SCENE="$SCENES/ps16/envi4" \
    timeout 120 xvfb-run -a -s '-screen 0 1600x1000x24' qgis --noversioncheck --nologo \
    --profiles-path "$WORK/profiles" --globalsettingsfile "$WORK/global.ini" \
    --code "$(dirname "$0")/qgis_screenshots.py" >"$WORK/qgis.txt" 2>&1 || true
for shot in qgis_toolbox qgis_dialog; do
    [ -f "$WORK/shots/$shot.png" ] || { cat "$WORK/qgis.txt"; echo "no $shot.png"; exit 1; }
    # A palette of 256 colours keeps the guide small.
    convert "$WORK/shots/$shot.png" -strip PNG8:"$IMAGES/$shot.png"
done
ls -l "$IMAGES"/qgis_*.png
