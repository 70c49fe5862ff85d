#!/bin/sh
# tools/deps.sh on a machine that cannot have the 32-bit packages, with a
# stub apt-get that refuses every i386 package as apt does when the i386
# lists do not match the machine's libraries: the 64-bit set goes in, one
# line names what is missing and apt's error, and only a 32-bit caller fails
# (with 4: its programs can be built, the cross compiler being a 64-bit
# package, but not run under this machine's Wine).
#   sh deps_choice.sh SOURCE_DIR
set -u
fw_root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() {
    description=$1
    shift
    if "$@"; then echo "ok: $description"; else echo "FAIL: $description"; failed=1; fi
}

stubs="$work/bin"
mkdir -p "$stubs" "$work/build/standins/d3dcompiler_47/vkd3d" "$work/build/ogg-others"
touch "$work/build/standins/d3dcompiler_47/vkd3d/complete" "$work/build/ogg-others/complete" \
    "$work/installed"
cat >"$stubs/apt-get" <<STUB
#!/bin/sh
[ "\$1" = install ] || exit 0
for p in "\$@"; do
    case "\$p" in
    *:i386) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;;
    esac
done
for p in "\$@"; do
    case "\$p" in -*|install) ;; *) echo "\$p" >>"$work/installed" ;; esac
done
STUB
cat >"$stubs/dpkg-query" <<STUB
#!/bin/sh
for package in "\$@"; do :; done
grep -qx "\$package" "$work/installed" && printf 'install ok installed'
STUB
printf '#!/bin/sh\nexit 0\n' >"$stubs/dpkg"
printf '#!/bin/sh\necho 0\n' >"$stubs/id"
chmod +x "$stubs"/*

for arch in 64 32; do
    status=0
    PATH="$stubs:$PATH" FW_RUNS_I386=1 FW_ARCH=$arch sh "$fw_root/tools/deps.sh" "$work/build" \
        >"$work/out" 2>"$work/err" || status=$?
    cat "$work/err"
    lines=$(grep -c '^deps.sh: the 32-bit packages cannot be installed here, 32-bit programs can be built but not run' "$work/err")
    if [ "$arch" = 64 ]; then
        check "64-bit work goes on: exit code 0" [ "$status" = 0 ]
        check "the 64-bit packages are installed" grep -qx wine64 "$work/installed"
        check "and the cross compiler" grep -qx g++-mingw-w64-i686 "$work/installed"
        check "one line names what is missing" [ "$lines" = 1 ]
        check "it names wine32:i386" grep -q 'missing:.*wine32:i386' "$work/err"
        check "it gives apt's error" grep -q 'held broken packages' "$work/err"
    else
        check "a 32-bit caller fails with 4" [ "$status" = 4 ]
        check "with the same one line" [ "$lines" = 1 ]
    fi
done
# A kernel that runs no i386 programs: no 32-bit Wine is tried at all (it
# would stop the 64-bit one), one line says why, a 32-bit caller fails with 4.
for arch in 64 32; do
    status=0
    : >"$work/installed"
    PATH="$stubs:$PATH" FW_RUNS_I386=0 FW_ARCH=$arch sh "$fw_root/tools/deps.sh" "$work/build" \
        >"$work/out" 2>"$work/err" || status=$?
    check "no i386 kernel, $arch-bit: exit code" [ "$status" = "$([ "$arch" = 64 ] && echo 0 || echo 4)" ]
    check "no i386 kernel, $arch-bit: wine32 not tried" sh -c "! grep -q wine32 '$work/installed'"
    check "no i386 kernel, $arch-bit: the line says why" grep -q "kernel runs no i386 programs" "$work/err"
done
[ "$failed" = 0 ] && echo PASS
exit "$failed"
