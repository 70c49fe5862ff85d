# Sourced by tools/run.sh and the game's test, after tools/lib/demo.sh: the
# example game's (examples/bricks) scripted play on a virtual display, and
# the reading of its screenshots.
#
# The game prints a line whenever something a player would notice changes
# ("score: N", "paused", "controller: connected", ...): the play waits for
# those lines, not for fixed times, since a frame can take long under load.

# fw_bricks_unplug: pulls the virtual controller out (before the start: the
# game then begins with the keyboard and the mouse alone).
fw_bricks_unplug() {
    echo unplugged >"$fw_joystick"
}

# fw_bricks_said PATTERN: how many lines the game has printed matching
# PATTERN (grep's, anchored).
fw_bricks_said() {
    tr -d '\r' <"$fw_demo_dir/boxes.txt" 2>/dev/null | grep -c "^$1\$"
}

# fw_bricks_wait PATTERN [COUNT [SECONDS]]: waits until the game has printed
# COUNT (1 unless told) lines matching PATTERN, SECONDS (30 unless told) at
# most, or fails.
fw_bricks_wait() {
    for _ in $(seq $((${3:-30} * 10))); do
        [ "$(fw_bricks_said "$1")" -ge "${2:-1}" ] && return 0
        [ -f "$fw_demo_dir/status" ] && break
        sleep 0.1
    done
    echo "the game did not print \"$1\"" >&2
    return 1
}

# fw_bricks_analyse FILE: "bricks=N paddle=N paddlex=X panel=N" for a
# screenshot: the pixels within 24 in every channel of a brick colour, of the
# paddle's colour (with their mean x, -1 without any) and of the pause
# panel's colour.
fw_bricks_analyse() {
    fw_demo_pixels "$1" | awk '
        BEGIN { k = split("224 72 72 224 144 48 216 208 64 72 192 96 72 144 224", brick, " ") }
        {
            for (i = 1; i < k; i += 3)
                if (near($2, brick[i]) && near($3, brick[i + 1]) && near($4, brick[i + 2])) n["bricks"]++
            if (near($2, 64) && near($3, 224) && near($4, 224)) {
                n["paddle"]++
                x += $1
            }
            if (near($2, 48) && near($3, 48) && near($4, 120)) n["panel"]++
        }
        END {
            printf "bricks=%d paddle=%d paddlex=%d panel=%d\n", n["bricks"], n["paddle"],
                n["paddle"] ? x / n["paddle"] : -1, n["panel"]
        }
        function near(u, v) { return u - v <= 24 && v - u <= 24 }'
}

# fw_bricks_value ANALYSIS NAME: one number of fw_bricks_analyse's line.
fw_bricks_value() {
    echo "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"
}

# fw_bricks_paddle_moves FILE COMMAND...: runs COMMAND (something that moves
# the paddle), then takes shots into FILE until the paddle stands 40 pixels
# or more from where it stood before (5 s at most).
fw_bricks_paddle_moves() {
    shot=$1
    shift
    fw_demo_shot "$shot"
    before=$(fw_bricks_value "$(fw_bricks_analyse "$shot")" paddlex)
    "$@"
    for _ in $(seq 25); do
        sleep 0.2
        fw_demo_shot "$shot"
        now=$(fw_bricks_value "$(fw_bricks_analyse "$shot")" paddlex)
        [ $((now - before)) -ge 40 ] || [ $((before - now)) -ge 40 ] && return 0
    done
    return 1
}

# fw_bricks_shot_until FILE NAME OP VALUE: takes shots into FILE until
# fw_bricks_analyse's NAME compares to VALUE by OP (test's -ge, -lt, ...),
# 5 s at most: the frame after a change may not be shown yet.
fw_bricks_shot_until() {
    for _ in $(seq 25); do
        fw_demo_shot "$1"
        [ "$(fw_bricks_value "$(fw_bricks_analyse "$1")" "$2")" "$3" "$4" ] && return 0
        sleep 0.2
    done
    return 1
}

