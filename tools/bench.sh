#!/bin/sh
# Builds fw and its benchmark program and runs the program under Wine on the
# test scripts' virtual display: it prints one table of measurements (each
# a ratio taken inside this run) and the stress runs' results. Takes about
# fifteen minutes; `sh tools/bench.sh --quick` shortens the stress runs.
# `--arch 32` measures the 32-bit build (64 is the default); every other
# argument goes to the program.
set -eu
cd "$(dirname "$0")/.."
count=$#
while [ "$count" -gt 0 ]; do
    arg=$1
    shift
    count=$((count - 1))
    if [ "$arg" = --arch ]; then
        FW_ARCH=${1:-none}
        [ "$count" -gt 0 ] && shift && count=$((count - 1))
    else
        set -- "$@" "$arg"
    fi
done
. tools/env.sh
fw_build_all
cmake --build "$fw_build" --target fw_bench
fw_start
cd "$fw_root/data"
sh ../tools/answer-boxes.sh "$fw_build/fw_bench.exe" "$@"
