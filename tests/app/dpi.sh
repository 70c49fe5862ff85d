#!/bin/sh
# The framework at 144 dots per inch (150 % display scaling), which Wine reads
# from the registry: in a Wine prefix of its own, so that the shared one
# keeps 96 for every other test. Made once, then kept in the build tree.
#   sh dpi.sh SOURCE_DIR PREFIX app_real_tests.exe
set -u
fw_root=$1
export WINEPREFIX=$2
tests=$3
if [ ! -f "$WINEPREFIX/fw-dpi-144" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # Without address randomisation, as tools/wine-run.sh runs Wine.
    setarch "$(uname -m)" -R wineboot -i </dev/null >/dev/null 2>&1
    setarch "$(uname -m)" -R wine reg add 'HKCU\Control Panel\Desktop' \
        /v LogPixels /t REG_DWORD /d 144 /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/fw-dpi-144"
fi
out=$(sh "$fw_root/tools/wine-run.sh" "$tests" \
    --gtest_filter='RealFramework.ClientAreaIsThePixelsAskedForAtTheDisplaysDpi' 2>&1)
status=$?
wineserver -k 2>/dev/null
echo "$out"
# A prefix that did not take the setting would pass at 96: say so instead.
if ! echo "$out" | grep -q "at 144 dots per inch"; then
    echo "FAIL: the program did not run at 144 dots per inch"
    exit 1
fi
exit "$status"
