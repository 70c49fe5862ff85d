#!/bin/sh
# Builds fw and runs the demo under Wine on a virtual display, answering the
# framework's error boxes (their texts are printed).
set -eu
cd "$(dirname "$0")/.."
. tools/env.sh
fw_build_all
fw_start
cd "$fw_root/data"
status=0
sh ../tools/answer-boxes.sh "$fw_build/fw.exe" "$@" || status=$?
echo "fw exited with code $status"
exit $status
