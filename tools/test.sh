#!/bin/sh
# Builds fw and its tests for Windows and runs every test under Wine, then
# makes the API reference (tools/docs.sh), which must come without a warning.
set -eu
cd "$(dirname "$0")/.."
. tools/env.sh
fw_build_all
fw_start
status=0
fw_ctest "$@" || status=$?
sh tools/docs.sh || status=1
exit $status
