#!/usr/bin/env bash
# Desktop against command line: the same job run by `lumesta-cli` and by the desktop program's
# real main window and tool dialog (`desktop_bench`, offscreen), per tool. Reports the median
# wall and user CPU times of each and the ratio desktop / command line.
#
# Usage: bench/desktop_bench.sh [SIZE] [TOOL...]   (default 8192; tools: pansharpen etm combine
#        stats haar, the default being these five, and semivariance)
#   pansharpen  16-bit tool on `make_test_rasters pansharpen` (seed 1, ENVI): SIZE² pan, four
#               MS bands of SIZE/4
#   etm         Landsat ETM+ tool on the same scene made with --bits 8 (MS bands of SIZE/2)
#   combine     16-bit band combination of three SIZE² bands (`make_test_rasters raw`, seeds 1-3)
#   stats, haar, semivariance  the 16-bit scene's pan, at the dialogs' defaults
# The desktop's time runs from OK until the run has ended and the user-interface thread is idle
# (Qt's start and the window's creation are not in it); the command line's is the whole process.
# The desktop's profile (window places) lasts from run to run, as a user's does.
# Both run with the dialog's defaults except "Display BMP", which the bench clears (the command
# line shows nothing by default). The first round's outputs and report blocks of the two are
# compared byte for byte (the time stamps of reports and headers aside); a difference fails
# the script.
# Binaries: $LUMESTA_CLI, $MAKE_TEST_RASTERS and $DESKTOP_BENCH, else build/lumesta-cli,
# build/make_test_rasters and build/bench/desktop_bench of this checkout. Nothing is built here.
# BENCH_KEEP=1 keeps the scratch folder (its path is printed) instead of removing it.
# BENCH_ROUNDS=N (default 3) rounds; the two programs alternate which goes first.
set -u
NAME=desktop_bench

SIZE=${1:-8192}
shift $(($# > 0 ? 1 : 0))
TOOLS=${*:-pansharpen etm combine stats haar}
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
. "$(dirname "${BASH_SOURCE[0]}")/bench_lib.sh" || exit 1
CLI=${LUMESTA_CLI:-$ROOT/build/lumesta-cli}
GEN=${MAKE_TEST_RASTERS:-$ROOT/build/make_test_rasters}
DESK=${DESKTOP_BENCH:-$ROOT/build/bench/desktop_bench}

[[ $SIZE =~ ^[0-9]+$ ]] && [ "$SIZE" -ge 128 ] && [ $((SIZE % 4)) = 0 ] ||
    bench_die "SIZE must be a multiple of 4 of at least 128"
for tool in $TOOLS; do
    case $tool in pansharpen|etm|combine|stats|haar|semivariance) ;; *) bench_die "unknown tool $tool" ;; esac
done
[ -x "$BENCH_TIME" ] || bench_die "$BENCH_TIME not found: install the package 'time'"
for program in "$CLI" "$GEN" "$DESK"; do
    [ -x "$program" ] || bench_die "$program not found (build lumesta-cli, make_test_rasters, desktop_bench)"
done
export QT_QPA_PLATFORM=offscreen

WORK=$(mktemp -d "${TMPDIR:-/tmp}/lumesta-desktop-bench.XXXXXX") || bench_die "cannot create a scratch folder"
if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "scratch folder kept: $WORK"
else
    trap 'rm -rf "$WORK"' EXIT
fi
trap 'exit 130' INT TERM

# The scene folder of a tool, made on first use.
scene_of() { # TOOL
    case $1 in
        etm)
            [ -d "$WORK/scene8" ] || "$GEN" pansharpen "$WORK/scene8" --width "$SIZE" --height "$SIZE" \
                --layouts envi --seed 1 --bits 8 >/dev/null || bench_die "scene generation failed"
            SCENE=$WORK/scene8/envi ;;
        combine)
            SCENE=$WORK/combine
            [ -d "$SCENE" ] && return
            mkdir -p "$SCENE"
            local seed=1 band
            for band in blue green red; do
                "$GEN" raw "$SCENE/$band.img" --width "$SIZE" --height "$SIZE" --bits 16 --seed $seed ||
                    bench_die "band generation failed"
                printf 'ENVI\ndescription = {\n%s}\nsamples = %s\nlines   = %s\nbands   = 1\nheader offset = 0\nfile type = ENVI Standard\ndata type = 2\ninterleave = bsq\nbyte order = 0\n' \
                    "$band" "$SIZE" "$SIZE" >"$SCENE/$band.hdr"
                seed=$((seed + 1))
            done ;;
        *)
            [ -d "$WORK/scene16" ] || "$GEN" pansharpen "$WORK/scene16" --width "$SIZE" --height "$SIZE" \
                --layouts envi --seed 1 >/dev/null || bench_die "scene generation failed"
            SCENE=$WORK/scene16/envi ;;
    esac
}

# The command line of a tool, with the absolute paths the dialog's choosers give.
cli_args() { # TOOL
    local s=$SCENE
    case $1 in
        pansharpen) CLI_ARGS=(pansharpen --pan "$s/pan.img" --blue "$s/blue.img" --green "$s/green.img"
                              --red "$s/red.img" --nir "$s/nir.img") ;;
        etm) CLI_ARGS=(pansharpen-etm --pan "$s/pan.img" --blue "$s/blue.img" --green "$s/green.img"
                       --red "$s/red.img") ;;
        combine) CLI_ARGS=(combine --blue "$s/blue.img" --green "$s/green.img" --red "$s/red.img") ;;
        *) CLI_ARGS=("$1" --input "$s/pan.img") ;;
    esac
    CLI_ARGS+=(--yes --quiet --log "$WORK/cli.log")
}

