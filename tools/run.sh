#!/bin/sh
# Builds fw and runs the demo under Wine on a virtual display, answering the
# framework's error boxes (their texts are printed).
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
. tools/env.sh
cmake --preset default >/dev/null
cmake --build --preset default
fw_start
cd data
status=0
sh ../tools/answer-boxes.sh ../build/fw.exe "$@" || status=$?
echo "fw exited with code $status"
exit $status
