#!/bin/sh
# How the game's sounds were made (22050 Hz, mono), with sox, then Ogg
# Vorbis with oggenc (quality 2):
#   sh sounds.sh [DIR]
# hit.ogg     a short bright blip: a brick breaks (the game raises its pitch
#             for the upper rows)
# bounce.ogg  a shorter, lower tick: a wall or the paddle
# lose.ogg    a falling tone: the ball is lost
set -eu
dir=${1:-.}
fmt="-r 22050 -b 16 -c 1"
sox -n $fmt "$dir/hit.wav" synth 0.12 square 880 fade 0 0.12 0.1 gain -n -6
sox -n $fmt "$dir/bounce.wav" synth 0.05 sine 440 fade 0 0.05 0.04 gain -n -6
sox -n $fmt "$dir/lose.wav" synth 0.5 sine 600-150 fade 0 0.5 0.3 gain -n -6
for name in hit bounce lose; do
    oggenc -Q -q 2 -o "$dir/$name.ogg" "$dir/$name.wav"
    rm "$dir/$name.wav"
done
