# Sourced by the build and test scripts: builds fw, and starts what running
# Windows programs here needs (a Wine prefix with a persistent wineserver, an
# Xvfb display) and stops it again when the calling script exits.
# FW_ARCH chooses the Windows architecture: 64 (the default; build tree
# build/, preset "default") or 32 (build/i686, preset "i686", run by Wine's
# 32-bit side). FW_BUILD_DIR chooses another build tree than the preset's.
fw_root=$(cd "$(dirname "$0")/.." && pwd)  # $0 is a script in tools/
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export ALSA_CONFIG_PATH="$fw_root/tools/alsa-null.conf"

# fw_use_arch 32|64: selects the architecture, its build tree and the Wine
# prefix inside that tree (each tree has its own, made by the Wine that runs
# its programs).
fw_use_arch() {
    case "$1" in
    64) fw_preset=default fw_toolchain=cmake/mingw-w64.cmake fw_build=$fw_root/build ;;
    32) fw_preset=i686 fw_toolchain=cmake/mingw-w64-i686.cmake fw_build=$fw_root/build/i686 ;;
    *)
        echo "unknown architecture: $1 (32 or 64)" >&2
        exit 2
        ;;
    esac
    fw_arch=$1
    fw_build=${FW_BUILD_DIR:-$fw_build}
    export WINEPREFIX="$fw_build/wineprefix"
    # The DLL stand-ins that tools/wine-run.sh puts beside every program (the
    # shader compiler; tools/run.sh may add more).
    export FW_STANDIN_DIR="$fw_build/standins"
    export FW_STANDINS="d3dcompiler_47 xinput1_4"
}
fw_use_arch "${FW_ARCH-64}"

# Installs what is missing, configures and builds everything, or only the
# targets named as arguments. (Not in the DXVK root of tools/dxvk.sh: there
# the build tree is the one built outside.) Returns deps.sh's 3 when the
# architecture's programs cannot be built on this machine, and 4 when they
# are built but this machine's Wine cannot run them (tools/deps.sh).
fw_build_all() {
    [ "${FW_D3D9:-}" != dxvk ] || return 0
    # The 32-bit tree shares the 64-bit tree's fetch of the Linux-side
    # shader compiler.
    fw_deps=0
    if [ "$fw_arch" = 32 ] && [ -z "${FW_BUILD_DIR:-}" ]; then
        FW_ARCH=$fw_arch sh "$fw_root/tools/deps.sh" "$fw_root/build" "$fw_build" || fw_deps=$?
    else
        FW_ARCH=$fw_arch sh "$fw_root/tools/deps.sh" "$fw_build" || fw_deps=$?
    fi
    [ "$fw_deps" = 0 ] || [ "$fw_deps" = 4 ] || return "$fw_deps"
    cd "$fw_root" || return
    if [ -n "${FW_BUILD_DIR:-}" ]; then
        cmake -S . -B "$fw_build" --toolchain "$fw_toolchain" -DCMAKE_BUILD_TYPE=Release >/dev/null || return
        cmake --build "$fw_build" -j 2 ${1:+--target} "$@" || return
    else
        cmake --preset "$fw_preset" >/dev/null || return
        cmake --build --preset "$fw_preset" ${1:+--target} "$@" || return
    fi
    return "$fw_deps"
}

# Runs ctest on the build tree with the given arguments.
fw_ctest() {
    if [ -n "${FW_BUILD_DIR:-}" ]; then
        (cd "$fw_build" && ctest --output-on-failure -j 2 --timeout 60 "$@")
    else
        ctest --preset "$fw_preset" "$@"
    fi
}

fw_xvfb_pid=""
fw_prefixes=""
fw_stop() {
    for prefix in $fw_prefixes; do
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    done
    [ -n "$fw_xvfb_pid" ] && kill "$fw_xvfb_pid" 2>/dev/null || true
    [ -z "${fw_display_file:-}" ] || rm -f "$fw_display_file"
}

# FW_OWN_DISPLAY=1 keeps the caller's DISPLAY instead of a virtual one.
# Called again after fw_use_arch, it keeps the display and starts the other
# architecture's wineserver.
fw_start() {
    mkdir -p "$fw_build"
    trap fw_stop EXIT INT TERM
    [ -n "${FW_OWN_DISPLAY:-}" ] || [ -n "$fw_xvfb_pid" ] || fw_start_xvfb
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
    # A program on a display that does not answer fails without a box to
    # show why: say it here.
    xdotool getdisplaygeometry >/dev/null 2>&1 ||
        echo "the virtual display $DISPLAY does not answer" >&2
}

# Runs a Wine command with the same address space layout at every start:
# tools/wine-run.sh says why.
fw_unrandomised() { setarch "$(uname -m)" -R "$@"; }

fw_start_wine() {
    # One wineserver for the whole run: each Wine process then starts in
    # milliseconds instead of seconds.
    mkdir -p "$WINEPREFIX"
    # Only a server started here is stopped at the end: a script run inside
    # a test run (tools/run.sh by a test) leaves the run's server alone.
    # A server that runs already has its prefix set up, by whoever started it.
    wineserver -p >/dev/null 2>&1 || return 0
    fw_prefixes="$fw_prefixes $WINEPREFIX"
    # NOTE: the first Wine process of a prefix starts Wine's own services,
    # which live as long as the wineserver and keep its output open; a test
    # runner reading that output would wait for them forever. Start them
    # here, with nothing to keep open.
    fw_unrandomised wineboot -i </dev/null >/dev/null 2>&1 || true
    # A program that crashes ends at once with Wine's backtrace on its
    # standard error, instead of waiting for a click on Wine's crash dialog,
    # which on a virtual display nobody gives.
    grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null ||
        fw_unrandomised wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
            </dev/null >/dev/null 2>&1 || true
}

