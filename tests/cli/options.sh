#!/usr/bin/env bash
# Every tool of the option tables is one lumesta-cli runs: its usage names every option it
# shows, and a command line without options is a wrong command line of that tool, not an
# unknown tool.
# Usage: options.sh LUMESTA_CLI MAKE_TEST_RASTERS (dump_options sits beside lumesta-cli)
source "$(dirname "$0")/lib/harness.bash" "$@"
DUMP=$(dirname "$CLI")/dump_options

[ -x "$DUMP" ] || { echo "FAIL: no $DUMP" >&2; exit 1; }
tools=$("$DUMP" | awk -F'\t' '$1 == "tool" { print $2 }')
[ "$(echo "$tools" | wc -l)" -ge 7 ] || fail "fewer than 7 tools in the tables"
# A tool's name may be a command and its subcommand ("quality wald"): one name per line.
while IFS= read -r tool; do
    read -r -a words <<<"$tool"
    usage=$("$CLI" "${words[@]}" --help) || fail "$tool --help: exit status $?"
    [[ "$usage" == "usage: lumesta-cli $tool "* ]] || fail "$tool --help does not start with its synopsis"
    "$CLI" --help | grep -q "^  $tool  *[A-Z]" || fail "$tool missing from the tool list"
    err=$("$CLI" "${words[@]}" 2>&1 >/dev/null)
    status=$?
    [ "$status" = 2 ] || fail "$tool without options: exit status $status"
    [[ "$err" == *"unknown tool"* ]] && fail "$tool has no command"
    for option in $("$DUMP" | awk -F'\t' -v t="$tool" '$1 == "tool" { cur = $2 } $1 == "option" && cur == t { print $2 }'); do
        [ "$tool $option" = "haar --display" ] && continue  # accepted, not shown
        [[ "$usage" == *"$option"* ]] || fail "$tool --help does not show $option"
    done
done <<<"$tools"
finish
