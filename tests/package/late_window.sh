#!/bin/sh
# tools/run.sh with a program whose window opens late and draws later still:
# every screenshot shows its first frame. And with a program that never opens
# one: the run ends with its line and exit code 1 after FW_WINDOW_WAIT.
#   sh late_window.sh SOURCE_DIR PROGRAM.exe
set -u
fw_root=$1
program=$2
failed=0
check() {
    description=$1
    shift
    if "$@"; then echo "ok: $description"; else echo "FAIL: $description"; failed=1; fi
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$fw_root" || exit 1
# Without DISPLAY tools/run.sh takes its shots on a virtual display of its own.
status=0
env -u DISPLAY sh tools/run.sh "$program" >"$work/out" 2>&1 || status=$?
cat "$work/out"
check "the program ends with exit code 0" [ "$status" = 0 ]
shots=$(sed -n 's/^screenshots in //p' "$work/out")
for shot in 1 2 3; do
    # The window's colour, 3070D0, over most of its 320 x 240 client area.
    drawn=0
    [ -f "$shots/$shot.png" ] && drawn=$(convert "$shots/$shot.png" -depth 8 -compress none ppm:- |
        awk '{ for (i = 1; i <= NF; i++) v[n++] = $i }
             END { for (p = 4; p + 2 < n; p += 3)
                       if (v[p] - 48 < 9 && 48 - v[p] < 9 && v[p+1] - 112 < 9 && 112 - v[p+1] < 9 &&
                           v[p+2] - 208 < 9 && 208 - v[p+2] < 9) c++
                   print c + 0 }')
    check "shot $shot shows the first frame ($drawn pixels of its colour)" [ "$drawn" -ge 60000 ]
done

status=0
env -u DISPLAY FW_LATE_NO_WINDOW=1 FW_WINDOW_WAIT=5 sh tools/run.sh "$program" >"$work/out" 2>&1 ||
    status=$?
cat "$work/out"
check "a program without a window ends the run with exit code 1" [ "$status" = 1 ]
check "and a line that says so" grep -q 'showed no window within 5 s' "$work/out"
[ "$failed" = 0 ] && echo PASS
exit "$failed"
