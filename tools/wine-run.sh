#!/bin/sh
# Runs a Windows executable under Wine in the project's own prefix.
# ctest and the build reach every .exe through this script.
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
: "${FW_STANDINS=d3dcompiler_47}"
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
exec wine "$@"
