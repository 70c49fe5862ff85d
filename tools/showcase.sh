# Sourced by tools/run.sh and the showcase's test, after tools/demo.sh: the
# showcase's scripted tour on a virtual display.
#
# The showcase's keys: arrows (or the stick) move the field's centre, Z and
# X (buttons 0 and 1) burst sparks with a chime and a pop, C (button 2)
# switches the glow, A (button 3) the trails, S (button 4) stops and resumes
# the sound, Escape quits.

# fw_showcase_press KEY: one press of an xdotool key, long enough for a frame
# to see it at a few frames a second. (A key released before the next frame
# reads the keyboard is never seen; controller buttons below are pressed for
# a number of frames instead.)
# to see it.
fw_showcase_press() {
    fw_demo_hold "$1" 0.5
    sleep 0.3
}

# fw_showcase_wait TEXT [SECONDS]: waits until the showcase has printed a
# line starting with TEXT (20 s unless told).
fw_showcase_wait() {
    for _ in $(seq $((${2:-20} * 10))); do
        grep -q "^$1" "$fw_demo_dir/boxes.txt" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the showcase did not print \"$1\"" >&2
    return 1
}

# fw_showcase_pair NAME: two shots, NAME-a.png and NAME-b.png, the second
# taken as soon as the picture has changed: a frame later, or a few.
fw_showcase_pair() {
    fw_demo_shot "$1-a.png"
    for _ in $(seq 20); do
        fw_demo_shot "$1-b.png"
        [ "$(compare -metric AE "$1-a.png" "$1-b.png" null: 2>&1)" != 0 ] && return 0
    done
}

# fw_showcase_tour DIR: tours the running showcase, writing PNG screenshots
# to DIR, and ends it with Escape. Pairs of shots taken one after the other
# (*-a.png, *-b.png) show how the picture changes from frame to frame.
fw_showcase_tour() {
    fw_showcase_wait "field:" || true
    sleep 1
    fw_showcase_pair "$1/1-trails"
    fw_showcase_press a
    sleep 1
    fw_showcase_pair "$1/2-no-trails"
    fw_showcase_press c
    sleep 0.5
    fw_demo_shot "$1/3-glow.png"
    fw_showcase_press a
    sleep 1
    fw_demo_shot "$1/4-glow-trails.png"
    fw_showcase_press c
    # Button 0 of the controller for two frames: the chime.
    fw_demo_stick 0 0 1 2
    sleep 0.5
    fw_demo_shot "$1/5-burst.png"
    fw_demo_hold Left 0.6
    fw_demo_stick 0 -32767 0
    sleep 0.6
    fw_demo_stick 0 0 0
    fw_demo_shot "$1/6-moved.png"
    fw_showcase_press s
    sleep 0.5
    fw_showcase_press s
    # Button 1 of the controller: the pop.
    fw_demo_stick 0 0 2 2
    sleep 0.5
    fw_demo_shot "$1/7-pop.png"
    fw_showcase_press Escape
}