# fw_bricks_key KEY LINE [COUNT]: holds KEY (xdotool's name) down until the
# game has printed LINE COUNT times (1 unless told): a short press could fall
# inside one slow frame.
fw_bricks_key() {
    xdotool windowfocus --sync "$fw_demo_window" keydown "$1"
    fw_bricks_wait "$2" "${3:-1}"
    status=$?
    xdotool keyup "$1"
    return $status
}

# fw_bricks_tour DIR: plays the running game, started with the controller
# unplugged, writing screenshots to DIR, and ends it with Q:
#   1-start.png       the wall whole, the ball on the paddle
#   2-right.png       the paddle moved right by the arrow key
#   3-mouse.png       the paddle under the mouse, near the left wall
#   4-score.png       a click launched the ball; a brick is gone, the score up
#   5-paused-a.png    Escape: the pause screen;
#   5-paused-b.png      a second later, the same picture
#   5-focus-lost.png  Escape resumed; the focus lost: the pause screen again
#   6-controller.png  a click and Escape resume; the controller plugged in
#   7-stick.png       the paddle moved right by the stick
# Each step waits for the game's line or picture, within a time limit; a
# step that fails is reported and the tour goes on.
fw_bricks_tour() {
    fw_bricks_wait "score: 0" || true
    fw_demo_first_frame || true
    # The pointer to where the paddle starts, the middle: a pointer left by an
    # earlier run where the mouse step moves it would not move, and the paddle
    # follows the pointer only when it moves.
    xdotool mousemove --window "$fw_demo_window" 320 300
    fw_demo_shot "$1/1-start.png"

    # Keys: the paddle moves right while Right is held.
    xdotool windowfocus --sync "$fw_demo_window"
    fw_bricks_paddle_moves "$1/2-right.png" xdotool keydown Right ||
        echo "the paddle did not move with the arrow key" >&2
    xdotool keyup Right

    # The mouse: the paddle follows the cursor; a click launches the ball.
    fw_bricks_paddle_moves "$1/3-mouse.png" xdotool mousemove --window "$fw_demo_window" 100 300 ||
        echo "the paddle did not follow the mouse" >&2
    wall=$(fw_bricks_value "$(fw_bricks_analyse "$1/1-start.png")" bricks)
    xdotool click 1
    fw_bricks_wait "ball: launched" || true
    fw_bricks_wait "score: [1-9][0-9]*" || true
    fw_bricks_shot_until "$1/4-score.png" bricks -lt "$wall" || true

    # Escape pauses and resumes (the game keeps Escape for itself).
    fw_bricks_key Escape paused || true
    fw_bricks_shot_until "$1/5-paused-a.png" panel -ge 20000 || true
    sleep 1
    fw_demo_shot "$1/5-paused-b.png"
    fw_bricks_key Escape playing || true
    # Losing the focus pauses too: here the focus goes to the screen's root
    # window. A click gives it back (NOTE: without a window manager, X focus
    # alone does not give Wine 8's window the keyboard again); Escape resumes.
    # Wine 10 keeps its window in the foreground then: no shot.
    xdotool windowfocus "$(xdotool search --maxdepth 0 --name '' | head -n 1)"
    if fw_bricks_wait paused 2 10 2>/dev/null; then
        fw_bricks_shot_until "$1/5-focus-lost.png" panel -ge 20000 || true
        xdotool mousemove --window "$fw_demo_window" 100 300 click 1
        fw_bricks_key Escape playing 2 || true
    else
        xdotool windowfocus --sync "$fw_demo_window"
    fi

    # The controller, plugged in while the game runs, and its stick.
    fw_demo_stick 0 0 0
    fw_bricks_wait "controller: connected" || true
    fw_demo_shot "$1/6-controller.png"
    xdotool mousemove --window "$fw_demo_window" 100 300
    fw_bricks_paddle_moves "$1/7-stick.png" fw_demo_stick 32767 0 0 ||
        echo "the paddle did not move with the stick" >&2
    fw_demo_stick 0 0 0

    fw_demo_quit q >/dev/null || echo "the game did not end on Q" >&2
}
