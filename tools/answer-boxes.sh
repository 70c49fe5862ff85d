#!/bin/sh
# Runs a Windows program under Wine and answers its "Error" message boxes with
# OK, since a virtual display has nobody to press it. Prints one line per box,
# `message box "Error": <text>`, with the text as Wine's trace shows it (a
# line feed as \n), and exits with the program's exit code.
# Needs DISPLAY and the Wine settings of tools/lib/env.sh.
set -u
if [ $# -lt 1 ] || [ "${1#-}" != "$1" ]; then
    echo "usage: sh tools/answer-boxes.sh PROGRAM.exe [ARG...]" >&2
    exit 2
fi
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
WINEDEBUG=-all,trace+msgbox "$(dirname "$0")/wine-run.sh" "$@" 2>"$trace" &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
    for box in $(xdotool search --name '^Error$' 2>/dev/null); do
        xdotool key --window "$box" Return 2>/dev/null
    done
    sleep 0.1
done
wait "$pid"
status=$?
sed -n 's/.*MSGBOX_OnInit L"\(.*\)"$/message box "Error": \1/p' "$trace"
exit $status
