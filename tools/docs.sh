#!/bin/sh
# Makes fw's API reference with Doxygen from the public headers, the ones
# that are installed (the build tree's include/fw/), into build/docs/ (or
# FW_BUILD_DIR's docs/); open index.html there. Fails on any warning, an
# undocumented public entity included. Installs Doxygen when it is missing.
set -eu
if [ $# -gt 0 ]; then
    echo "usage: sh tools/docs.sh" >&2
    exit 2
fi
cd "$(dirname "$0")/.."
. tools/lib/env.sh
# Doxygen is one of the packages tools/deps.sh installs.
command -v doxygen >/dev/null || sh tools/deps.sh "$fw_build"
# Configuring the build tree makes its folder of public headers.
[ -d "$fw_build/include/fw" ] || fw_build_all fw
rm -rf "$fw_build/docs"
mkdir -p "$fw_build/docs"
{
    cat docs/Doxyfile
    echo "INPUT = $fw_build/include/fw"
    echo "STRIP_FROM_PATH = $fw_build/include"
    echo "OUTPUT_DIRECTORY = $fw_build/docs"
} | doxygen - 2>&1
echo "API reference: $fw_build/docs/index.html"
