#!/bin/sh
# Installs the Debian packages that building and testing fw need, when any is
# missing, and fetches vkd3d's HLSL compiler into the build tree for the
# shader-compiler stand-in (tools/d3dcompiler). Quiet and idempotent; uses
# sudo when not run as root.
# Usage: deps.sh [BUILD_DIR] (default: build/ beside tools/)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
# fonts-dejavu-core: a font for the text tests (Wine draws with the system's).
# debootstrap: the Debian 13 root of the DXVK pass (tools/dxvk.sh).
packages="cmake make g++-mingw-w64-x86-64 mingw-w64 wine wine64 fonts-dejavu-core googletest xvfb xauth xdotool sox imagemagick libz-mingw-w64-dev"
packages="$packages debootstrap"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
done
if [ -n "$missing" ]; then
    echo "installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    # shellcheck disable=SC2086
    $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# vkd3d-compiler compiles HLSL (shader models 1 to 3, with constant tables)
# where Wine 8's compiler cannot. Debian 12 has no vkd3d-compiler; unstable's
# needs unstable's C library, so its loader and libraries come along, unpacked
# into one folder and nothing installed system-wide. The stand-in looks for
# this folder beside its DLL.
mkdir -p "$build"
build=$(cd "$build" && pwd)
vkd3d="$build/standins/d3dcompiler_47/vkd3d"
[ -f "$vkd3d/complete" ] && exit 0
echo "fetching vkd3d-compiler (Debian unstable) into $vkd3d"
apt="$build/standins/apt"
rm -rf "$vkd3d" "$apt"
mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$apt/debs" "$vkd3d"
echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian unstable main" >"$apt/sources.list"
: >"$apt/status"
set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts" \
    -o Dir::Etc::Preferences="$apt/preferences" -o Dir::Etc::PreferencesParts="$apt/parts" \
    -o Dir::State::Lists="$apt/lists" -o Dir::State::status="$apt/status" \
    -o Dir::Cache="$apt/cache" -o APT::Architecture=amd64 -o APT::Sandbox::User=root \
    -o Debug::NoLocking=1
apt-get "$@" -qq update
(cd "$apt/debs" && apt-get "$@" -qq download vkd3d-compiler libvkd3d-shader1 libc6 libtinfo6)
for deb in "$apt/debs"/*.deb; do
    dpkg-deb -x "$deb" "$vkd3d"
done
rm -rf "$apt"
lib="$vkd3d/usr/lib/x86_64-linux-gnu"
"$lib/ld-linux-x86-64.so.2" --library-path "$lib" "$vkd3d/usr/bin/vkd3d-compiler" --version >/dev/null
touch "$vkd3d/complete"
