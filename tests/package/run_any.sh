#!/bin/sh
# tools/run.sh with a program of one's own and a tour: the program's printed
# lines are shown while it still runs, its tour is played, and at the end its
# window is closed as with the close box, which ends a program that keeps
# Escape for itself too, with its exit code 0. Runs on the display of
# DISPLAY (a tour is played there).
#   sh run_any.sh SOURCE_DIR PROGRAM.exe DATA_DIR LINE TOUR_LINE...
# LINE: a line the tour makes the program print; each TOUR_LINE one line of
# the tour file.
set -u
fw_root=$1
program=$2
data=$3
line=$4
shift 4
failed=0
. "$fw_root/tools/lib/demo.sh" # check
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' "$@" "5 shot last" >"$work/tour"
cd "$fw_root" || exit 1
: >"$work/status"
(
    status=0
    sh tools/run.sh --tour "$work/tour" "$program" "$data" >"$work/out" 2>&1 || status=$?
    echo "$status" >"$work/status.new" && mv "$work/status.new" "$work/status"
) &
# The line, as soon as the run shows it: the program is still running then.
shown=""
for _ in $(seq 600); do
    grep -q "^$line\$" "$work/out" 2>/dev/null && shown=1 && break
    [ -s "$work/status" ] && break
    sleep 0.1
done
check "the line \"$line\" is shown while the program runs" [ -n "$shown" ] && [ ! -s "$work/status" ]
wait
cat "$work/out"
check "the run ends with exit code 0" [ "$(cat "$work/status")" = 0 ]
check "the program ends with exit code 0, after its close box" \
    grep -q "exited with code 0\$" "$work/out"
shots=$(sed -n 's/^screenshots in //p' "$work/out")
check "the tour's last screenshot is taken" [ -s "$shots/last.png" ]
[ "$failed" = 0 ] && echo PASS
exit "$failed"
