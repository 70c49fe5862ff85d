# Sourced by the build and test scripts: builds fw, and starts what running
# Windows programs here needs (a Wine prefix with a persistent wineserver, an
# Xvfb display) and stops it again when the calling script exits.
# FW_BUILD_DIR chooses another build tree than the presets' build/.
fw_root=$(cd "$(dirname "$0")/.." && pwd)  # $0 is a script in tools/
fw_build=${FW_BUILD_DIR:-$fw_root/build}
export WINEPREFIX="$fw_build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export ALSA_CONFIG_PATH="$fw_root/tools/alsa-null.conf"
# The DLL stand-ins that tools/wine-run.sh puts beside every program (the
# shader compiler; tools/run.sh may add more).
export FW_STANDIN_DIR="$fw_build/standins"
export FW_STANDINS="d3dcompiler_47"

# Installs what is missing, configures and builds.
fw_build_all() {
    sh "$fw_root/tools/deps.sh" "$fw_build"
    cd "$fw_root"
    if [ -n "${FW_BUILD_DIR:-}" ]; then
        cmake -S . -B "$fw_build" --toolchain cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
        cmake --build "$fw_build" -j 2
    else
        cmake --preset default >/dev/null
        cmake --build --preset default
    fi
}

# Runs ctest on the build tree with the given arguments.
fw_ctest() {
    if [ -n "${FW_BUILD_DIR:-}" ]; then
        (cd "$fw_build" && ctest --output-on-failure -j 2 --timeout 60 "$@")
    else
        ctest --preset default "$@"
    fi
}

fw_xvfb_pid=""
fw_stop() {
    wineserver -k >/dev/null 2>&1 || true
    [ -n "$fw_xvfb_pid" ] && kill "$fw_xvfb_pid" 2>/dev/null || true
    [ -n "${fw_display_file:-}" ] && rm -f "$fw_display_file"
}

# FW_OWN_DISPLAY=1 keeps the caller's DISPLAY instead of a virtual one.
fw_start() {
    mkdir -p "$fw_build"
    trap fw_stop EXIT INT TERM
    [ -n "${FW_OWN_DISPLAY:-}" ] || fw_start_xvfb
    fw_start_wine
}

fw_start_xvfb() {
    fw_display_file=$(mktemp)
    # -displayfd picks a free display number, so runs side by side don't clash.
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fw_display_file" >/dev/null 2>&1 &
    fw_xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$fw_display_file" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(cat "$fw_display_file")"
}

fw_start_wine() {
    # One wineserver for the whole run: each Wine process then starts in
    # milliseconds instead of seconds.
    mkdir -p "$WINEPREFIX"
    wineserver -p >/dev/null 2>&1 || true
    # NOTE: the first Wine process of a prefix starts Wine's own services,
    # which live as long as the wineserver and keep its output open; a test
    # runner reading that output would wait for them forever. Start them
    # here, with nothing to keep open.
    wineboot -i </dev/null >/dev/null 2>&1 || true
}

