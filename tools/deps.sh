#!/bin/sh
# Installs the Debian packages that building and testing fw need, when any is
# missing. Quiet and idempotent; uses sudo when not run as root.
set -eu
packages="cmake make g++-mingw-w64-x86-64 mingw-w64 wine wine64 googletest xvfb xauth xdotool sox libz-mingw-w64-dev"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
