# Sourced by tools/run.sh and the demo's tests, after tools/env.sh: sets the
# demo up beside the stand-ins that this machine needs, starts it, and drives
# its window on the X display the way a person would (keys through xdotool,
# the virtual game controller through its script file, screenshots through
# ImageMagick's import). fw_program names the program (fw, the demo, unless
# set: showcase) and fw_title its window's title.
fw_program=${fw_program:-fw}
fw_title=${fw_title:-fw}

# Wine's own build of a DLL (its Windows-side file), for a stand-in that
# forwards to it under another name.
fw_wine_dll() {
    for dir in /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows \
        /usr/lib64/wine/x86_64-windows /usr/local/lib/wine/x86_64-windows; do
        if [ -f "$dir/$1" ]; then
            echo "$dir/$1"
            return 0
        fi
    done
    echo "Wine's own $1 not found" >&2
    return 1
}

# fw_demo_prepare DIR [no-controller]: DIR gets the demo and, unless told
# otherwise, the dinput8.dll stand-in (a virtual game controller) with the
# copy of Wine's DirectInput that it forwards to. The DLL override lets Wine
# take the stand-in when it is there and its own DirectInput when not.
fw_demo_prepare() {
    fw_demo_dir=$1
    mkdir -p "$fw_demo_dir"
    cp "$fw_build/$fw_program.exe" "$fw_demo_dir/"
    rm -f "$fw_demo_dir/dinput8.dll" "$fw_demo_dir/dinput8-wine.dll"
    if [ "${2:-}" != no-controller ]; then
        cp "$fw_build/standins/dinput8/dinput8.dll" "$fw_demo_dir/"
        cp "$(fw_wine_dll dinput8.dll)" "$fw_demo_dir/dinput8-wine.dll"
    fi
    export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;dinput8=n,b"
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

# Waits for the demo's window and sets fw_demo_window; fails after 30 s or
# when the demo ended first.
fw_demo_find_window() {
    fw_demo_window=""
    for _ in $(seq 300); do
        fw_demo_window=$(xdotool search --onlyvisible --name "^$fw_title\$" 2>/dev/null | head -n 1)
        [ -n "$fw_demo_window" ] && return 0
        [ -f "$fw_demo_dir/status" ] && break
        sleep 0.1
    done
    echo "the demo's window did not appear" >&2
    return 1
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

# fw_demo_stick X Y BUTTONS: moves the virtual stick (raw -32767 to 32767)
# and sets its buttons (a mask, bit n for button n).
fw_demo_stick() {
    echo "$1 $2 $3" >"$fw_joystick.new" && mv "$fw_joystick.new" "$fw_joystick"
}

# fw_demo_shot FILE: a PNG of the demo's window as it is now.
fw_demo_shot() {
    import -silent -window "$fw_demo_window" "$1"
}
