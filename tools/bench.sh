#!/bin/sh
# Builds fw and its benchmark program and runs the program under Wine on the
# test scripts' virtual display: it prints one table of measurements (each
# a ratio taken inside this run) and the stress runs' results. Takes about
# fifteen minutes; `sh tools/bench.sh --quick` shortens the stress runs.
set -eu
cd "$(dirname "$0")/.."
. tools/env.sh
fw_build_all
cmake --build "$fw_build" --target fw_bench
fw_start
cd "$fw_root/data"
sh ../tools/answer-boxes.sh "$fw_build/fw_bench.exe" "$@"
