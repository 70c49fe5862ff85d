#!/bin/sh
# Builds fw and its benchmark program and runs the program under Wine on the
# test scripts' virtual display: it prints one table of measurements (each
# a ratio taken inside this run) and the stress runs' results. Takes about
# fifteen minutes; `sh tools/bench.sh --quick` shortens the stress runs.
# `--arch 32` measures the 32-bit build (64 is the default);
# `--d3d9 dxvk` runs it on DXVK (Direct3D 9 on Vulkan) under Wine 10, in the
# Debian 13 root of tools/dxvk.sh; `--d3d9 both` runs it on Wine's Direct3D 9
# and then on DXVK, one table each. `--only PART` measures one part (startup,
# frame, input, pacing, quads, tasks, crc, sound, stress, soak). Every other
# argument goes to the program.
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
32/wine | 64/wine | 32/dxvk | 64/dxvk | 32/both | 64/both) ;;
*)
    echo "usage: sh tools/bench.sh [--arch 32|64] [--d3d9 wine|dxvk|both] [--quick] [PROGRAM_ARGS...]" >&2
    exit 2
    ;;
esac
. tools/lib/env.sh
if [ "${FW_D3D9:-}" != dxvk ]; then
    fw_build_all
    cmake --build "$fw_build" --target fw_bench
    [ "$d3d9" != dxvk ] || exec sh tools/dxvk.sh sh tools/bench.sh "$@"
fi
# The Vorbis rows' piece: 30 s of stereo 44.1 kHz as Ogg Vorbis (oggenc,
# quality 5) and as the wave file oggdec makes of it, and oggdec's own time
# to decode it, the best of three, as the peer of fw's decoding.
if command -v sox >/dev/null && command -v oggenc >/dev/null && command -v oggdec >/dev/null; then
    vorbis=$fw_build/bench-vorbis
    mkdir -p "$vorbis"
    if [ ! -f "$vorbis/piece.wav" ]; then
        sox -n -r 44100 -b 16 -c 2 "$vorbis/in.wav" synth 30 pluck C3 pluck G4 tremolo 3 60 \
            gain -n -3
        oggenc -Q -q 5 -o "$vorbis/piece.ogg" "$vorbis/in.wav"
        oggdec -Q -o "$vorbis/piece.wav" "$vorbis/piece.ogg"
    fi
    best=""
    for _ in 1 2 3; do
        start=$(date +%s.%N)
        oggdec -Q -o /dev/null "$vorbis/piece.ogg"
        took=$(awk "BEGIN { print $(date +%s.%N) - $start }")
        [ -n "$best" ] && awk "BEGIN { exit !($took >= $best) }" || best=$took
    done
    export FW_BENCH_OGG="Z:$vorbis/piece.ogg" FW_BENCH_OGG_WAVE="Z:$vorbis/piece.wav"
    export FW_BENCH_OGGDEC_SECONDS="$best"
fi
fw_start
cd "$fw_root/data"
if [ "$d3d9" = both ]; then
    echo "Direct3D 9: Wine's"
    status=0
    sh ../tools/answer-boxes.sh "$fw_build/fw_bench.exe" "$@" || status=$?
    fw_stop
    cd "$fw_root"
    echo "Direct3D 9: DXVK"
    sh tools/dxvk.sh sh tools/bench.sh "$@" || status=$?
    exit "$status"
fi
sh ../tools/answer-boxes.sh "$fw_build/fw_bench.exe" "$@"
