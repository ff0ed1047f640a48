#!/usr/bin/env bash
# Builds the Debian package of a build folder, unpacks it into a throw-away root and checks it
# as a user would meet it: every installed path, the dependencies, the installed lumesta-cli
# (help, version, a real pan-sharpening with the same bytes as the build's), the manual pages
# and the bash completion, the QGIS provider (run through qgis_process where QGIS is installed),
# and for the desktop program its guide, icons and menu entry.
# The tools and options expected are those of the option tables, as DUMP_OPTIONS prints them.
# Usage: deb_package.sh CPACK BUILD_DIR MAKE_TEST_RASTERS DUMP_OPTIONS VERSION DESKTOP(0|1)
set -u
CPACK=${1:?usage: deb_package.sh CPACK BUILD_DIR MAKE_TEST_RASTERS DUMP_OPTIONS VERSION DESKTOP}
BUILD=${2:?}
GEN=${3:?}
DUMP=${4:?}
VERSION=${5:?}
DESKTOP=${6:?}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FAILURES=0
fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
check() { # NAME COMMAND...: fails NAME when the command fails
    local name=$1
    shift
    "$@" || fail "$name"
}

ARCH=$(dpkg --print-architecture)
"$CPACK" -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/out" >"$WORK/cpack.txt" 2>&1 ||
    { cat "$WORK/cpack.txt"; echo "FAIL: cpack"; exit 1; }
DEB=$WORK/out/lumesta_${VERSION}_${ARCH}.deb
[ -f "$DEB" ] || { ls "$WORK/out"; echo "FAIL: no $(basename "$DEB")"; exit 1; }

# Dependencies computed from the executables' shared libraries.
DEPENDS=$(dpkg-deb -f "$DEB" Depends)
for library in libc6 libstdc++6 libtiff; do
    [[ $DEPENDS == *"$library"* ]] || fail "Depends lacks $library: $DEPENDS"
done
[ "$DESKTOP" = 0 ] || [[ $DEPENDS == *libqt6widgets6* ]] || fail "Depends lacks Qt: $DEPENDS"
# QGIS is only suggested, for the provider.
[[ $DEPENDS != *qgis* ]] && [[ $(dpkg-deb -f "$DEB" Suggests) == *qgis* ]] ||
    fail "QGIS is not merely suggested: Depends $DEPENDS, Suggests $(dpkg-deb -f "$DEB" Suggests)"

ROOT=$WORK/root
dpkg -x "$DEB" "$ROOT" || { echo "FAIL: dpkg -x"; exit 1; }

# Every installed path, and nothing else.
EXPECTED=(
    usr/bin/lumesta-cli
    usr/share/man/man1/lumesta-cli.1.gz
    usr/share/bash-completion/completions/lumesta-cli
)
PLUGIN=usr/share/qgis/python/plugins/lumesta
for file in __init__.py algorithm.py algorithms.json command.py icon.svg inputs.py locations.json \
    metadata.txt plugin.py provider.py results.py; do
    EXPECTED+=("$PLUGIN/$file")
done
if [ "$DESKTOP" = 1 ]; then
    EXPECTED+=(
        usr/bin/lumesta
        usr/share/man/man1/lumesta.1.gz
        usr/share/lumesta/User_Guide.pdf
        usr/share/doc/lumesta/User_Guide.pdf
        usr/share/applications/lumesta.desktop
        usr/share/metainfo/org.lumesta.Lumesta.metainfo.xml
        usr/share/icons/hicolor/scalable/apps/lumesta.svg
        usr/share/icons/hicolor/48x48/apps/lumesta.png
        usr/share/icons/hicolor/128x128/apps/lumesta.png
        usr/share/icons/hicolor/256x256/apps/lumesta.png
    )
fi
ACTUAL=$(cd "$ROOT" && find . ! -type d | sed 's|^\./||' | sort)
WANTED=$(printf '%s\n' "${EXPECTED[@]}" | sort)
[ "$ACTUAL" = "$WANTED" ] || fail "installed paths differ:
$(diff <(echo "$WANTED") <(echo "$ACTUAL"))"

