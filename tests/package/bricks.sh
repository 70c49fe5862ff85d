#!/bin/sh
# The example game, built against the installed package, played under Wine
# through tools/lib/bricks.sh's tour (the arrow key, the mouse and a click,
# Escape twice, the focus lost and back, the virtual controller plugged in mid-game and its stick,
# Q), then judged by its screenshots and by the lines it printed. Needs the
# display and Wine settings of tools/lib/env.sh.
#   sh bricks.sh SOURCE_DIR BUILD_DIR PROGRAM.exe DATA_DIR
set -u
fw_root=$1
fw_build=$2
bricks=$4
fw_program=bricks
fw_title="fw bricks"
fw_program_file=$3
. "$fw_root/tools/lib/demo.sh"
. "$fw_root/tools/lib/bricks.sh"

work=$(mktemp -d)
trap 'fw_demo_kill 2>/dev/null; rm -rf "$work"' EXIT
failed=0
atleast() { [ "$1" -ge "$2" ]; }
shot() { fw_bricks_analyse "$work/$1.png" 2>/dev/null; }
value() { fw_bricks_value "$1" "$2"; }

fw_demo_prepare "$work/run"
fw_bricks_unplug
fw_demo_start "$bricks"
fw_demo_find_window || exit 1
fw_bricks_tour "$work"
cat "$fw_demo_dir/boxes.txt"
a_start=$(shot 1-start)
a_right=$(shot 2-right)
a_mouse=$(shot 3-mouse)
a_score=$(shot 4-score)
a_paused=$(shot 5-paused-a)
a_focus=$(shot 5-focus-lost)
a_controller=$(shot 6-controller)
a_stick=$(shot 7-stick)
printf 'start: %s\nright: %s\nmouse: %s\nscore: %s\npaused: %s\nfocus lost: %s\ncontroller: %s\nstick: %s\n' \
    "$a_start" "$a_right" "$a_mouse" "$a_score" "$a_paused" "$a_focus" "$a_controller" "$a_stick"

# The wall: 50 bricks of 56 by 20 pixels; edges may blend with the
# background.
check "the wall stands whole at the start" atleast "$(value "$a_start" bricks)" 50000
check "the paddle is drawn" atleast "$(value "$a_start" paddle)" 900
check "no pause screen while playing" [ "$(value "$a_start" panel)" -lt 100 ]
check "the starting controller is none" [ "$(fw_bricks_said "controller: none")" = 1 ]
check "the right arrow moves the paddle right" \
    atleast "$(value "$a_right" paddlex)" $(($(value "$a_start" paddlex) + 40))
check "the paddle follows the mouse to the left" \
    atleast $(($(value "$a_right" paddlex) - 40)) "$(value "$a_mouse" paddlex)"

check "a click launches the ball" [ "$(fw_bricks_said "ball: launched")" -ge 1 ]
check "the score goes up" [ "$(fw_bricks_said "score: [1-9][0-9]*")" -ge 1 ]
# One brick is about 1100 pixels.
check "a brick is gone" atleast $(($(value "$a_start" bricks) - 1000)) "$(value "$a_score" bricks)"

# Paused by Escape, then by the focus lost; resumed by Escape each time.
pauses=1
check "the pause screen shows its panel" atleast "$(value "$a_paused" panel)" 40000
check "nothing moves while paused" \
    [ "$(compare -metric AE "$work/5-paused-a.png" "$work/5-paused-b.png" null: 2>&1)" = 0 ]
if [ -f "$work/5-focus-lost.png" ]; then
    pauses=2
    check "the focus lost shows the pause screen" atleast "$(value "$a_focus" panel)" 40000
else
    echo "skip: the focus lost: this Wine keeps its window in the foreground when X focus goes to the root window"
fi
check "each pause is seen once" [ "$(fw_bricks_said paused)" = $pauses ]
check "Escape resumes each time" [ "$(fw_bricks_said playing)" = $pauses ]
check "the pause screen is gone" [ "$(value "$a_controller" panel)" -lt 100 ]

check "the controller plugged in mid-game is picked up" \
    [ "$(fw_bricks_said "controller: connected")" = 1 ]
check "its stick moves the paddle right" \
    atleast "$(value "$a_stick" paddlex)" $(($(value "$a_controller" paddlex) + 40))

status=$(cat "$fw_demo_dir/status" 2>/dev/null) || status="none: it did not end"
check "Q ends it with exit code 0" [ "$status" = 0 ]
check "no message box" [ "$(fw_bricks_said 'message box.*')" = 0 ]
check "its sounds load" [ "$(fw_bricks_said 'cannot open.*')" = 0 ]
# A Windows GUI program (PE subsystem 2; a console program is 3), whose
# lines above still reached this script's pipe.
pe=$(od -An -tu4 -j60 -N4 "$fw_program_file" | tr -d ' ')
check "it is a Windows GUI program" [ "$(od -An -tu2 -j$((pe + 92)) -N2 "$fw_program_file" | tr -d ' ')" = 2 ]
[ "$failed" = 0 ] && echo PASS
exit "$failed"
