#!/bin/sh
# Runs a command on a second Direct3D 9: DXVK (Direct3D 9 on Vulkan) under
# Wine 10, in a Debian 13 root. Debian 12's own Vulkan driver is too old for
# DXVK; Debian 13's (Mesa's llvmpipe) serves it.
#
#   sh tools/dxvk.sh COMMAND [ARG...]
#
# FW_ARCH=32 runs 32-bit programs (the build tree build/i686), with DXVK's
# 32-bit Direct3D 9 and Wine 10's 32-bit side.
#
# The root is made once per build tree, in BUILD/trixie (debootstrap, then
# the packages below; a minute or two), with this machine's own apt sources
# and settings, and reused after. COMMAND runs inside it, as root, in the
# source folder; the source and build trees are there at their own paths, so
# a build tree made outside is tested inside as it is. It runs with
# FW_D3D9=dxvk: tools/lib/env.sh then builds nothing, and tools/wine-run.sh puts
# DXVK's d3d9.dll beside each program. Inside, BUILD/wineprefix is a prefix
# of Wine 10's own (BUILD/wineprefix-dxvk outside), and the DLLs that the
# stand-ins forward to are Wine 10's. The mounts live in a mount namespace of
# their own: nothing outside sees them, and they go when COMMAND ends, however
# it ends. Where no such namespace can be made (inside a chroot, whose / is
# not a mount point, or without the right to change the propagation of /), or
# with FW_DXVK_MOUNTS=here, they are made in the machine's own namespace and
# undone when the script ends, by an error or a signal too; the first line
# says which way it ran.
set -eu
if [ $# -lt 1 ] || [ "${1#-}" != "$1" ]; then
    echo "usage: sh tools/dxvk.sh COMMAND [ARG...]" >&2
    exit 2
fi
fw_root=$(cd "$(dirname "$0")/.." && pwd)
# The root is the 64-bit tree's; a 32-bit tree is tested in it too.
root_build=$fw_root/build
case "${FW_ARCH:-64}" in
32) fw_build=${FW_BUILD_DIR:-$fw_root/build/i686} dxvk=wine32 windows=i386-linux-gnu/wine/i386-windows ;;
*) fw_build=${FW_BUILD_DIR:-$fw_root/build} dxvk=wine64 windows=x86_64-linux-gnu/wine/x86_64-windows ;;
esac
[ -z "${FW_BUILD_DIR:-}" ] || root_build=$FW_BUILD_DIR
mkdir -p "$fw_build" "$root_build"
fw_build=$(cd "$fw_build" && pwd)
root_build=$(cd "$root_build" && pwd)
root="$root_build/trixie"
# What the tests and tools/run.sh use inside: Wine, DXVK and a Vulkan
# driver, a display and its tools, ImageMagick for screenshots, a font for
# the text, and ctest; Wine's 32-bit side with DXVK's and Mesa's i386 builds
# for 32-bit programs.
packages="wine wine64 dxvk-wine64 mesa-vulkan-drivers libvulkan1 libgl1-mesa-dri
    xvfb xauth xdotool imagemagick fonts-dejavu-core cmake"
packages32="wine32:i386 dxvk-wine32:i386 mesa-vulkan-drivers:i386 libvulkan1:i386
    libgl1-mesa-dri:i386 libglx-mesa0:i386"
# A kernel that runs no i386 programs runs no 32-bit Wine in the root either,
# and there wine32 would stop the 64-bit wine from starting: 64-bit only.
. "$fw_root/tools/lib/i386.sh"
if fw_runs_i386; then
    packages="$packages $packages32"
elif [ "${FW_ARCH:-64}" = 32 ]; then
    echo "dxvk.sh: this machine's kernel runs no i386 programs: 32-bit programs cannot run in the Debian 13 root either" >&2
    exit 4
fi

if [ -z "${FW_DXVK_NAMESPACE:-}" ]; then
    if [ "${FW_DXVK_MOUNTS:-}" != here ] && why=$(unshare --mount --propagation private true 2>&1); then
        echo "dxvk.sh: the root's mounts are in a private mount namespace"
        FW_DXVK_NAMESPACE=1 exec unshare --mount --propagation private sh "$0" "$@"
    fi
    echo "dxvk.sh: the root's mounts are made here and undone at the end${why:+ (no private mount namespace: $why)}"
fi

mounted=""
unmount() {
    for m in $mounted; do
        umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null || true
    done
    mounted=""
}
trap unmount EXIT
trap 'exit 1' INT TERM HUP
bind() { # bind [-r] SOURCE PATH: SOURCE at PATH inside the root
    ro=""
    [ "$1" = -r ] && ro=1 && shift
    [ -d "$1" ] && mkdir -p "$root$2"
    mount --bind "$1" "$root$2"
    [ -z "$ro" ] || mount -o remount,bind,ro "$root$2"
    mounted="$root$2 $mounted"
}

# The machine's apt sources, its Debian release's name replaced by trixie,
# and the settings that reach its mirror (proxies and the like).
copy_apt_settings() {
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    rm -f "$root/etc/apt/sources.list" "$root/etc/apt/sources.list.d"/*
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && sed "s/$codename/trixie/g" "$f" >"$root$f"
    done
    for f in /etc/apt/apt.conf /etc/apt/apt.conf.d/*; do
        [ -f "$f" ] && grep -q 'Acquire' "$f" && cp "$f" "$root$f"
    done
    return 0
}

# The first mirror the machine's apt sources name.
mirror() {
    cat /etc/apt/sources.list.d/*.sources 2>/dev/null | sed -n 's/^URIs: *\([^ ]*\).*/\1/p' | head -n 1
    grep -h '^deb ' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed 's/\[[^]]*\]//' | awk '{ print $2 }' | head -n 1
}

