#!/bin/sh
# Makes the showcase's sounds with sox (and the music's Ogg Vorbis with
# oggenc) in the folder DIR:
#   sh showcase/sounds.sh DIR
# music.ogg  eight seconds of plucked arpeggios over a soft pad, looped by the
#            program (a streamed channel); 22050 Hz, stereo, Vorbis quality 4
#            (82 KB, where the 16-bit wave file is 706 KB)
# chime.wav  a bright bell of half a second (static channel)
# pop.wav    a short falling blip (static channel)
set -eu
dir=$1
mkdir -p "$dir"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fmt="-r 22050 -b 16 -c 2"

# Four bars of four notes: A minor, F, C, G.
i=0
for chord in "A3 C4 E4 A4" "F3 A3 C4 F4" "C4 E4 G4 C5" "G3 B3 D4 G4"; do
    for note in $chord $chord; do
        i=$((i + 1))
        sox -n $fmt "$tmp/n$(printf %02d $i).wav" synth 0.25 pluck "$note" gain -6 fade 0 0.25 0.1
    done
done
sox "$tmp"/n*.wav "$tmp/arp.wav"
sox -n $fmt "$tmp/pad.wav" synth 8 sine A2 sine E3 tremolo 0.5 40 gain -20 fade 0.5 8 0.5
sox -m "$tmp/arp.wav" "$tmp/pad.wav" "$tmp/music.wav" reverb 30 gain -n -3
oggenc -Q -q 4 -o "$dir/music.ogg" "$tmp/music.wav"

sox -n $fmt "$dir/chime.wav" synth 0.5 pluck E6 pluck B6 gain -6 fade 0 0.5 0.4 gain -n -3
sox -n $fmt "$dir/pop.wav" synth 0.15 sine 900-200 fade 0 0.15 0.1 gain -n -3
