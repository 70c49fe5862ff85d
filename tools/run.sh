#!/bin/sh
# Builds fw and runs the demo under Wine as a person would see it.
#
#   sh tools/run.sh [--no-controller]
#   sh tools/run.sh showcase
#   sh tools/run.sh selftest
#
# With DISPLAY set, the demo opens on that display: the arrow keys move the
# flag, Z and X switch between the effect and the shader pair, Escape quits.
# Without DISPLAY, it runs on a virtual display and takes a scripted tour
# (a few seconds idle, Z, X, the virtual stick, an arrow key, Escape),
# writing PNG screenshots to a folder named at the end.
#
# This machine has no game controller, and the demo refuses to start without
# one: a dinput8.dll stand-in beside the program adds a virtual one.
# --no-controller leaves it out, to see the start-up failure the demo shows
# then. Ends with the demo's exit code, after the error boxes it showed.
#
# "showcase" runs the showcase program instead, the same way (its keys and
# tour: tools/showcase.sh). "selftest" runs the shader self-test program in
# data/ and prints its report.
set -eu
cd "$(dirname "$0")/.."
mode=controller
case "${1:-}" in
--no-controller) mode=no-controller ;;
showcase) fw_program=showcase fw_title="fw showcase" ;;
selftest) fw_program=fw_selftest ;;
"") ;;
*)
    echo "usage: sh tools/run.sh [--no-controller | showcase | selftest]" >&2
    exit 2
    ;;
esac
[ -n "${DISPLAY:-}" ] && FW_OWN_DISPLAY=1
. tools/env.sh
. tools/demo.sh
. tools/showcase.sh
fw_build_all
fw_start
if [ "$fw_program" = showcase ]; then
    fw_demo_prepare "$fw_build/showcase" "$mode"
    data="$fw_build/showcase"
else
    fw_demo_prepare "$fw_build/demo" "$mode"
    data="$fw_root/data"
fi

if [ "$fw_program" = fw_selftest ]; then
    # No window to drive: the report goes to the console, boxes are answered.
    status=0
    (cd "$data" && sh "$fw_root/tools/answer-boxes.sh" "$fw_demo_dir/$fw_program.exe") || status=$?
    echo "$fw_program exited with code $status"
    exit $status
fi

if [ -n "${FW_OWN_DISPLAY:-}" ]; then
    # A person answers the boxes here; their texts are printed afterwards.
    trace="$fw_demo_dir/trace.txt"
    status=0
    (cd "$data" && WINEDEBUG=-all,trace+msgbox sh "$fw_root/tools/wine-run.sh" \
        "$fw_demo_dir/$fw_program.exe" 2>"$trace") || status=$?
    sed -n 's/.*MSGBOX_OnInit L"\(.*\)"$/message box "Error": \1/p' "$trace"
    echo "$fw_program exited with code $status"
    exit $status
fi

shots="$fw_build/screenshots"
rm -rf "$shots"
mkdir -p "$shots"
fw_demo_start "$data"
if [ "$fw_program" = showcase ]; then
    [ "$mode" = controller ] && fw_demo_find_window && fw_showcase_tour "$shots"
elif [ "$mode" = controller ] && fw_demo_find_window; then
    sleep 3
    fw_demo_shot "$shots/1-shader-path.png"
    fw_demo_hold z 0.2
    sleep 2
    fw_demo_shot "$shots/2-effect-path.png"
    fw_demo_hold x 0.2
    sleep 1
    fw_demo_shot "$shots/3-shader-path-again.png"
    # Everything circles the flag, so a push moves the whole scene. The
    # stick pushes for an exact number of frames, so an equal push the other
    # way brings the scene back.
    fw_demo_stick 32767 0 0 3
    sleep 1
    fw_demo_shot "$shots/4-stick-right.png"
    fw_demo_stick -32767 0 0 3
    sleep 1.5
    fw_demo_shot "$shots/5-stick-left.png"
    fw_demo_hold Up 0.1
    sleep 1
    fw_demo_shot "$shots/6-up-arrow.png"
    fw_demo_quit >/dev/null
fi
status=$(fw_demo_wait 30) || {
    echo "the demo did not end" >&2
    kill "$fw_demo_pid" 2>/dev/null
    exit 1
}
cat "$fw_demo_dir/boxes.txt"
ls "$shots"/*.png >/dev/null 2>&1 && echo "screenshots in $shots"
echo "$fw_program exited with code $status"
exit "$status"
