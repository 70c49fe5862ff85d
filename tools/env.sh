# Sourced by the build and test scripts: starts what running Windows programs
# here needs (a Wine prefix with a persistent wineserver, an Xvfb display) and
# stops it again when the calling script exits.
fw_root=$(cd "$(dirname "$0")/.." && pwd)  # $0 is a script in tools/
fw_build=${FW_BUILD_DIR:-$fw_root/build}
export WINEPREFIX="$fw_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export ALSA_CONFIG_PATH="$fw_root/tools/alsa-null.conf"

fw_xvfb_pid=""
fw_stop() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$fw_xvfb_pid" ] && kill "$fw_xvfb_pid" 2>/dev/null || true
    [ -n "${fw_display_file:-}" ] && rm -f "$fw_display_file"
}

fw_start() {
    mkdir -p "$fw_build"
    fw_display_file=$(mktemp)
    # -displayfd picks a free display number, so runs side by side don't clash.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fw_display_file" >/dev/null 2>&1 &
    fw_xvfb_pid=$!
    trap fw_stop EXIT INT TERM
    for _ in $(seq 100); do
        [ -s "$fw_display_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$fw_display_file")"
    # One wineserver for the whole run: each Wine process then starts in
    # milliseconds instead of seconds.
    wineserver -p >/dev/null 2>&1
    # NOTE: the first Wine process of a prefix starts Wine's own services,
    # which live as long as the wineserver and keep its output open; a test
    # runner reading that output would wait for them forever. Start them
    # here, with nothing to keep open.
    wineboot -i </dev/null >/dev/null 2>&1 || true
}

