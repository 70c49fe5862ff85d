#!/bin/sh
# Builds fw and its benchmark program and runs the program under Wine on the
# test scripts' virtual display: it prints one table of measurements (each
# a ratio taken inside this run) and the stress runs' results. Takes about
# fifteen minutes; `sh tools/bench.sh --quick` shortens the stress runs.
# `--arch 32` measures the 32-bit build (64 is the default);
# `--d3d9 dxvk` runs it on DXVK (Direct3D 9 on Vulkan) under Wine 10, in the
# Debian 13 root of tools/dxvk.sh (64-bit). `--only PART` measures one part
# (startup, frame, pacing, quads, tasks, crc, sound, stress, soak). Every
# other argument goes to the program.
set -eu
cd "$(dirname "$0")/.."
d3d9=wine
count=$#
while [ "$count" -gt 0 ]; do
    arg=$1
    shift
    count=$((count - 1))
    if [ "$arg" = --arch ] || [ "$arg" = --d3d9 ]; then
        value=${1:-none}
        [ "$count" -gt 0 ] && shift && count=$((count - 1))
        if [ "$arg" = --arch ]; then
            FW_ARCH=$value
        else
            d3d9=$value
        fi
    else
        set -- "$@" "$arg"
    fi
done
case "${FW_ARCH:-64}/$d3d9" in
32/wine | 64/wine | 32/dxvk | 64/dxvk) ;;
*)
    echo "usage: sh tools/bench.sh [--arch 32|64] [--d3d9 wine|dxvk] [--quick] [PROGRAM_ARGS...]" >&2
    exit 2
    ;;
esac
. tools/lib/env.sh
if [ "${FW_D3D9:-}" != dxvk ]; then
    fw_build_all
    cmake --build "$fw_build" --target fw_bench
    [ "$d3d9" = wine ] || exec sh tools/dxvk.sh sh tools/bench.sh "$@"
fi
fw_start
cd "$fw_root/data"
sh ../tools/answer-boxes.sh "$fw_build/fw_bench.exe" "$@"
