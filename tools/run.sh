#!/bin/sh
# Builds what it runs and runs a program on fw under Wine as a person would
# see it.
#
#   sh tools/run.sh [--arch 32|64] [--d3d9 dxvk] [--no-controller]    the demo
#   sh tools/run.sh [OPTIONS] showcase | bricks | selftest
#   sh tools/run.sh [OPTIONS] [--tour FILE] PROGRAM.exe [DATA_DIR]
#
# With DISPLAY set, the program opens on that display (the demo: the arrow
# keys move the flag, Z and X switch between the effect and the shader pair,
# Escape quits). Without DISPLAY, it runs on a virtual display: the demo and
# the showcase take a scripted tour (the demo: a few seconds idle, Z, X, the
# virtual stick, an arrow key, Escape; the game: tools/lib/bricks.sh); any
# other program has three screenshots taken, 2, 4 and 6 s after its first
# frame, or plays the tour FILE given with --tour (key presses, the virtual
# controller's lines, the mouse and screenshots at given times: README.md),
# and then has its window closed as with the close box, so that a program
# that keeps Escape for itself ends too. A tour is played on the display of
# DISPLAY too, when one is set. PNG screenshots go to a folder named at the
# end; the program's printed lines are shown as it prints them.
# The tour and the shots are timed from the program's first frame:
# they begin once its window has appeared (FW_WINDOW_WAIT seconds at most,
# 60 unless set; a program without a window by then ends the run with exit
# code 1) and shows anything but black (20 seconds at most; then they begin
# all the same, with a line saying so).
#
# This machine has no game controller, and fw's start-up fails without one:
# a dinput8.dll stand-in beside a copy of the program adds a virtual one.
# --no-controller leaves it out, to see the start-up failure shown then. Ends
# with the program's exit code, after the error boxes it showed.
#
# "showcase" runs the showcase program (its keys and tour: tools/lib/showcase.sh).
# "bricks" runs the example game of examples/bricks, built in the tree (its
# keys: examples/bricks/main.cpp; its tour: tools/lib/bricks.sh, which starts
# it with the virtual controller unplugged and plugs it in on the way).
# "selftest" runs the shader self-test program in data/ and prints its report.
# PROGRAM.exe is any Windows program (a program of your own on fw), run in
# DATA_DIR, by default the folder it is in.
#
# --d3d9 dxvk runs the program on DXVK (Direct3D 9 on Vulkan) under Wine 10
# instead of Wine's own Direct3D 9, in the Debian 13 root of tools/dxvk.sh.
#
# --arch 32 builds and runs the 32-bit programs (under Wine's 32-bit side);
# 64 is the default. A PROGRAM.exe runs in its own architecture.
set -eu
refuse() {
    echo "tools/run.sh: $1" >&2
    exit 2
}
# A run that cannot go on: its line, exit code 1.
refuse_run() {
    echo "tools/run.sh: $1" >&2
    exit 1
}
usage() {
    refuse "usage: sh tools/run.sh [--arch 32|64] [--d3d9 wine|dxvk] [--no-controller] [showcase | bricks | selftest | [--tour FILE] PROGRAM.exe [DATA_DIR]]"
}
mode=controller
d3d9=wine
program=""
data=""
tour=""
while [ $# -gt 0 ]; do
    case "$1" in
    --no-controller) mode=no-controller ;;
    --tour)
        [ $# -ge 2 ] || usage
        tour=$2
        shift
        ;;
    --d3d9)
        case "${2:-}" in
        wine | dxvk) d3d9=$2 ;;
        *) usage ;;
        esac
        shift
        ;;
    --arch)
        case "${2:-}" in
        32 | 64) FW_ARCH=$2 ;;
        *) usage ;;
        esac
        shift
        ;;
    -*) usage ;;
    *)
        if [ -z "$program" ]; then
            program=$1
        elif [ -z "$data" ]; then
            data=$1
        else
            usage
        fi
        ;;
    esac
    shift
done

# A program of the caller's: checked and made absolute before anything else.
own=""
case "$program" in
"" | demo | showcase | bricks | selftest) [ -z "$data" ] && [ -z "$tour" ] || usage ;;
esac
case "$program" in
"" | demo) ;;
showcase) fw_program=showcase fw_title="fw showcase" ;;
bricks) fw_program=bricks fw_title="fw bricks" ;;
selftest) fw_program=fw_selftest ;;
*)
    [ -e "$program" ] || refuse "no such program: $program"
    # A Windows executable: "MZ", at the offset stored at 0x3C "PE\0\0", and
    # in the characteristics 22 bytes on no DLL flag (0x2000).
    pe=$(od -An -tu4 -j60 -N4 "$program" 2>/dev/null | tr -d ' ')
    { [ -f "$program" ] && [ "$(head -c 2 "$program")" = MZ ] && [ -n "$pe" ] &&
        [ "$(od -An -c -j"$pe" -N4 "$program" | tr -d ' ')" = 'PE\0\0' ] &&
        flags=$(od -An -tu2 -j$((pe + 22)) -N2 "$program") && [ $((${flags:-8192} & 0x2000)) = 0 ]; } ||
        refuse "not a Windows executable: $program"
    [ -z "$data" ] && data=$(dirname "$program")
    [ -d "$data" ] || refuse "no such data folder: $data"
    data=$(cd "$data" && pwd)
    own="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
    # The stand-ins must match the program: machine 332 is 32-bit x86.
    [ "$(od -An -tu2 -j$((pe + 4)) -N2 "$program" | tr -d ' ')" = 332 ] && FW_ARCH=32 || FW_ARCH=64
    fw_program=$(basename "$program" .exe)
    ;;
