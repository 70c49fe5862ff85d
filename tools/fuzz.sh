#!/bin/sh
# The sound fuzzer: mutated wave and Ogg Vorbis files (bit flips, cuts,
# chunk sizes and page fields set to extremes, runs of random bytes) opened
# static and streaming and played on Wine's DirectSound, in one process
# (tests/sound/fuzz.cpp). A case that ends the process is a crash, one that
# makes no progress for 10 s a hang; either is reported and the run goes on
# after it in a new process. Prints the cases, refusals, crashes, hangs,
# operations over one second, and handle and memory growth.
# Usage: sh tools/fuzz.sh [CASES [SEED]] (default 20000 cases, seed 1);
# FW_ARCH=32 for the 32-bit build.
set -eu
cases=${1:-20000}
seed=${2:-1}
. "$(dirname "$0")/lib/env.sh"
fw_build_all sound_fuzz >/dev/null || exit $?
fw_start
dir=$fw_build/tests/sound
seeds=$(sed -n 's/^FW_FUZZ_SEEDS:INTERNAL=//p' "$fw_build/CMakeCache.txt" | tr ';' ' ')
[ -n "$seeds" ] || {
    echo "fuzz.sh: no seed files (sox, oggenc and oggdec are needed at configure time)" >&2
    exit 2
}
cd "$dir"
first=0 crashes=0 hangs=0 status=0
log=$(mktemp)
trap 'rm -f "$log"; fw_stop' EXIT
while [ "$first" -lt "$cases" ]; do
    rm -f fuzz_case.txt
    # shellcheck disable=SC2086
    "$fw_root/tools/wine-run.sh" "$dir/sound_fuzz.exe" "$cases" "$seed" "$first" $seeds >"$log" 2>&1 &
    pid=$!
    last="" still=0 hung=""
    while kill -0 "$pid" 2>/dev/null; do
        sleep 1
        now=$(cat fuzz_case.txt 2>/dev/null || true)
        if [ "$now" = "$last" ]; then still=$((still + 1)); else still=0 last=$now; fi
        if [ "$still" -ge 10 ]; then
            hung=$now
            kill "$pid" 2>/dev/null || true
            break
        fi
    done
    rc=0
    wait "$pid" || rc=$?
    grep -v '^cases ' "$log" || true
    if [ -n "$hung" ]; then
        echo "case $hung: hang (no progress for 10 s)"
        hangs=$((hangs + 1)) first=$((hung + 1))
    elif grep -q '^cases ' "$log"; then
        echo "last process: $(grep '^cases ' "$log")"
        [ "$rc" = 0 ] || status=1
        break
    else
        at=$(cat fuzz_case.txt 2>/dev/null || echo "$first")
        echo "case $at: crash (exit code $rc)"
        crashes=$((crashes + 1)) first=$((at + 1))
    fi
done
echo "fuzz: $cases cases (seed $seed), $crashes crashes, $hangs hangs"
[ "$crashes" = 0 ] && [ "$hangs" = 0 ] || status=1
exit "$status"
