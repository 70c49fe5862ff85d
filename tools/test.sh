#!/bin/sh
# Builds fw and its tests for Windows and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
sh tools/deps.sh
. tools/env.sh
cmake --preset default >/dev/null
cmake --build --preset default
fw_start
ctest --preset default "$@"
