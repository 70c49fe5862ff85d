#!/bin/sh
# Builds fw and runs the demo under Wine on a virtual display.
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
. tools/env.sh
cmake --preset default >/dev/null
cmake --build --preset default
fw_start
cd data
wine ../build/fw.exe "$@"
