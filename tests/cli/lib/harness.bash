# Shared start of the end-to-end scripts (sourced, not run; outside the *.sh files that are
# registered as tests): the two programs from the command line, a scratch folder removed on
# exit, pass/fail counters and the checks most scripts use. A script may define its own
# variant of a check after sourcing this.
# Usage inside a script: source "$(dirname "$0")/lib/harness.bash" "$@"
set -u
SCRIPT_NAME=$(basename "$0")
CLI=${1:?usage: $SCRIPT_NAME LUMESTA_CLI MAKE_TEST_RASTERS}
GEN=${2:?usage: $SCRIPT_NAME LUMESTA_CLI MAKE_TEST_RASTERS}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
FAILURES=0
PASSES=0
# The side of the scenes a run is cancelled in: large enough that the run is still going when
# the signal comes; the sanitizer build, many times slower, gets there with a smaller one.
CANCEL_SIDE=${LUMESTA_CANCEL_SIDE:-6144}

fail() { echo "FAIL: $*" >&2; FAILURES=$((FAILURES + 1)); }
pass() { PASSES=$((PASSES + 1)); }
check() { # NAME COMMAND...
    local name=$1
    shift
    if "$@"; then pass; else fail "$name"; fi
}
expect_status() { # NAME EXPECTED ACTUAL
    if [ "$2" = "$3" ]; then pass; else fail "$1: exit status $3, expected $2"; fi
}
expect_stderr() { # NAME FILE EXACT-TEXT
    if [ "$(cat "$2")" = "$3" ]; then pass; else fail "$1: stderr was $(printf '%q' "$(cat "$2")")"; fi
}
same() { if cmp -s "$2" "$3"; then pass; else fail "$1: $2 differs from $3"; fi; }  # NAME A B
# Runs the CLI; stdout to $WORK/out, stderr to $WORK/err, status in $STATUS.
run() { "$CLI" "$@" >"$WORK/out" 2>"$WORK/err"; STATUS=$?; }
expect_file() { if [ -f "$1" ]; then pass; else fail "missing $1"; fi; }
expect_no_file() { if [ -e "$1" ]; then fail "left behind: $1"; else pass; fi; }
expect_no_temporaries() { # NAME FOLDER: unfinished outputs and temporary files start with '~'
    if ls -A "$2" | grep -q '^~'; then fail "$1: temporary files left: $(ls -A "$2" | grep '^~' | tr '\n' ' ')"; else pass; fi
}
# True when FILE starts (ends) with exactly TEXT, line ends and all.
starts_with() { [ "$(head -c ${#2} "$1"; printf x)" = "$2"x ]; }  # FILE TEXT
ends_with() { [ "$(tail -c ${#2} "$1"; printf x)" = "$2"x ]; }
# A report without its clock lines, which differ from run to run.
timeless() { grep -av -e $'^(f) Seconds spent:\t' -e $'^    Start time:\t' -e $'^    Post-processing:\t' \
    -e $'^    End time:\t' "$1"; }
same_report() { cmp -s <(timeless "$1") <(timeless "$2"); }  # REPORT-A REPORT-B

# FOLDER/pan.tif and blue, green, red, nir.tif of a quarter of the side (with "ms", ms.tif too,
# the four bands in one file): a generated 16-bit scene as GeoTIFFs.
geotiff_scene() { # FOLDER SIDE SEED [ms]
    "$GEN" pansharpen "$1/s" --width "$2" --height "$2" --layouts generic --seed "$3" >/dev/null || exit 1
    "$GEN" geotiff "$1/pan.tif" --width "$2" --height "$2" --bits 16 "$1/s/generic/pan.raw" || exit 1
    for band in blue green red nir ${4:-}; do
        local raws=("$1/s/generic/$band.raw")
        [ "$band" = ms ] && raws=("$1"/s/generic/{blue,green,red,nir}.raw)
        "$GEN" geotiff "$1/$band.tif" --width $(($2 / 4)) --height $(($2 / 4)) --bits 16 "${raws[@]}" || exit 1
    done
    rm -rf "$1/s"
}

# Sends SIGNAL to PID once LOG holds PATTERN (or after 10 s), and leaves the exit status of PID.
signal_when() { # PID LOG PATTERN SIGNAL
    for _ in $(seq 1 1000); do
        grep -q "$3" "$2" 2>/dev/null && break
        sleep 0.01
    done
    kill -"$4" "$1"
    wait "$1"
}

# Prints the counts; the script's exit status is that of this, its last command.
finish() {
    echo "$PASSES passed, $FAILURES failed"
    [ "$FAILURES" -eq 0 ]
}
