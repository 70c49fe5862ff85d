#!/bin/sh
# Builds fw and its tests for Windows, 64-bit and 32-bit, and runs every test
# under Wine in both: the 64-bit suite first, then the 32-bit one, each in
# its own build tree and Wine prefix, on one virtual display. Further
# arguments go to ctest in both runs.
#
#   sh tools/test.sh [--arch 32|64] [CTEST_ARGS...]
#
# --arch runs one architecture only (also FW_ARCH; FW_BUILD_DIR, which names
# one tree, implies it). Ends with each architecture's time and outcome, and
# fails when either failed.
set -eu
cd "$(dirname "$0")/.."
arches="64 32"
[ -n "${FW_ARCH:-}" ] || [ -n "${FW_BUILD_DIR:-}" ] && arches=${FW_ARCH:-64}
if [ "${1:-}" = --arch ]; then
    arches=${2:-none}
    shift $(($# < 2 ? 1 : 2))
fi
. tools/env.sh
for arch in $arches; do fw_use_arch "$arch"; done

summary=""
failed=0
for arch in $arches; do
    fw_use_arch "$arch"
    echo "== $arch-bit Windows: $fw_build"
    start=$(date +%s)
    fw_build_all
    fw_start
    status=0
    fw_ctest "$@" || status=$?
    [ "$status" -eq 0 ] && outcome=passed || outcome="FAILED (ctest exit code $status)"
    [ "$status" -eq 0 ] || failed=1
    summary="$summary$arch-bit: $outcome in $(($(date +%s) - start)) s (build and tests)
"
done
printf '\n%s' "$summary"
exit "$failed"
