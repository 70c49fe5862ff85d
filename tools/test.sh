#!/bin/sh
# Builds fw and its tests for Windows and runs every test under Wine, then
# makes the API reference (tools/docs.sh), which must come without a warning;
# then the real-platform tests (the demo's and the showcase's among them) a
# second time on another Direct3D 9, DXVK under Wine 10 (tools/dxvk.sh).
#
#   sh tools/test.sh [--d3d9 wine|dxvk] [CTEST_ARGUMENT...]
#
# --d3d9 runs one of the two passes only: every test on Wine's own
# Direct3D 9 (and the reference), or the real-platform tests on DXVK.
set -eu
cd "$(dirname "$0")/.."
d3d9=both
while [ $# -gt 0 ]; do
    case "$1" in
    --d3d9)
        d3d9=${2:-}
        shift 2 || shift
        ;;
    *) break ;;
    esac
done
case "$d3d9" in
both | wine | dxvk) ;;
*)
    echo "usage: sh tools/test.sh [--d3d9 wine|dxvk] [CTEST_ARGUMENT...]" >&2
    exit 2
    ;;
esac
. tools/env.sh
if [ "${FW_D3D9:-}" = dxvk ]; then
    # The DXVK pass, inside the root.
    fw_start
    fw_ctest "$@"
    exit
fi
fw_build_all
status=0
if [ "$d3d9" != dxvk ]; then
    echo "Direct3D 9: Wine's own (wined3d), $(wine --version)"
    fw_start
    fw_ctest "$@" || status=$?
    fw_stop
    sh tools/docs.sh || status=1
fi
if [ "$d3d9" != wine ]; then
    # The package's tests build with the cross compiler, which the root has
    # not: they ran in the first pass.
    sh tools/dxvk.sh sh tools/test.sh -L real -LE package "$@" || status=$?
fi
exit $status