if [ ! -f "$root/.fw-bootstrapped" ]; then
    echo "making a Debian 13 root for DXVK in $root"
    rm -rf "$root"
    debootstrap --variant=minbase trixie "$root" "$(mirror | head -n 1)" >"$root_build/trixie.log" 2>&1 ||
        { tail -n 20 "$root_build/trixie.log" >&2; exit 1; }
    touch "$root/.fw-bootstrapped"
fi

# Mounts left in this namespace by a run that was killed outright.
if [ -z "${FW_DXVK_NAMESPACE:-}" ]; then
    awk -v root="$root/" 'index($2, root) == 1 { print $2 }' /proc/mounts | sort -r |
        while read -r stale; do umount -l "$stale"; done
fi
mount -t proc proc "$root/proc"
mounted="$root/proc"
bind /sys /sys
bind /dev /dev
bind /dev/pts /dev/pts
bind /dev/shm /dev/shm
bind "$fw_root" "$fw_root"
# ctest inside runs the test discovery script of the cmake that made the
# build tree.
for dir in /usr/share/cmake-*; do
    [ -d "$dir" ] && bind -r "$dir" "$dir"
done
case "$fw_build/" in
"$fw_root"/*) ;;
*) bind "$fw_build" "$fw_build" ;;
esac

# shellcheck disable=SC2086
if [ "$(cat "$root/.fw-packages" 2>/dev/null)" != "$(echo $packages)" ]; then
    echo "installing Wine 10 and DXVK in $root"
    copy_apt_settings
    export DEBIAN_FRONTEND=noninteractive
    chroot "$root" dpkg --add-architecture i386
    # An update that fails for some lists (a mirror in the middle of a sync)
    # leaves the others: the install says if they were enough.
    chroot "$root" apt-get update -qq >>"$root_build/trixie.log" 2>&1 ||
        echo "apt-get update: some package lists could not be fetched; installing from the lists there are" >&2
    chroot "$root" apt-get install -y -qq --no-install-recommends $packages >>"$root_build/trixie.log" 2>&1 ||
        { tail -n 20 "$root_build/trixie.log" >&2; exit 1; }
    case " $(echo $packages) " in
    *" wine32:i386 "*) ;;
    *) chroot "$root" apt-get remove -y -qq wine32:i386 >>"$root_build/trixie.log" 2>&1 || true ;;
    esac
    # A prefix made before Wine's 32-bit side was there runs no 32-bit
    # program: start the prefixes anew.
    rm -rf "$root_build/wineprefix-dxvk" "$root_build/i686/wineprefix-dxvk"
    echo $packages >"$root/.fw-packages"
fi

# Wine 10's own prefix, DXVK's Direct3D 9 for tools/wine-run.sh, and Wine
# 10's DirectInput and compiler behind the stand-ins.
mkdir -p "$fw_build/wineprefix" "$fw_build/wineprefix-dxvk" "$fw_build/standins/d3d9" "$fw_build/dxvk-cache"
bind "$fw_build/wineprefix-dxvk" "$fw_build/wineprefix"
cmp -s "$root/usr/lib/dxvk/$dxvk/d3d9.dll.so" "$fw_build/standins/d3d9/d3d9.dll" ||
    cp "$root/usr/lib/dxvk/$dxvk/d3d9.dll.so" "$fw_build/standins/d3d9/d3d9.dll"
wine10="$root/usr/lib/$windows"
for companion in d3dcompiler_47/wine_d3dcompiler_47.dll:d3dcompiler_47.dll dinput8/dinput8-wine.dll:dinput8.dll; do
    file="$fw_build/standins/${companion%:*}"
    [ -d "$(dirname "$file")" ] || continue
    # A machine without a Wine of this architecture had nothing to copy
    # there: the root's is put in its place all the same.
    [ -f "$file" ] || : >"$file"
    bind -r "$wine10/${companion#*:}" "$file"
done

# A full-screen device is lost when its window loses the focus, as on
# Windows; DXVK keeps it unless told. DXVK's pipeline caches go to the build
# tree, not to the programs' working folders.
dxvk_config="d3d9.deviceLossOnFocusLoss = True"
echo "Direct3D 9: DXVK $(chroot "$root" dpkg-query -W -f '${Version}' dxvk-$dxvk)," \
    "$(chroot "$root" wine --version 2>/dev/null) (Debian 13 root)"
status=0
# shellcheck disable=SC2016
chroot "$root" /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
    TERM="${TERM:-dumb}" ${DISPLAY:+DISPLAY="$DISPLAY"} ${FW_BUILD_DIR:+FW_BUILD_DIR="$fw_build"} \
    FW_ARCH="${FW_ARCH:-64}" \
    FW_D3D9=dxvk DXVK_LOG_LEVEL=none DXVK_CONFIG="$dxvk_config" DXVK_STATE_CACHE_PATH="$fw_build/dxvk-cache" \
    sh -c 'cd "$1" && shift && XDG_RUNTIME_DIR=$(mktemp -d) && export XDG_RUNTIME_DIR && exec "$@"' \
    sh "$fw_root" "$@" &
command=$!
# NOTE: a shell runs its traps only once the command it waits for in the
# foreground has ended; waiting for a command in the background lets a
# signal end the command and the script at once, and with them the mounts.
trap 'kill "$command" 2>/dev/null; exit 1' INT TERM HUP
wait "$command" || status=$?
exit $status
