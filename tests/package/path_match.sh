#!/bin/sh
# The package test's search for the checkout's path in the installed files
# finds the path as a path, not as letters of words: a checkout at a short
# path ("/p", "/fw") would otherwise be found in every header.
#   sh path_match.sh PACKAGE_SCRIPT
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
row() { # row EXPECTED PATH TEXT
    printf '%s\n' "$3" >"$work/file"
    hits=$(sh "$package" find-path "$2" "$work")
    if { [ "$1" = yes ] && [ -n "$hits" ]; } || { [ "$1" = no ] && [ -z "$hits" ]; }; then
        echo "ok: $2 in \"$3\": $1"
    else
        echo "FAIL: $2 in \"$3\": expected $1"
        failed=1
    fi
}
package=$1
row no /p "// the vertex/pixel pair"
row no /fw "#include <include/fw/fw.h>"
row no /fw "set(_IMPORT_PREFIX \${CMAKE_CURRENT_LIST_DIR}/fw)"
row no /include '"$<INSTALL_PREFIX>/include" "${_IMPORT_PREFIX}/include"'
row no /work/fw "/work/fw2/lib"
row yes /p "INTERFACE_INCLUDE_DIRECTORIES \"/p/build/include\""
row yes /fw "/fw"
row yes /work/main "set(dir /work/main/build)"
row yes "/a.b/c" "x=/a.b/c;y"
[ "$failed" = 0 ] && echo PASS
exit "$failed"
