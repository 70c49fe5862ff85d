#!/bin/sh
# Builds fw and its tests for Windows and runs every test under Wine.
set -eu
cd "$(dirname "$0")/.."
. tools/env.sh
fw_build_all
fw_start
fw_ctest "$@"
