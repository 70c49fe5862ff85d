#!/bin/sh
# The starter program, built against the installed package, run under Wine
# with the virtual game controller as a person would use it: its text and
# rectangles read back from screenshots of its window, an arrow key held,
# the controller's button pressed, Escape. Needs the display and Wine
# settings of tools/lib/env.sh.
#   sh starter.sh SOURCE_DIR BUILD_DIR STARTER_BUILD_DIR
set -u
fw_root=$1
fw_build=$2
starter=$3
fw_program=starter
fw_title="fw starter"
fw_program_file="$starter/starter.exe"
. "$fw_root/tools/lib/demo.sh"

work=$(mktemp -d)
trap 'kill "$fw_demo_pid" 2>/dev/null; rm -rf "$work"' EXIT
failed=0

# "text=N red=N green=N blue=N redx=X": the pixels of a screenshot within 24
# of each rectangle's colour in every channel, and the mean x of the red
# ones; for the text, the pixels of its colour (FFE060) scaled by at least
# one half, since Wine's smoothed glyphs reach about four fifths of it.
analyse() {
    fw_demo_pixels "$1" | awk '
        BEGIN { k = split("red 224 64 64 green 64 208 64 blue 64 128 255", c, " ") }
        {
            r = $2; g = $3; b = $4
            f = r / 255
            if (f >= 0.5 && near(g, 224 * f) && near(b, 96 * f)) n["text"]++
            for (i = 1; i < k; i += 4)
                if (near(r, c[i + 1]) && near(g, c[i + 2]) && near(b, c[i + 3])) {
                    n[c[i]]++
                    if (c[i] == "red") x += $1
                }
        }
        END {
            printf "text=%d red=%d green=%d blue=%d redx=%d\n", n["text"], n["red"], n["green"], n["blue"], n["red"] ? x / n["red"] : -1
        }
        function near(u, v) { return u - v <= 24 && v - u <= 24 }'
}
value() { echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
atleast() { [ "$1" -ge "$2" ]; }
said() { tr -d '\r' <"$fw_demo_dir/boxes.txt" | grep -c "^$1\$"; }

fw_demo_prepare "$work/run"
fw_demo_start "$starter"
fw_demo_find_window || exit 1
# The first frames can take seconds under load: shots until one shows them.
for _ in $(seq 20); do
    fw_demo_shot "$work/still.png"
    still=$(analyse "$work/still.png")
    [ "$(value "$still" red)" -ge 3000 ] && break
    sleep 0.5
done
echo "still: $still"
check "the text is drawn in its colour" atleast "$(value "$still" text)" 200
for colour in red green blue; do
    check "the $colour rectangle is drawn" atleast "$(value "$still" $colour)" 3000
done

# A key held for a fixed time could fall inside one slow frame: Right stays
# down until a shot shows the rectangles moved (5 s at most).
xdotool windowfocus --sync "$fw_demo_window" keydown Right
for _ in $(seq 25); do
    sleep 0.2
    fw_demo_shot "$work/moved.png"
    moved=$(analyse "$work/moved.png")
    atleast "$(value "$moved" redx)" $(($(value "$still" redx) + 20)) && break
done
xdotool keyup Right
echo "after the right arrow: $moved"
check "the right arrow moves the rectangles right" \
    atleast "$(value "$moved" redx)" $(($(value "$still" redx) + 20))

check "no sound before the button" [ "$(said "sound: playing")" = 0 ]
fw_demo_stick 0 0 1 2
for _ in $(seq 50); do
    [ "$(said "sound: playing")" != 0 ] && break
    sleep 0.1
done
check "the controller's button plays the sound" [ "$(said "sound: playing")" = 1 ]

fw_demo_hold Escape 0.2
status=$(fw_demo_wait 20) || status="none: it did not end"
cat "$fw_demo_dir/boxes.txt"
check "Escape ends it with exit code 0" [ "$status" = 0 ]
check "no message box" [ "$(said 'message box.*')" = 0 ]
[ "$failed" = 0 ] && echo PASS
exit "$failed"
