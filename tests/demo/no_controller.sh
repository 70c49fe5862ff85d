#!/bin/sh
# The demo program itself on this machine, where no game controller exists:
# start-up must show "InitInput : CreateJoystick\n", then
# "InitDirectInput : Failed\n", and the process must end with exit code 0.
set -u
here=$(dirname "$0")
boxes=$(timeout 60 sh "$here/../../tools/answer-boxes.sh" "$1")
status=$?
expected='message box "Error": InitInput : CreateJoystick\n
message box "Error": InitDirectInput : Failed\n'
printf 'exit code: %s\n%s\n' "$status" "$boxes"
if [ "$status" -ne 0 ] || [ "$boxes" != "$expected" ]; then
    printf 'FAIL: expected exit code 0 and the boxes\n%s\n' "$expected"
    exit 1
fi
echo PASS
