#!/bin/sh
# Runs a Windows executable under Wine in the project's own prefix.
# ctest and the build reach every .exe through this script.
here=$(cd "$(dirname "$0")/.." && pwd)
: "${WINEPREFIX:=$here/build/wineprefix}"
: "${WINEDEBUG:=-all}"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
# DirectSound has no device on a machine without a sound card: ALSA's null
# device stands in for one.
if [ -z "${ALSA_CONFIG_PATH:-}" ] && [ -f "$here/tools/alsa-null.conf" ]; then
    ALSA_CONFIG_PATH="$here/tools/alsa-null.conf"
    export ALSA_CONFIG_PATH
fi
exec wine "$@"
