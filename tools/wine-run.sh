#!/bin/sh
# Runs a Windows executable under Wine in the project's own prefix.
# ctest and the build reach every .exe through this script.
if [ $# -lt 1 ]; then
    echo "usage: sh tools/wine-run.sh PROGRAM.exe [ARG...]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
# DirectSound has no device on a machine without a sound card: ALSA's null
# device stands in for one.
if [ -z "${ALSA_CONFIG_PATH:-}" ] && [ -f "$here/tools/alsa-null.conf" ]; then
    ALSA_CONFIG_PATH="$here/tools/alsa-null.conf"
    export ALSA_CONFIG_PATH
fi
# Stand-ins for DLLs that Wine lacks parts of: for each NAME in FW_STANDINS
# the build tree has a folder standins/NAME/ with NAME.dll (and whatever DLLs
# it loads). Wine prefers a native DLL to its own only from the program's
# folder, so each DLL there is linked beside the program, and NAME=n,b makes
# Wine take it.
: "${FW_STANDINS=d3dcompiler_47 xinput1_4}"
: "${FW_STANDIN_DIR:=$here/build/standins}"
# In the DXVK root (tools/dxvk.sh), DXVK's Direct3D 9 is one of them.
[ "${FW_D3D9:-}" != dxvk ] || FW_STANDINS="$FW_STANDINS d3d9"
if [ -f "${1:-}" ]; then
    program_dir=$(dirname "$1")
    for name in $FW_STANDINS; do
        [ -f "$FW_STANDIN_DIR/$name/$name.dll" ] || continue
        for dll in "$FW_STANDIN_DIR/$name"/*.dll; do
            link="$program_dir/$(basename "$dll")"
            [ "$(readlink "$link")" = "$dll" ] || ln -sf "$dll" "$link" 2>/dev/null || true
        done
        WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$name=n,b"
    done
fi
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
# NOTE: a Windows process that starts another one passes it its output:
# Wine's desktop process (explorer.exe /desktop), started by the first
# program that needs it, holds the output of that program until the desktop
# has had no user for a while, which in a test run, one program after
# another, can be never; a test runner reading that output waits for it. So
# the program writes to files of its own and this script relays them, until
# the program has ended.
# NOTE: Debian's Wine (12's and 13's) comes without Wine's preloader, which
# elsewhere reserves the addresses a Windows process needs (the shared user
# data at 0x7ffe0000 among them) before Linux maps anything. Without it,
# address space layout randomisation now and then puts a mapping there first,
# and Wine ends the process at once with exit code 1 ("failed to map the
# shared user data", an error WINEDEBUG=-all hides): here about one start in
# 3,000. Without randomisation every start has the same layout, which works.
out=$(mktemp) err=$(mktemp)
setarch "$(uname -m)" -R wine "$@" >"$out" 2>"$err" </dev/null &
program=$!
trap 'kill "$program" 2>/dev/null' INT TERM HUP
tail -s 0.1 -n +1 -f --pid="$program" "$out" &
relay_out=$!
tail -s 0.1 -n +1 -f --pid="$program" "$err" >&2 &
relay_err=$!
status=0
wait "$program" || status=$?
# A signal ends the wait early: the program is stopped and waited for.
while kill -0 "$program" 2>/dev/null; do
    wait "$program" || status=$?
done
wait "$relay_out" "$relay_err"
# A program that fails before its first write (Wine could not start it, or it
# died at once) would leave a test's log empty: say so, with its exit code.
if [ "$status" -ne 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ]; then
    echo "wine-run.sh: $1 ended with exit code $status before printing anything" >&2
fi
rm -f "$out" "$err"
exit "$status"
