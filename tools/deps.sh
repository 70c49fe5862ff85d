#!/bin/sh
# Installs the Debian packages that building and testing fw need, when any is
# missing, and fetches vkd3d's HLSL compiler into the build tree for the
# shader-compiler stand-in (tools/d3dcompiler). Quiet and idempotent; uses
# sudo when not run as root.
#
# The packages come in three sets, installed one after the other: what 64-bit
# work needs; the i686 cross compiler, which builds 32-bit programs; Wine's
# 32-bit side, which runs them and needs Debian's i386 architecture. A machine
# that cannot have a 32-bit set (no i386 architecture, or i386 lists that do
# not match its libraries) still gets the 64-bit one: one line then names
# what is missing and the apt error that said so, and the exit code is 0
# unless FW_ARCH is 32, when it is 3 without the cross compiler and 4 without
# 32-bit Wine (the 32-bit programs can then be built, and tested in the DXVK
# root of tools/dxvk.sh, which has a Wine of its own).
# Usage: deps.sh [BUILD_DIR [OTHER_BUILD_DIR...]] (default: build/ beside
# tools/); each other build tree gets a link to BUILD_DIR's fetch.
set -eu
for arg in "$@"; do
    case "$arg" in
    -*)
        echo "usage: sh tools/deps.sh [BUILD_DIR [OTHER_BUILD_DIR...]]" >&2
        exit 2
        ;;
    esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
