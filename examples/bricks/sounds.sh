#!/bin/sh
# How the game's wave files were made (22050 Hz, 16-bit, mono), with sox:
#   sh sounds.sh [DIR]
# hit.wav     a short bright blip: a brick breaks (the game raises its pitch
#             for the upper rows)
# bounce.wav  a shorter, lower tick: a wall or the paddle
# lose.wav    a falling tone: the ball is lost
set -eu
dir=${1:-.}
fmt="-r 22050 -b 16 -c 1"
sox -n $fmt "$dir/hit.wav" synth 0.12 square 880 fade 0 0.12 0.1 gain -n -6
sox -n $fmt "$dir/bounce.wav" synth 0.05 sine 440 fade 0 0.05 0.04 gain -n -6
sox -n $fmt "$dir/lose.wav" synth 0.5 sine 600-150 fade 0 0.5 0.3 gain -n -6
