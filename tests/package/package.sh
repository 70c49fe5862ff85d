#!/bin/sh
# fw as an outside program gets it: installed into a staging prefix, and a
# CMake project built against that prefix alone.
#   sh package.sh install BUILD_DIR STAGE
#   sh package.sh build PROJECT_DIR BINARY_DIR STAGE TOOLCHAIN_FILE_NAME
#   sh package.sh subproject SOURCE_DIR BINARY_DIR TOOLCHAIN_FILE_NAME
#   sh package.sh find-path PATH DIR     the files under DIR that name PATH
set -u
failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}
# find_path PATH DIR: the files under DIR that hold PATH as a path: not
# inside a longer name or path ("/p" is not in "vertex/pixel", "/fw" not in
# "include/fw"), but as itself or followed by "/".
find_path() {
    pattern=$(printf '%s' "$1" | sed 's/[][\.*^$+?(){}|/]/\\&/g')
    grep -rlE "(^|[^[:alnum:]_./~}>)-])$pattern(/|[^[:alnum:]_.~-]|\$)" "$2"
}
case "$1" in
find-path)
    find_path "$2" "$3"
    exit
    ;;
subproject)
    source=$2 binary=$3 toolchain=$4
    rm -rf "$binary"
    log="$binary.log"
    if ! { cmake -S "$(dirname "$0")/subproject" -B "$binary" -DFW_SOURCE_DIR="$source" \
        --toolchain "$source/cmake/$toolchain" && cmake --build "$binary"; } >"$log" 2>&1; then
        cat "$log"
        echo "FAIL: a project with fw inside does not build"
        exit 1
    fi
    [ -f "$binary/consumer.exe" ] || fail "no consumer.exe"
    targets=$(cmake --build "$binary" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' | tr '\n' ' ')
    echo "targets: $targets"
    for target in $targets; do
        case "$target" in
        all | clean | depend | edit_cache | rebuild_cache | list_install_components | install | \
            install/* | consumer | fw | fw_vorbis | *.obj | *.i | *.s) ;; # fw_vorbis: part of fw
        *) fail "fw brought the target $target" ;;
        esac
    done
    ! grep -q -e '^FW_WINEPREFIX' -e '^CMAKE_CROSSCOMPILING_EMULATOR' -e '^gtest' "$binary/CMakeCache.txt" ||
        fail "fw brought its tests or Wine wiring"
    ;;
install)
    build=$2 stage=$3
    rm -rf "$stage"
    cmake --install "$build" --prefix "$stage" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
    (cd "$stage" && find . -type f | sort)
    for file in lib/libfw.a include/fw/fw.h lib/cmake/fw/fwConfig.cmake \
        lib/cmake/fw/fwConfigVersion.cmake lib/cmake/fw/fwTargets.cmake lib/cmake/fw/mingw-w64.cmake lib/cmake/fw/mingw-w64-i686.cmake; do
        [ -f "$stage/$file" ] || fail "$file is not installed"
    done
    for file in app/window_state.h input/input_state.h; do
        [ ! -e "$stage/include/fw/$file" ] || fail "the library's own $file is installed"
    done
    # Nothing of this machine's paths: the prefix can be moved.
    here=$(find_path "$(cd "$(dirname "$0")/../.." && pwd)" "$stage")
    [ -z "$here" ] || fail "absolute paths in: $here"
    ;;
build)
    project=$2 binary=$3 stage=$4 toolchain=$5
    rm -rf "$binary"
    log="$binary.log"
    # Configured as fw's README says, without a build type.
    if ! { cmake -S "$project" -B "$binary" -DCMAKE_PREFIX_PATH="$stage" \
        --toolchain "$stage/lib/cmake/fw/$toolchain" && cmake --build "$binary"; } >"$log" 2>&1; then
        cat "$log"
        echo "FAIL: the project does not build against the installed package"
        exit 1
    fi
    found=$(sed -n 's/^fw_DIR:PATH=//p' "$binary/CMakeCache.txt")
    [ "$found" = "$stage/lib/cmake/fw" ] || fail "fw was found in $found"
    type=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$binary/CMakeCache.txt")
    [ "$type" = Release ] || fail "built as \"$type\", not optimised"
    grep -q -- '-O[23s]' "$binary"/CMakeFiles/*.dir/flags.make || fail "compiled without optimisation"
    # Every include folder the compiler is given is the prefix's.
    # (MinGW builds pass them in a response file.)
    for word in $(sed -n 's/^CXX_INCLUDES = //p' "$binary"/CMakeFiles/*.dir/flags.make) \
        $(cat "$binary"/CMakeFiles/*.dir/includes_CXX.rsp 2>/dev/null); do
        case "$word" in -isystem | @*) continue ;; esac
        # A response file may quote a path.
        word=${word#\"}
        word=${word%\"}
        case "${word#-I}" in
        "$stage"/*) ;;
        *) fail "include folder outside the prefix: ${word#-I}" ;;
        esac
    done
    ;;
esac
[ "$failed" = 0 ] && echo PASS
exit "$failed"
