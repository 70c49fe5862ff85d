#!/bin/sh
# Builds fw and its tests for Windows, 64-bit and 32-bit, and runs every test
# under Wine in both: the 64-bit suite first, then the 32-bit one, each in
# its own build tree and Wine prefix, on one virtual display. Then makes the
# API reference (tools/docs.sh), which must come without a warning, and runs
# the real-platform tests (the demo's and the showcase's among them) a second
# time on another Direct3D 9, DXVK under Wine 10 (tools/dxvk.sh), in both
# architectures.
# Further arguments go to ctest in every run.
#
#   sh tools/test.sh [--arch 32|64] [--d3d9 wine|dxvk] [CTEST_ARGS...]
#
# --arch runs one architecture only (also FW_ARCH; FW_BUILD_DIR, which names
# one tree, implies it). --d3d9 runs one of the two Direct3D 9 passes only:
# every test on Wine's own (and the reference), or the real-platform tests on
# DXVK. Ends with each run's time and outcome, and fails when any failed or
# could not run (exit code 3 when the only trouble was an architecture whose
# packages this machine cannot install: tools/deps.sh).
set -eu
cd "$(dirname "$0")/.."
arches="64 32"
[ -n "${FW_ARCH:-}" ] || [ -n "${FW_BUILD_DIR:-}" ] && arches=${FW_ARCH:-64}
d3d9=both
while [ $# -gt 0 ]; do
    case "$1" in
    --arch) arches=${2:-none} ;;
    --d3d9) d3d9=${2:-none} ;;
    *) break ;;
    esac
    shift $(($# < 2 ? 1 : 2))
done
case "$d3d9/$arches" in
both/64 | both/32 | both/"64 32" | wine/64 | wine/32 | wine/"64 32" | dxvk/64 | dxvk/32 | dxvk/"64 32") ;;
*)
    echo "usage: sh tools/test.sh [--arch 32|64] [--d3d9 wine|dxvk] [CTEST_ARGS...]" >&2
    exit 2
    ;;
esac
. tools/lib/env.sh
if [ "${FW_D3D9:-}" = dxvk ]; then
    # The DXVK pass, inside the root, on the tree built outside.
    fw_start
    fw_ctest "$@"
    exit
fi
for arch in $arches; do fw_use_arch "$arch"; done

summary=""
failed=0
# note NAME START STATUS: one line of the summary. Status 3 and 4 are a
# pass that could not run because its architecture's packages cannot be
# installed here (tools/deps.sh): the run fails all the same, naming it.
note() {
    case "$3" in
    0) outcome=passed ;;
    3) outcome="NOT RUN: the $arch-bit cross compiler cannot be installed on this machine (tools/deps.sh said why)" ;;
    4) outcome="NOT RUN: $arch-bit Wine cannot be installed on this machine (tools/deps.sh said why)" ;;
    *) outcome="FAILED (exit code $3)" ;;
    esac
    if [ "$3" -ne 0 ] && [ "$failed" -ne 1 ]; then
        [ "$3" -eq 3 ] || [ "$3" -eq 4 ] && failed=3 || failed=1
    fi
    summary="$summary$1: $outcome in $(($(date +%s) - $2)) s
"
}
# Architectures whose build could not be made: their DXVK pass cannot run.
unbuilt=""
if [ "$d3d9" != dxvk ]; then
    for arch in $arches; do
        fw_use_arch "$arch"
        echo "== $arch-bit Windows, Direct3D 9: Wine's own (wined3d), $(wine --version 2>/dev/null): $fw_build"
        start=$(date +%s)
        status=0
        fw_build_all || status=$?
        if [ "$status" -eq 0 ]; then
            fw_start
            fw_ctest "$@" || status=$?
        elif [ "$status" -ne 4 ]; then
            unbuilt="$unbuilt $arch"
        fi
        note "$arch-bit on Wine's Direct3D 9 (build and tests)" "$start" "$status"
    done
    fw_stop
    case " $arches " in
    *" 64 "*)
        fw_use_arch 64
        start=$(date +%s)
        status=0
        sh tools/docs.sh || status=$?
        note "API reference" "$start" "$status"
        ;;
    esac
fi
if [ "$d3d9" != wine ]; then
    for arch in $arches; do
        fw_use_arch "$arch"
        start=$(date +%s)
        status=0
        case " $unbuilt " in
        *" $arch "*) status=3 ;;
        esac
        if [ "$d3d9" != both ] && [ "$status" -eq 0 ]; then
            fw_build_all || status=$?
            [ "$status" -ne 4 ] || status=0
        fi
        # The package's tests build with the cross compiler, which the root
        # has not: they ran in the first pass.
        [ "$status" -ne 0 ] ||
            FW_ARCH=$arch sh tools/dxvk.sh sh tools/test.sh -L real -LE package "$@" || status=$?
        note "$arch-bit on DXVK (real-platform tests)" "$start" "$status"
    done
fi
printf '\n%s' "$summary"
exit "$failed"
