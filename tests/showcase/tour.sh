#!/bin/sh
# The showcase under Wine with the virtual game controller, taken through the
# tour of tools/lib/showcase.sh; then what its screenshots and console lines
# show. Needs the display and Wine settings of tools/lib/env.sh.
#   sh tour.sh SOURCE_DIR BUILD_DIR RUN_DIR
set -u
fw_root=$1
fw_build=$2
run=$3
fw_program=showcase
fw_title="fw showcase"
: "${WINEDLLOVERRIDES:=mscoree,mshtml=}"
. "$fw_root/tools/lib/demo.sh"
. "$fw_root/tools/lib/showcase.sh"

rm -rf "$run"
mkdir -p "$run/shots"
fw_demo_prepare "$run"
cp "$fw_build/showcase/"*.wav "$fw_build/showcase/"*.ogg "$fw_build/showcase/spark.png" "$run/"
fw_demo_start "$run"
fw_demo_find_window && fw_showcase_tour "$run/shots"
if ! status=$(fw_demo_wait 30); then
    status="none: it did not end"
    [ -n "${fw_demo_window:-}" ] && xdotool windowkill "$fw_demo_window" 2>/dev/null
fi
log="$run/boxes.txt"
shots="$run/shots"
echo "exit code: $status"
cat "$log"

failed=0
above() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
# pixels IMAGE... CROP FX: how many pixels of the crop satisfy FX (in HSB: r
# is the hue, g the saturation, b the brightness; u the first image, v the
# second). (ImageMagick 7, in the DXVK root, prints a line "list" of its own
# before the figure after -fx: the figure is the last line.)
pixels() {
    n=$(($# - 2))
    eval "crop=\${$(($# - 1))} fx=\${$#}"
    images=""
    for i in $(seq "$n"); do eval "images=\"\$images \${$i}\""; done
    # shellcheck disable=SC2086
    convert $images -crop "$crop" +repage -colorspace HSB -fx "$fx" -format '%[fx:round(mean*w*h)]' info: | tail -n 1
}
brightness() { convert "$1" -colorspace gray -format '%[fx:mean]' info:; }

check "exit code 0" [ "$status" = 0 ]
check "no message box" [ -z "$(grep 'message box' "$log")" ]

# The title in its colour, and the status line's pale text, where they are
# drawn (in a picture without trails).
title=$(convert "$shots/2-no-trails-a.png" -crop 260x50+20+14 -fuzz 12% -fill white -opaque '#FFD040' \
    -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:)
status_line=$(pixels "$shots/2-no-trails-a.png" 330x20+24+72 'g<0.25 && b>0.6')
echo "text pixels: $title in the title's place, $status_line in the status line's"
check "the title is drawn" above "$title" 500
check "the status line is drawn" above "$status_line" 60

# Sparks: saturated, bright pixels below the text lines.
field=800x440+0+100
sparks=$(pixels "$shots/2-no-trails-a.png" $field 'g>0.5 && b>0.3')
echo "spark-coloured pixels: $sparks"
check "thousands of sparks are drawn" above "$sparks" 20000
# The spark image's black background is keyed out: no pixel of the field is
# darker than the background colour (0x080C18), as the square corners of an
# unkeyed image would be.
black=$(convert "$shots/2-no-trails-a.png" -crop $field +repage -fx 'r+g+b < 10/255' \
    -format '%[fx:round(mean*w*h)]' info: | tail -n 1)
echo "black pixels: $black"
check "the sparks are round: the image's background is keyed out" [ "$black" = 0 ]

# Trails: of the bright pixels of one picture, the share that the next
# picture shows still lit in the same field but dimmer (a spark has left
# them), with trails and without.
left() {
    bright=$(pixels "$1-a.png" $field 'b>0.45 && g>0.4')
    dimmer=$(pixels "$1-a.png" "$1-b.png" $field 'u.b>0.45 && u.g>0.4 && v.b>0.12 && v.b<0.4 && v.g>0.3')
    awk -v d="$dimmer" -v b="$bright" 'BEGIN { printf "%.4f", b ? d / b : 0 }'
}
with=$(left "$shots/1-trails")
without=$(left "$shots/2-no-trails")
echo "share of spark pixels lit but dimmer a frame later: $with with trails, $without without"
check "sparks leave trails" above "$with" "$(awk -v w="$without" 'BEGIN { print 1.5 * w }')"

# The glow brightens the picture (trails off in both, a moment apart).
plain=$(brightness "$shots/2-no-trails-a.png")
glow=$(brightness "$shots/3-glow.png")
echo "mean brightness: $plain without glow, $glow with"
check "the glow key brightens the picture" above "$glow" "$(awk -v p="$plain" 'BEGIN { print 1.15 * p }')"

# Sound: the music plays from the start, the chime after Z, the music stops
# and plays again after S twice, the pop after controller button 1.
# (Lines end in CR LF: the program's standard output is in text mode.)
sounds=$(tr -d '\r' <"$log" | grep -E '^(music|chime|pop): (playing|stopped)$' | awk '
    BEGIN { n = split("music: playing,chime: playing,music: stopped,music: playing,pop: playing", want, ",") }
    $0 == want[i + 1] { i++ }
    END { print i == n ? "in order" : "missing " want[i + 1] }')
echo "sound lines: $sounds"
check "the sound channels play, stop and play again" [ "$sounds" = "in order" ]

[ "$failed" = 0 ] && echo PASS
exit "$failed"
