# Shared pieces of the benchmark scripts (sourced, not run): timing under /usr/bin/time,
# medians of alternating rounds, the machine's load, and installing GDAL when it is missing.
# The sourcing script sets NAME (for messages) and WORK (its scratch folder) first.

BENCH_TIME=/usr/bin/time
BENCH_ROUNDS=${BENCH_ROUNDS:-3}

bench_die() { echo "$NAME: $*" >&2; exit 1; }

# Runs a command under /usr/bin/time -v; sets SECONDS_TAKEN, USER_TAKEN, SYSTEM_TAKEN (CPU
# seconds), PEAK_MIB and STATUS. Each run starts with no earlier writes still being flushed
# to disk.
timed() { # LABEL COMMAND...
    local label=$1
    shift
    sync
    "$BENCH_TIME" -v -o "$WORK/$label.time" "$@" >"$WORK/$label.out" 2>"$WORK/$label.err"
    STATUS=$?
    SECONDS_TAKEN=$(awk -F': ' '/Elapsed \(wall clock\)/ {
        n = split($2, part, ":"); s = 0
        for (i = 1; i <= n; ++i) s = s * 60 + part[i]
        printf "%.2f", s }' "$WORK/$label.time")
    PEAK_MIB=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$WORK/$label.time")
    USER_TAKEN=$(awk -F': ' '/User time \(seconds\)/ { printf "%.2f", $2 }' "$WORK/$label.time")
    SYSTEM_TAKEN=$(awk -F': ' '/System time \(seconds\)/ { printf "%.2f", $2 }' "$WORK/$label.time")
    if [ "$STATUS" != 0 ]; then
        echo "$NAME: $label exited with status $STATUS; its last messages:" >&2
        tail -n 5 "$WORK/$label.err" >&2
    fi
}

# The median of whole or decimal numbers (the mean of the middle two for an even count).
median() { # NUMBER...
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
        if (NR == 0) { print "-"; exit }
        if (NR % 2) printf "%.2f\n", v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# The largest of the numbers.
largest() { # NUMBER...
    printf '%s\n' "$@" | sort -g | tail -n 1
}

ratio() { # A B
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'
}

# The one-minute load average and the CPU count, for the report.
load_now() {
    echo "load $(cut -d' ' -f1 /proc/loadavg) on $(nproc) CPU(s)"
}

# Installs GDAL's tools with apt-get when they are missing and this user may install; true
# when they are there afterwards.
ensure_gdal() {
    command -v gdal_pansharpen.py >/dev/null && command -v gdal_translate >/dev/null && return 0
    [ "${BENCH_NO_INSTALL:-0}" = 1 ] && return 1
    local sudo=""
    [ "$(id -u)" = 0 ] || { command -v sudo >/dev/null && sudo -n true 2>/dev/null && sudo="sudo -n"; } ||
        return 1
    echo "Installing gdal-bin and python3-gdal for the comparison ..."
    $sudo apt-get install -y gdal-bin python3-gdal >"$WORK/apt.log" 2>&1 ||
        { $sudo apt-get update >/dev/null 2>&1 && $sudo apt-get install -y gdal-bin python3-gdal >"$WORK/apt.log" 2>&1; }
    command -v gdal_pansharpen.py >/dev/null && command -v gdal_translate >/dev/null
}

# Removes the files of a folder that are not named in a list made by `ls -1` beforehand.
remove_new_files() { # FOLDER LISTFILE
    local name
    for name in $(ls -1 "$1"); do
        grep -qxF "$name" "$2" || rm -rf "${1:?}/$name"
    done
}

# Checks SIZE (a multiple of 16, at least MIN) and the programs CLI and GEN, makes the scratch
# folder WORK (kept with BENCH_KEEP=1, else removed on exit) and generates there the 16-bit ENVI
# scene SCENE, whose files $WORK/scene.list lists.
bench_scene() { # SIZE MIN NAME
    [[ $1 =~ ^[0-9]+$ ]] && [ $(($1 % 16)) = 0 ] && [ "$1" -ge "$2" ] ||
        bench_die "SIZE must be a multiple of 16, at least $2"
    [ -x "$BENCH_TIME" ] || bench_die "$BENCH_TIME not found: install the package 'time'"
    [ -x "$CLI" ] || bench_die "lumesta-cli not found at $CLI (set LUMESTA_CLI)"
    [ -x "$GEN" ] || bench_die "make_test_rasters not found at $GEN (set MAKE_TEST_RASTERS)"
    WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-$3.XXXXXX") || bench_die "cannot create a scratch folder"
    if [ "${BENCH_KEEP:-0}" = 1 ]; then echo "scratch folder kept: $WORK"; else trap 'rm -rf "$WORK"' EXIT; fi
    trap 'exit 130' INT TERM
    echo "Generating a $1 x $1 scene in $WORK ..."
    "$GEN" pansharpen "$WORK/scene" --width "$1" --height "$1" --layouts envi --seed 1 --bits 16 \
        >/dev/null || bench_die "scene generation failed"
    SCENE=$WORK/scene/envi
    ls -1 "$SCENE" >"$WORK/scene.list"
}
