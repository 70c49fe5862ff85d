# Sourced by tools/run.sh and the demo's tests, after tools/lib/env.sh: sets the
# demo up beside the stand-ins that this machine needs, starts it, and drives
# its window on the X display the way a person would (keys through xdotool,
# the virtual game controller through its script file, screenshots through
# ImageMagick's import). fw_program names the program (fw, the demo, unless
# set: showcase) and fw_title its window's title; fw_program_file, when set,
# is the executable to run instead of the build's $fw_program.exe. An empty
# fw_title (a program of the caller's) takes any window but an error box.
fw_program=${fw_program:-fw}
fw_title=${fw_title-fw}

# fw_demo_prepare DIR [no-controller]: DIR gets a copy of the demo, and
# tools/wine-run.sh links beside it the shader-compiler stand-in and, unless
# told otherwise, the dinput8.dll stand-in (a virtual game controller, with
# the copy of Wine's DirectInput that it forwards to). The copy keeps the
# build's own fw.exe free of a dinput8.dll beside it.
fw_demo_prepare() {
    fw_demo_dir=$1
    mkdir -p "$fw_demo_dir"
    cp "${fw_program_file:-$fw_build/$fw_program.exe}" "$fw_demo_dir/$fw_program.exe"
    rm -f "$fw_demo_dir"/dinput8*.dll
    export FW_STANDIN_DIR="$fw_build/standins"
    export FW_STANDINS="d3dcompiler_47 dinput8 xinput1_4"
    [ "${2:-}" != no-controller ] || FW_STANDINS="d3dcompiler_47 xinput1_4"
    # The stick's script: "X Y BUTTONS", read at every joystick read.
    fw_joystick="$fw_demo_dir/joystick.txt"
    echo "0 0 0" >"$fw_joystick"
    export FW_JOYSTICK="Z:$fw_joystick"
}

# fw_demo_start DATA_DIR: starts the demo in DATA_DIR (its working folder)
# in the background, answering its error boxes; their texts go to
# $fw_demo_dir/boxes.txt and the exit code to $fw_demo_dir/status once it
# ends.
fw_demo_start() {
    rm -f "$fw_demo_dir/status" "$fw_demo_dir/boxes.txt"
    (
        cd "$1" || exit 1
        status=0
        sh "$fw_root/tools/answer-boxes.sh" "$fw_demo_dir/$fw_program.exe" >"$fw_demo_dir/boxes.txt" ||
            status=$?
        echo "$status" >"$fw_demo_dir/status"
    ) &
    fw_demo_pid=$!
}

# fw_demo_find_window [SECONDS]: waits for the demo's window and sets
# fw_demo_window; fails after SECONDS (30 unless told) or when the demo ended
# first.
fw_demo_find_window() {
    fw_demo_window=""
    for _ in $(seq $((${1:-30} * 10))); do
        if [ -n "$fw_title" ]; then
            fw_demo_window=$(xdotool search --onlyvisible --name "^$fw_title\$" 2>/dev/null | head -n 1)
        else
            for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
                [ "$(xdotool getwindowname "$window" 2>/dev/null)" = Error ] && continue
                fw_demo_window=$window
                break
            done
        fi
        [ -n "$fw_demo_window" ] && return 0
        [ -f "$fw_demo_dir/status" ] && break
        sleep 0.1
    done
    echo "the demo's window did not appear" >&2
    return 1
}

# fw_demo_first_frame [SECONDS]: waits until the window shows anything but
# black, the class's background that a window has before the program's first
# frame (20 s unless told); fails when it does not, or the program ended.
fw_demo_first_frame() {
    shot=$(mktemp --suffix=.png)
    for _ in $(seq $((${1:-20} * 4))); do
        if fw_demo_shot "$shot" 2>/dev/null &&
            [ "$(convert "$shot" -format '%[max]' info: 2>/dev/null)" != 0 ]; then
            rm -f "$shot"
            return 0
        fi
        [ -f "$fw_demo_dir/status" ] && break
        sleep 0.25
    done
    rm -f "$shot"
    return 1
}

# Waits until no error box has been up for a second, or fails after 30 s.
# NOTE: without a window manager, Wine's boxes take a second or two before
# they take the answer.
fw_demo_boxes_gone() {
    clear=0
    for _ in $(seq 300); do
        if [ -n "$(xdotool search --name '^Error$' 2>/dev/null)" ]; then
            clear=0
        else
            clear=$((clear + 1))
            [ "$clear" -ge 10 ] && return 0
        fi
        sleep 0.1
    done
    return 1
}

