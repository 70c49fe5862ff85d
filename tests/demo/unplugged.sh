#!/bin/sh
# The demo with the virtual game controller beside it, pulled out by a line
# "unplugged" in its file before start-up: the controller is required, so
# the demo shows the two boxes of a machine without one and ends with 0.
#
#   sh unplugged.sh FW_EXE
set -u
fw_root=$(cd "$(dirname "$0")/../.." && pwd)
fw_build=$(cd "$(dirname "$1")" && pwd)
. "$fw_root/tools/lib/demo.sh"

work=$(mktemp -d)
# A demo that started after all would load the machine for the tests after
# this one.
trap '[ -f "$fw_demo_dir/status" ] || { fw_demo_find_window && fw_demo_quit; } >/dev/null 2>&1
rm -rf "$work"' EXIT
fw_demo_prepare "$work/demo"
printf '0 0 0\nunplugged\n' >"$fw_joystick"
fw_demo_start "$fw_root/data"
status=$(fw_demo_wait 30) || status="still running"
boxes=$(grep '^message box' "$fw_demo_dir/boxes.txt")
expected='message box "Error": InitInput : CreateJoystick\n
message box "Error": InitDirectInput : Failed\n'
printf 'exit code: %s\n%s\n' "$status" "$boxes"
if [ "$status" != 0 ] || [ "$boxes" != "$expected" ]; then
    printf 'FAIL: expected exit code 0 and the boxes\n%s\n' "$expected"
    exit 1
fi
echo PASS
