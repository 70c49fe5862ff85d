# Sourced by tools/run.sh and the showcase's test, after tools/lib/demo.sh: the
# showcase's scripted tour on a virtual display.
#
# The showcase's keys: arrows (or the stick) move the field's centre, Z and
# X (buttons 0 and 1) burst sparks with a chime and a pop, C (button 2)
# switches the glow, A (button 3) the trails, S (button 4) stops and resumes
# the sound, Escape quits.

# fw_showcase_button MASK: presses the controller buttons of MASK (bit n for
# button n) for two frames and waits until the showcase has read them. (A key
# held for a fixed time can fall inside one slow frame and never be seen.)
fw_showcase_button() {
    fw_demo_stick 0 0 "$1" 2
    fw_demo_stick_wait
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
    fw_showcase_button 8 # A: trails off
    sleep 1
    fw_showcase_pair "$1/2-no-trails"
    fw_showcase_button 4 # C: glow on
    sleep 0.5
    fw_demo_shot "$1/3-glow.png"
    fw_showcase_button 8 # A: trails on
    sleep 1
    fw_demo_shot "$1/4-glow-trails.png"
    fw_showcase_button 4 # C: glow off
    fw_showcase_button 1 # Z: the chime
    fw_demo_shot "$1/5-burst.png"
    fw_demo_hold Left 0.6
    fw_demo_stick 0 -32767 0
    sleep 0.6
    fw_demo_stick 0 0 0
    fw_demo_shot "$1/6-moved.png"
    fw_showcase_button 16 # S: sound off
    sleep 0.5
    fw_showcase_button 16 # S: sound on
    fw_showcase_button 2  # X: the pop
    fw_demo_shot "$1/7-pop.png"
    fw_demo_quit >/dev/null
}