# fw_demo_printed PATTERN [SECONDS]: waits until the program has printed a
# line matching PATTERN (grep's), 30 s unless told, or fails. The demo prints
# its shader profiles once it has loaded its data (and shown the boxes of what
# failed), right before its first frame.
fw_demo_printed() {
    for _ in $(seq $((${2:-30} * 10))); do
        grep -q "$1" "$fw_demo_dir/boxes.txt" 2>/dev/null && return 0
        [ -f "$fw_demo_dir/status" ] && break
        sleep 0.1
    done
    echo "the program did not print \"$1\"" >&2
    return 1
}

# fw_demo_quit [KEY]: holds KEY (Escape unless told) down until the program
# ends (20 s at most) and prints its exit code; fails when it is still
# running. A frame that takes longer than a short press would never see the
# key.
fw_demo_quit() {
    xdotool windowfocus --sync "$fw_demo_window" keydown "${1:-Escape}" 2>/dev/null
    fw_demo_wait 20
    status=$?
    xdotool keyup "${1:-Escape}"
    return $status
}

# fw_demo_close_build: makes the close-window helper (tools/close-window.c,
# a program for this machine, not for Windows) in the build tree, when it is
# missing or older than its source.
fw_demo_close_build() {
    fw_close_window="$fw_build/close-window"
    [ "$fw_close_window" -nt "$fw_root/tools/close-window.c" ] ||
        cc -std=c99 -O2 -o "$fw_close_window" "$fw_root/tools/close-window.c" -lX11
}

# fw_demo_pids [PID]: PID (the program's run, unless told) and every process
# below it.
fw_demo_pids() {
    echo "${1:-$fw_demo_pid}"
    for child in $(pgrep -P "${1:-$fw_demo_pid}"); do
        fw_demo_pids "$child"
    done
}

# fw_demo_close [SECONDS]: closes the program's windows (those of its
# processes, which Wine marks with _NET_WM_PID, but its error boxes; the
# window found by fw_demo_find_window when there are none) as a person would
# with the close box, and waits until the program ends (SECONDS, 20 unless
# told); prints its exit code, or fails when it is still running. The
# request is the window manager's WM_DELETE_WINDOW, which Wine turns into
# the window's WM_CLOSE. Other programs' windows on the display are left
# alone.
fw_demo_close() {
    fw_demo_close_build || return 1
    windows=$(for pid in $(fw_demo_pids); do xdotool search --onlyvisible --pid "$pid" 2>/dev/null; done)
    for window in ${windows:-$fw_demo_window}; do
        [ "$(xdotool getwindowname "$window" 2>/dev/null)" = Error ] && continue
        "$fw_close_window" "$window" 2>/dev/null || true
    done
    fw_demo_wait "${1:-20}"
}

# fw_demo_tour_check FILE: a line for the first line of a tour file that is
# not "SECONDS ACTION [ARGUMENTS]" with a known action (fw_demo_tour); fails
# then.
fw_demo_tour_check() {
    awk '
        /^[ \t]*(#|$)/ { next }
        $1 !~ /^[0-9]+(\.[0-9]+)?$/ { print "line " NR ": not a time in seconds: " $1; exit 1 }
        $2 == "key" && NF >= 3 && NF <= 4 { next }
        $2 == "stick" && NF >= 5 && NF <= 6 { next }
        $2 == "pov" && NF == 3 { next }
        ($2 == "unplugged" || $2 == "close") && NF == 2 { next }
        $2 == "mouse" && NF == 4 { next }
        $2 == "click" && NF <= 3 { next }
        $2 == "shot" && NF <= 3 { next }
        { print "line " NR ": not an action with its arguments: " $0; exit 1 }' "$1"
}

# fw_demo_tour FILE DIR: plays a tour file (its format: README.md, "Running
# a program of your own") on the running program, its times counted from
# now, the program's first frame; its screenshots go to DIR. Returns after
# the last line or at a "close" line, or when the program has ended.
fw_demo_tour() {
    tour_file=$1
    tour_dir=$2
    tour_start=$(date +%s.%N)
    tour_stick="0 0 0"
    tour_pov=""
    tour_shots=0
    while read -r at action rest; do
        case "$at" in "" | "#"*) continue ;; esac
        sleep "$(awk -v start="$tour_start" -v at="$at" -v now="$(date +%s.%N)" \
            'BEGIN { d = start + at - now; print (d > 0 ? d : 0) }')"
        [ -f "$fw_demo_dir/status" ] && return 0
        # shellcheck disable=SC2086 # the arguments are words
        set -- $rest
        case "$action" in
        key) xdotool windowfocus --sync "$fw_demo_window" keydown "$1" sleep "${2:-0.2}" keyup "$1" ;;
        stick | pov | unplugged)
            case "$action" in
            stick) tour_stick=$rest ;;
            pov) tour_pov="pov $1" ;;
            esac
            # The stick's line first, the hat's after it; a tag makes each
            # push new, so that a repeated push with READS counts again.
            fw_stick_count=$((${fw_stick_count:-0} + 1))
            if [ "$action" = unplugged ]; then
                echo unplugged
            else
                echo "$tour_stick #$fw_stick_count"
                [ -z "$tour_pov" ] || echo "$tour_pov"
            fi >"$fw_joystick.new" && mv "$fw_joystick.new" "$fw_joystick"
            ;;
        mouse) xdotool mousemove --window "$fw_demo_window" "$1" "$2" ;;
        click) xdotool click "${1:-1}" ;;
        shot)
            tour_shots=$((tour_shots + 1))
            fw_demo_shot "$tour_dir/${1:-$tour_shots}.png" 2>/dev/null || true
            ;;
        close) return 0 ;;
        esac
    done <"$tour_file"
}

