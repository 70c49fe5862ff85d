#!/bin/sh
# Makes fw's API reference with Doxygen from the public headers, the ones
# that are installed (the build tree's include/fw/), into build/docs/ (or
# FW_BUILD_DIR's docs/); open index.html there. Fails on any warning, an
# undocumented public entity included. Installs Doxygen when it is missing.
set -eu
cd "$(dirname "$0")/.."
. tools/env.sh
if ! command -v doxygen >/dev/null; then
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    echo "installing: doxygen"
    # A list that cannot be fetched (a mirror in the middle of a sync) need
    # not be the one doxygen comes from: the install says if it was.
    $sudo apt-get update -qq ||
        echo "apt-get update: some package lists could not be fetched; installing from the lists there are" >&2
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends doxygen >/dev/null
fi
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
