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

# Prints the counts; the script's exit status is that of this, its last command.
finish() {
    echo "$PASSES passed, $FAILURES failed"
    [ "$FAILURES" -eq 0 ]
}