[ $# -gt 0 ] && shift
# fonts-dejavu-core: a font for the text tests (Wine draws with the system's).
# debootstrap: the Debian 13 root of the DXVK pass (tools/dxvk.sh); doxygen:
# the API reference (tools/docs.sh); gcc and libx11-dev: the helper with
# which tools/run.sh closes a program's window (tools/close-window.c);
# vorbis-tools: the reference Ogg Vorbis encoder and decoder that the sound
# tests judge fw's decoding by.
packages64="cmake make g++-mingw-w64-x86-64 mingw-w64 wine wine64 fonts-dejavu-core googletest
    xvfb xauth xdotool sox imagemagick libz-mingw-w64-dev debootstrap doxygen gcc libx11-dev
    vorbis-tools"
# wine32 alone brings no 32-bit OpenGL driver, without which 32-bit programs
# get no Direct3D: GL's and Mesa's i386 libraries give them the same one as
# 64-bit programs.
packages32build="g++-mingw-w64-i686"
packages32wine="wine32:i386 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386"
# 0, or 4 when FW_ARCH is 32 and 32-bit programs can be built but not run
# here (see below).
status=0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

# missing PACKAGES...: those of PACKAGES that are not installed.
missing() {
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || printf ' %s' "$p"
    done
}

updated=""
# apt_install PACKAGES...: apt-get install, after one apt-get update per run. A
# list that cannot be fetched (a mirror in the middle of a sync) need not be
# one these packages come from: the install says if it was. apt's output goes
# to $log.
log=$(mktemp)
trap 'rm -f "$log"' EXIT
apt_install() {
    echo "installing:$*"
    if [ -z "$updated" ]; then
        updated=1
        $sudo apt-get update -qq ||
            echo "apt-get update: some package lists could not be fetched; installing from the lists there are" >&2
    fi
    # shellcheck disable=SC2086
    $sudo apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1
}

# shellcheck disable=SC2086
need=$(missing $packages64)
if [ -n "$need" ]; then
    # shellcheck disable=SC2086
    apt_install $need || {
        cat "$log" >&2
        echo "deps.sh: cannot install the packages of 64-bit work:$need" >&2
        exit 1
    }
fi
# install32 NAME WHAT PACKAGES...: the 32-bit set PACKAGES, or one line
# saying why it cannot be had and WHAT follows; fails then. A failed try is
# not repeated for an hour for 64-bit work (its line is shown again); a
# 32-bit caller always tries.
install32() {
    tried="$build/deps32-$1-failed.txt"
    what=$2
    shift 2
    need=$(missing "$@")
    [ -n "$need" ] || { rm -f "$tried"; return 0; }
    if [ "${FW_ARCH:-64}" != 32 ] && [ -n "$(find "$tried" -mmin -60 2>/dev/null)" ]; then
        cat "$tried" >&2
        return 1
    fi
    no32=""
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        echo "adding the i386 architecture"
        $sudo dpkg --add-architecture i386 >"$log" 2>&1 || no32="dpkg --add-architecture i386 failed: $(tail -n 1 "$log")"
        updated=""
    fi
    # shellcheck disable=SC2086
    [ -n "$no32" ] || apt_install $need || no32="apt-get install failed: $(grep '^E:' "$log" | tail -n 1)"
    if [ -n "$no32" ]; then
        mkdir -p "$build"
        echo "deps.sh: the 32-bit packages cannot be installed here, $what (missing:$need): $no32" | tee "$tried" >&2
        return 1
    fi
    rm -f "$tried"
}
. "$(dirname "$0")/lib/i386.sh"
if ! fw_runs_i386; then
    if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
        echo "removing wine32:i386: this machine runs no i386 programs, and with it the 64-bit wine does not start"
        $sudo apt-get remove -y -qq wine32:i386 >"$log" 2>&1 || {
            cat "$log" >&2
            exit 1
        }
    fi
    packages32wine=""
fi
if ! install32 build "32-bit programs cannot be built" $packages32build; then
    [ "${FW_ARCH:-64}" != 32 ] || exit 3
elif [ -z "$packages32wine" ]; then
    mkdir -p "$build"
    echo "deps.sh: this machine's kernel runs no i386 programs: 32-bit programs can be built but not run, under this machine's Wine or in the DXVK pass's Debian 13 root" >&2
    [ "${FW_ARCH:-64}" != 32 ] || status=4
elif ! install32 wine "32-bit programs can be built but not run under this machine's Wine" $packages32wine; then
    [ "${FW_ARCH:-64}" != 32 ] || status=4
fi

mkdir -p "$build"
build=$(cd "$build" && pwd)
# link_fetch FOLDER PATH OTHER_BUILD_DIR...: each other build tree finds the
# fetch in FOLDER through a link at PATH inside it.
link_fetch() {
    folder=$1 path=$2
    shift 2
    for other in "$@"; do
        link="$other/$path"
        [ -f "$link/complete" ] && [ "$(readlink "$link")" = "$folder" ] && continue
        mkdir -p "$(dirname "$link")"
        rm -rf "$link"
        ln -s "$folder" "$link"
    done
}

# Ogg files from other projects' test suites, as Debian ships them, which the
# sound tests play against the reference decoder: three of the Vorbis files
# of MPD's Perl test corpus (libVorbis 1.1.1, 2005), the ring tone of
# content-hub's test data (libVorbis 1.3.2 near its highest quality, longer
# than a stream's buffer), and two Ogg files that hold no Vorbis: a Theora
# video of libgdata's installed tests and a Speex file of ocaml-speex's
# examples. Each Vorbis file gets oggdec's 16-bit wave beside it. The .deb
# files are only unpacked, nothing is installed. Where they cannot be had,
# one line says so and the test that plays them skips.
others="$build/ogg-others"
fetch_others() {
    rm -rf "$others"
    mkdir -p "$others/debs"
    (cd "$others/debs" && apt-get -qq -o APT::Sandbox::User=root download \
        libtest-corpus-audio-mpd-perl content-hub-testability libgdata-tests libspeex-ocaml-dev) \
        >"$log" 2>&1 || return 1
    for deb in "$others/debs"/*.deb; do
        dpkg-deb -x "$deb" "$others/unpacked" || return 1
    done
    mpd=usr/share/perl5/auto/share/dist/Test-Corpus-Audio-MPD/music
    while read -r name path; do
        cp "$others/unpacked/$path" "$others/$name" || return 1
    done <<EOF
mpd-title.ogg $mpd/title.ogg
mpd-album.ogg $mpd/dir2/album.ogg
mpd-title-artist-album-genre.ogg $mpd/title-artist-album-genre.ogg
content-hub-ringtone.ogg usr/share/content-hub/testability/data/Music Ringtone.ogg
libgdata-theora-video.ogg usr/libexec/installed-tests/libgdata/sample.ogg
ocaml-speex.ogg usr/share/doc/libspeex-ocaml-dev/examples/test.ogg
EOF
    rm -rf "$others/debs" "$others/unpacked"
    for file in "$others"/*.ogg; do
        oggdec -Q -o "${file%.ogg}.wav" "$file" 2>/dev/null || rm -f "${file%.ogg}.wav"
    done
    touch "$others/complete"
}
if [ ! -f "$others/complete" ]; then
    fetch_others || {
        # Lists too old for the packages' current versions: once more after
        # an update.
        $sudo apt-get update -qq >/dev/null 2>&1 || true
        fetch_others
    } || {
        rm -rf "$others"
        echo "deps.sh: the other projects' Ogg files cannot be fetched, and the test that plays them will skip: $(grep '^E:' "$log" | tail -n 1)" >&2
    }
fi
link_fetch "$others" ogg-others "$@"

# vkd3d-compiler compiles HLSL (shader models 1 to 3, with constant tables)
# where Wine 8's compiler cannot. Debian 12 has no vkd3d-compiler; unstable's
# needs unstable's C library, so its loader and libraries come along, unpacked
# into one folder and nothing installed system-wide. The stand-in looks for
# this folder beside its DLL.
vkd3d="$build/standins/d3dcompiler_47/vkd3d"
link_fetch "$vkd3d" standins/d3dcompiler_47/vkd3d "$@"
[ -f "$vkd3d/complete" ] && exit "$status"

# The Debian mirrors of this machine's own apt sources (one-line
# sources.list files and deb822 .sources files), those that serve its
# release: unstable is fetched from the same place, through the same proxy.
mirrors() {
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" |
            awk -v codename="$codename" '$1 == "deb" && $3 == codename { print $2 }'
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk -v codename="$codename" '
            function flush(n, i, suite) {
                n = split(suites, suite, " ")
                for (i = 1; i <= n; i++)
                    if (suite[i] == codename && (" " types " ") ~ / deb / && enabled != "no")
                        print uris
                types = uris = suites = enabled = key = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { flush(); next }
            /^[ \t]/ { if (key == "uris") uris = uris " " $0; if (key == "suites") suites = suites " " $0; next }
            {
                key = tolower(substr($0, 1, index($0, ":") - 1))
                value = substr($0, index($0, ":") + 1)
                gsub(/^[ \t]+|[ \t]+$/, "", value)
                if (key == "types") types = value
                if (key == "uris") uris = value
                if (key == "suites") suites = value
                if (key == "enabled") enabled = tolower(value)
            }
            END { flush() }' "$file"
    done
}
uris=$(mirrors | tr ' \t' '\n\n' | awk 'NF && !seen[$0]++')
if [ -z "$uris" ]; then
    echo "deps.sh: cannot fetch vkd3d-compiler from Debian unstable: no Debian mirror in /etc/apt/sources.list or /etc/apt/sources.list.d/ serves this machine's release" >&2
    exit 1
fi

echo "fetching vkd3d-compiler (Debian unstable) into $vkd3d"
apt="$build/standins/apt"
set -- -o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts" \
    -o Dir::Etc::Preferences="$apt/preferences" -o Dir::Etc::PreferencesParts="$apt/parts" \
    -o Dir::State::Lists="$apt/lists" -o Dir::State::status="$apt/status" \
    -o Dir::Cache="$apt/cache" -o APT::Architecture=amd64 -o APT::Sandbox::User=root \
    -o Debug::NoLocking=1
tried=""
fetched=""
for uri in $uris; do
    rm -rf "$vkd3d" "$apt"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts" "$apt/debs" "$vkd3d"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $uri unstable main" >"$apt/sources.list"
    : >"$apt/status"
    tried="$tried $uri"
    apt-get "$@" -qq update >/dev/null 2>&1 || continue
    (cd "$apt/debs" && apt-get "$@" -qq download vkd3d-compiler libvkd3d-shader1 libc6 libtinfo6 \
        >/dev/null 2>&1) || continue
    fetched=$uri
    break
done
if [ -z "$fetched" ]; then
    rm -rf "$vkd3d" "$apt"
    echo "deps.sh: cannot fetch vkd3d-compiler, libvkd3d-shader1, libc6 and libtinfo6 of Debian unstable (main) from:$tried" >&2
    exit 1
fi
for deb in "$apt/debs"/*.deb; do
    dpkg-deb -x "$deb" "$vkd3d"
done
rm -rf "$apt"
lib="$vkd3d/usr/lib/x86_64-linux-gnu"
"$lib/ld-linux-x86-64.so.2" --library-path "$lib" "$vkd3d/usr/bin/vkd3d-compiler" --version >/dev/null
touch "$vkd3d/complete"
exit "$status"