# fw_demo_kill: ends the demo, the Wine process and the scripts around it.
fw_demo_kill() {
    fw_kill_tree "$fw_demo_pid"
}
fw_kill_tree() {
    for child in $(pgrep -P "$1"); do
        fw_kill_tree "$child"
    done
    kill "$1" 2>/dev/null || true
}

# fw_demo_wait [SECONDS]: waits for the demo to end (10 s unless told) and
# prints its exit code; fails when it is still running.
fw_demo_wait() {
    for _ in $(seq $((${1:-10} * 10))); do
        if [ -f "$fw_demo_dir/status" ]; then
            wait "$fw_demo_pid" 2>/dev/null || true
            cat "$fw_demo_dir/status"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# fw_demo_hold KEY SECONDS: holds an xdotool key (Right, z, Escape, ...)
# down in the demo's window for SECONDS. DirectInput reads the keyboard once
# a frame, so a key has to stay down for a frame at least.
fw_demo_hold() {
    xdotool windowfocus --sync "$fw_demo_window" keydown "$1" sleep "$2" keyup "$1"
}

# fw_demo_stick X Y BUTTONS [FRAMES]: moves the virtual stick (raw -32767
# to 32767) and sets its buttons (a mask, bit n for button n); with FRAMES,
# only for that many reads of the joystick (one a frame), then back to rest.
fw_demo_stick() {
    fw_stick_count=$((${fw_stick_count:-0} + 1))
    echo "$1 $2 $3 ${4:-} #$fw_stick_count" >"$fw_joystick.new" && mv "$fw_joystick.new" "$fw_joystick"
}

# fw_demo_stick_wait [SECONDS]: waits until the program has read the last
# push with FRAMES for all its frames (20 s unless told), or fails.
fw_demo_stick_wait() {
    for _ in $(seq $((${1:-20} * 10))); do
        grep -q "#$fw_stick_count\$" "$fw_joystick.done" 2>/dev/null && return 0
        sleep 0.1
    done
    echo "the push #$fw_stick_count was not read" >&2
    return 1
}

# fw_demo_pixels FILE: the pixels of an image, one line each: "X R G B"
# (8 bits a channel), row by row.
fw_demo_pixels() {
    convert "$1" -depth 8 -compress none ppm:- | awk '
        { for (i = 1; i <= NF; i++) token[t++] = $i }
        END { for (p = 4; p + 2 < t; p += 3) print ((p - 4) / 3) % token[1], token[p], token[p + 1], token[p + 2] }'
}

# fw_demo_shot FILE: a PNG of the demo's window as it is now.
fw_demo_shot() {
    # A window that has gone leaves import waiting for ever.
    timeout 20 import -silent -window "$fw_demo_window" "$1"
}

# check DESCRIPTION COMMAND...: runs the check and prints one line, "ok:" or
# "FAIL:"; a failure sets failed=1 for the caller's exit code.
check() {
    description=$1
    shift
    if "$@"; then
        echo "ok: $description"
    else
        echo "FAIL: $description"
        failed=1
    fi
}