# A report or header without the lines that carry the run's date, time and duration.
without_time_stamps() { # FILE
    tr -d '\r' <"$1" | grep -Ev '[0-9]{1,2}:[0-9]{2}:[0-9]{2}|Seconds spent'
}

# Moves the outputs a run left in the scene to FOLDER.
keep_outputs() { # FOLDER
    mkdir -p "$1"
    local name
    for name in $(ls -1 "$SCENE"); do
        grep -qxF "$name" "$WORK/scene.list" || mv "$SCENE/$name" "$1/"
    done
}

# Compares the outputs and report blocks the two programs wrote in the first round.
compare_runs() { # TOOL
    local a=$WORK/$1.cli.out b=$WORK/$1.desktop.out name same=1
    [ -d "$a" ] && [ -d "$b" ] || { echo "  $1: not compared (a run failed)"; return 1; }
    if [ "$(ls -1 "$a")" != "$(ls -1 "$b")" ]; then
        echo "  $1: the two runs wrote different files: $(ls -1 "$a" | tr '\n' ' ')/ $(ls -1 "$b" | tr '\n' ' ')"
        same=0
    fi
    for name in $(ls -1 "$a"); do
        [ -f "$b/$name" ] || continue
        if [[ $name == *.hdr ]]; then  # headers carry the run's time stamp
            cmp -s <(without_time_stamps "$a/$name") <(without_time_stamps "$b/$name")
        else
            cmp -s "$a/$name" "$b/$name"
        fi || { echo "  $1: $name differs"; same=0; }
    done
    if ! diff <(without_time_stamps "$WORK/$1.cli.log") <(without_time_stamps "$WORK/$1.desktop.log") \
        >"$WORK/$1.report.diff"; then
        echo "  $1: the report blocks differ:"; head -n 20 "$WORK/$1.report.diff"
        same=0
    fi
    [ $same = 1 ] && echo "  $1: same $(ls -1 "$a" | wc -l) output files and report block, byte for byte"
    [ $same = 1 ]
}

FAILED=0
run_cli() { # TOOL ROUND
    rm -f "$WORK/cli.log"
    timed "$1.cli$2" "$CLI" "${CLI_ARGS[@]}"
    [ "$STATUS" = 0 ] || { FAILED=1; return 1; }
    CLI_TIMES+=("$SECONDS_TAKEN") CLI_USER+=("$USER_TAKEN")
    echo "  command line $SECONDS_TAKEN s (user $USER_TAKEN s, system $SYSTEM_TAKEN s, peak $PEAK_MIB MiB)"
    if [ "$2" = 1 ]; then keep_outputs "$WORK/$1.cli.out"; cp "$WORK/cli.log" "$WORK/$1.cli.log"; fi
    remove_new_files "$SCENE" "$WORK/scene.list"
}
run_desktop() { # TOOL ROUND
    timed "$1.desktop$2" "$DESK" "$1" "$SCENE" --log "$WORK/desktop.log" --profile "$WORK/profile"
    [ "$STATUS" = 0 ] || { FAILED=1; return 1; }
    local seconds user system
    read -r _ seconds _ user _ system <"$WORK/$1.desktop$2.out"
    DESK_TIMES+=("$seconds") DESK_USER+=("$user")
    echo "  desktop      $seconds s (user $user s, system $system s; whole process $SECONDS_TAKEN s, peak $PEAK_MIB MiB)"
    if [ "$2" = 1 ]; then keep_outputs "$WORK/$1.desktop.out"; cp "$WORK/desktop.log" "$WORK/$1.desktop.log"; fi
    remove_new_files "$SCENE" "$WORK/scene.list"
}

LOAD_BEFORE=$(load_now)
SUMMARY=()
for tool in $TOOLS; do
    scene_of "$tool"
    ls -1 "$SCENE" >"$WORK/scene.list"
    cli_args "$tool"
    CLI_TIMES=() CLI_USER=() DESK_TIMES=() DESK_USER=()
    for round in $(seq 1 "$BENCH_ROUNDS"); do
        order="cli desktop"
        [ $((round % 2)) = 0 ] && order="desktop cli"
        echo "$tool, round $round of $BENCH_ROUNDS ($order), $(load_now) ..."
        for who in $order; do
            if [ "$who" = cli ]; then run_cli "$tool" "$round"; else run_desktop "$tool" "$round"; fi
        done
        [ "$round" = 1 ] && { compare_runs "$tool" || FAILED=1; }
    done
    if [ ${#CLI_TIMES[@]} -gt 0 ] && [ ${#DESK_TIMES[@]} -gt 0 ]; then
        c=$(median "${CLI_TIMES[@]}") d=$(median "${DESK_TIMES[@]}")
        cu=$(median "${CLI_USER[@]}") du=$(median "${DESK_USER[@]}")
        SUMMARY+=("$(printf "%-12s %8s %8s %7s   %8s %8s %7s   %s | %s" "$tool" "$c" "$d" "$(ratio "$d" "$c")" \
            "$cu" "$du" "$(ratio "$du" "$cu")" "${CLI_TIMES[*]}" "${DESK_TIMES[*]}")")
    else
        SUMMARY+=("$(printf "%-12s failed" "$tool")")
    fi
done

echo
echo "Desktop against command line, ${SIZE} x ${SIZE}, $BENCH_ROUNDS alternating rounds (medians, seconds)"
echo "before: $LOAD_BEFORE; after: $(load_now)"
printf "%-12s %8s %8s %7s   %8s %8s %7s   %s\n" tool "cli" "desktop" "ratio" "cli user" "desk usr" "ratio" \
    "every run: cli | desktop"
printf '%s\n' "${SUMMARY[@]}"
exit $FAILED
