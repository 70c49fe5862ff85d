#!/bin/sh
# Builds fw and its benchmark program and runs the program under Wine on the
# test scripts' virtual display: it prints one table of measurements (each
# a ratio taken inside this run) and the stress runs' results. Takes about
# fifteen minutes; `sh tools/bench.sh --quick` shortens the stress runs.
# `sh tools/bench.sh --d3d9 dxvk ...` runs it on DXVK (Direct3D 9 on Vulkan)
# under Wine 10, in the Debian 13 root of tools/dxvk.sh.
set -eu
cd "$(dirname "$0")/.."
d3d9=wine
if [ "${1:-}" = --d3d9 ]; then
    d3d9=${2:-}
    shift 2 || shift
fi
. tools/env.sh
if [ "${FW_D3D9:-}" != dxvk ]; then
    fw_build_all
    cmake --build "$fw_build" --target fw_bench
    [ "$d3d9" = wine ] || exec sh tools/dxvk.sh sh tools/bench.sh "$@"
fi
fw_start
cd "$fw_root/data"
sh ../tools/answer-boxes.sh "$fw_build/fw_bench.exe" "$@"