CLI=$ROOT/usr/bin/lumesta-cli
check "lumesta-cli --help" "$CLI" --help >"$WORK/help.txt"
grep -q '^Tools:' "$WORK/help.txt" || fail "--help lists no tools"
[[ $("$CLI" --version) =~ ^lumesta-cli\ ${VERSION//./\\.}\ \(commit\ [0-9a-f]+(-modified)?\)$ ]] ||
    [[ $("$CLI" --version) == "lumesta-cli $VERSION (commit unknown)" ]] ||
    fail "--version says $("$CLI" --version)"
"$DUMP" >"$WORK/tables.txt" || { echo "FAIL: $DUMP"; exit 1; }
TOOLS=$(awk -F '\t' '$1 == "tool" {print $2}' "$WORK/tables.txt")
[ -n "$TOOLS" ] || fail "no tools in the option tables"
while IFS= read -r tool; do
    "$CLI" $tool --help >/dev/null || fail "installed lumesta-cli $tool --help"
done <<<"$TOOLS"

# The manual pages: formatted without a warning, and lumesta-cli(1) has a section for every
# tool that documents each of its options (those of every tool in a section of their own).
for page in lumesta-cli lumesta; do
    file=$ROOT/usr/share/man/man1/$page.1.gz
    [ -f "$file" ] || continue
    LC_ALL=C MANWIDTH=100 man --warnings -l "$file" >"$WORK/$page.txt" 2>"$WORK/$page.err" || fail "man -l $page"
    [ ! -s "$WORK/$page.err" ] || fail "man -l $page warns: $(cat "$WORK/$page.err")"
done
section() { # HEADING: the text of a section of lumesta-cli(1)
    awk -v heading="$1" '$0 == heading {on = 1; next} /^[A-Z]/ {on = 0} on' "$WORK/lumesta-cli.txt"
}
EVERY_TOOL=$(section "OPTIONS OF EVERY TOOL")
while IFS=$'\t' read -r kind tool summary; do
    [ "$kind" = tool ] || continue
    text=$(section "TOOL $tool")
    [ -n "$text" ] || { fail "lumesta-cli(1) has no section for $tool"; continue; }
    grep -qF -- "$summary" <<<"$text" || fail "lumesta-cli(1) lacks the summary of $tool"
    for option in $(awk -F '\t' -v tool="$tool" '$1 == "tool" {on = $2 == tool} on && $1 == "option" {print $2}' "$WORK/tables.txt"); do
        grep -q -- "^ *$option\( \|$\)" <<<"$text"$'\n'"$EVERY_TOOL" || fail "lumesta-cli(1) lacks $tool $option"
    done
done <"$WORK/tables.txt"
grep -q '^EXIT STATUS' "$WORK/lumesta-cli.txt" || fail "lumesta-cli(1) has no exit statuses"
grep -q '^EXAMPLES' "$WORK/lumesta-cli.txt" || fail "lumesta-cli(1) has no examples"

# The completion offers the tools of the option tables, then each tool's options.
COMPLETION=$ROOT/usr/share/bash-completion/completions/lumesta-cli
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _lumesta_cli
             printf "%s\n" "${COMPREPLY[@]}"' _ "$COMPLETION" lumesta-cli "$@"
}
[ "$(complete_words "" | grep -v '^--' | sort)" = "$(awk '{print $1}' <<<"$TOOLS" | sort -u)" ] ||
    fail "completion offers other tools than the option tables"
complete_words pansharpen --p | grep -qx -- --pan || fail "completion lacks pansharpen --pan"

# A real pan-sharpening with the installed program gives the bytes of the built one.
"$GEN" pansharpen "$WORK/scene" --width 512 --height 512 --layouts envi --seed 5 >/dev/null ||
    { echo "FAIL: generator"; exit 1; }
cp -r "$WORK/scene/envi" "$WORK/built"
S=$WORK/scene/envi
B=$WORK/built
run() { # CLI FOLDER
    "$1" pansharpen --pan "$2/pan.img" --blue "$2/blue.img" --green "$2/green.img" \
        --red "$2/red.img" --nir "$2/nir.img" --yes --quiet >/dev/null 2>"$2/err.txt"
}
run "$CLI" "$S" || fail "installed pan-sharpening: $(cat "$S/err.txt")"
run "$BUILD/lumesta-cli" "$B" || fail "built pan-sharpening: $(cat "$B/err.txt")"
for result in blue_Fused.img red_Fused.img nir_Fused.img pan_Fused.bmp; do
    cmp -s "$S/$result" "$B/$result" || fail "installed and built $result differ"
done

# The installed QGIS provider, where QGIS is installed: it finds the installed lumesta-cli from
# its own folder (not on PATH) and gives the same bands as the built lumesta-cli.
QGIS=$(command -v qgis_process.bin || command -v qgis_process)
grep -qx "version=$VERSION" "$ROOT/$PLUGIN/metadata.txt" || fail "the plugin's metadata lacks version $VERSION"
if [ -n "$QGIS" ]; then
    mkdir -m 700 "$WORK/home" "$WORK/run"
    qgis() {
        env HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/run" QT_QPA_PLATFORM=offscreen \
            QGIS_PLUGINPATH="$ROOT/usr/share/qgis/python/plugins" PATH=/usr/bin:/bin \
            "$QGIS" "$@" >"$WORK/qgis.txt" 2>&1 || fail "qgis_process $1: $(cat "$WORK/qgis.txt")"
    }
    qgis plugins enable lumesta
    qgis run lumesta:pansharpen --PAN="$S/pan.img" --MS="$S/blue.img" --MS="$S/green.img" \
        --MS="$S/red.img" --MS="$S/nir.img" --OUTPUT="$WORK/fused.img"
    cat "$B"/{blue,green,red,nir}_Fused.img | cmp -s - "$WORK/fused.img" ||
        fail "the installed provider's bands differ from the built lumesta-cli's"
else
    echo "note: QGIS is not installed: the provider's run is not checked"
fi

if [ "$DESKTOP" = 1 ]; then
    # The installed desktop program starts (still running when stopped after a few seconds).
    env HOME="$WORK" XDG_CONFIG_HOME="$WORK/config" QT_QPA_PLATFORM=offscreen \
        timeout 4 "$ROOT/usr/bin/lumesta" >"$WORK/desktop.txt" 2>&1
    [ $? = 124 ] || fail "installed lumesta did not start: $(cat "$WORK/desktop.txt")"
    share=$ROOT/usr/share
    [ "$(readlink -f "$share/doc/lumesta/User_Guide.pdf")" = "$(readlink -f "$share/lumesta/User_Guide.pdf")" ] ||
        fail "the guide's link does not lead to the guide"
    head -c 5 "$share/lumesta/User_Guide.pdf" | grep -q '%PDF-' || fail "the guide is no PDF"
    for size in 48 128 256; do
        file -b "$share/icons/hicolor/${size}x${size}/apps/lumesta.png" |
            grep -q "PNG image data, $size x $size" || fail "no $size px PNG icon"
    done
    grep -qx 'Icon=lumesta' "$share/applications/lumesta.desktop" || fail "menu entry lacks its icon"
    grep -qx 'Exec=lumesta %f' "$share/applications/lumesta.desktop" || fail "menu entry lacks its command"
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net "$share/metainfo/org.lumesta.Lumesta.metainfo.xml" \
            >"$WORK/appstream.txt" 2>&1 || fail "metainfo: $(cat "$WORK/appstream.txt")"
    fi
fi

if [ "$FAILURES" -ne 0 ]; then
    echo "$FAILURES check(s) failed"
    exit 1
fi
echo "package $(basename "$DEB") installs and works"