esac

if [ -n "$tour" ]; then
    [ -f "$tour" ] || refuse "no such tour file: $tour"
    tour="$(cd "$(dirname "$tour")" && pwd)/$(basename "$tour")"
fi
cd "$(dirname "$0")/.."
[ -n "${DISPLAY:-}" ] && FW_OWN_DISPLAY=1
. tools/lib/env.sh
. tools/lib/demo.sh
if [ -n "$tour" ]; then
    bad=$(fw_demo_tour_check "$tour") || refuse "$tour: $bad"
fi
. tools/lib/showcase.sh
. tools/lib/bricks.sh
standins="d3dcompiler_standin fw_dinput8"
case "$program" in
"" | demo) fw_build_all fw_demo $standins ;;
showcase) fw_build_all fw_showcase $standins ;;
bricks) fw_build_all fw_bricks $standins ;;
selftest) fw_build_all fw_selftest $standins ;;
*) fw_build_all $standins ;;
esac
# The helper that closes windows runs on this machine; the DXVK root runs
# the one built here.
[ "${FW_D3D9:-}" = dxvk ] || fw_demo_close_build
if [ "$d3d9" = dxvk ] && [ "${FW_D3D9:-}" != dxvk ]; then
    # Built here, run in the root: the arguments as checked above.
    set -- --arch "${FW_ARCH:-64}" --d3d9 dxvk
    [ "$mode" = controller ] || set -- "$@" --no-controller
    if [ -n "$own" ]; then
        # The root sees fw's folder only.
        case "$own/$data/${tour:-$fw_root/}" in
        "$fw_root"/*/"$fw_root"/*/"$fw_root"/*) ;;
        *) refuse "--d3d9 dxvk runs a program, data folder and tour inside $fw_root only" ;;
        esac
        [ -z "$tour" ] || set -- "$@" --tour "$tour"
        set -- "$@" "$own" "$data"
    elif [ -n "$program" ]; then
        set -- "$@" "$program"
    fi
    FW_ARCH=${FW_ARCH:-64} exec sh tools/dxvk.sh sh tools/run.sh "$@"
fi
fw_start
if [ -n "$own" ]; then
    fw_program_file=$own
    fw_demo_prepare "$fw_build/run/$fw_program" "$mode"
elif [ "$fw_program" = showcase ]; then
    fw_demo_prepare "$fw_build/showcase" "$mode"
    data="$fw_build/showcase"
elif [ "$fw_program" = bricks ]; then
    # The game needs no controller: its tour plugs one in on the way.
    fw_demo_prepare "$fw_build/bricks" "$mode"
    data="$fw_build/bricks"
    [ -n "${FW_OWN_DISPLAY:-}" ] || fw_bricks_unplug
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

if [ -n "${FW_OWN_DISPLAY:-}" ] && [ -z "$tour" ]; then
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
# The program's lines as it prints them, and the texts of its boxes once it
# has ended; done when it has.
tail -n +1 -s 0.1 -F --pid="$fw_demo_pid" "$fw_demo_dir/boxes.txt" 2>/dev/null | sed -u 's/\r$//' &
printed=$!
# The first frame: the program may load for a while before its window opens
# and again before it draws.
# A program that ends first (a start-up failure) is reported below as it
# ended.
drawn=""
if [ "$mode" = controller ] || [ -n "$own" ] || [ "$fw_program" = bricks ]; then
    [ -n "$own" ] && fw_title=""
    wait=${FW_WINDOW_WAIT:-60}
    if ! fw_demo_find_window "$wait" 2>/dev/null; then
        if [ ! -f "$fw_demo_dir/status" ]; then
            fw_demo_kill
            refuse_run "$fw_program showed no window within $wait s; stopped"
        fi
    elif fw_demo_first_frame 20; then
        drawn=1
    elif [ ! -f "$fw_demo_dir/status" ]; then
        drawn=1
        echo "tools/run.sh: the window of $fw_program still shows only black after 20 s; going on" >&2
    fi
fi
if [ -z "$drawn" ]; then
    : # it ended before it drew: its boxes and exit code below
elif [ -n "$tour" ]; then
    fw_demo_tour "$tour" "$shots" || true
    fw_demo_close >/dev/null || true
elif [ -n "$own" ]; then
    # Three shots of the screen two seconds apart, unless the program ends
    # first, then the close box of each of its windows.
    for shot in 1 2 3; do
        sleep 2
        [ -f "$fw_demo_dir/status" ] && break
        timeout 20 import -silent -window root "$shots/$shot.png"
    done
    fw_demo_close >/dev/null || true
elif [ "$fw_program" = showcase ]; then
    fw_showcase_tour "$shots"
elif [ "$fw_program" = bricks ]; then
    fw_bricks_tour "$shots"
else
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
    echo "$fw_program did not end" >&2
    fw_demo_kill
    wait "$printed"
    exit 1
}
wait "$printed"
ls "$shots"/*.png >/dev/null 2>&1 && echo "screenshots in $shots"
echo "$fw_program exited with code $status"
exit "$status"
