#!/bin/sh
# Makes the audio test fixtures: a 1 kHz tone as WAV (sox, repeatable dither) and its MP3 encoding (lame).
set -e
out="$1"
mkdir -p "$out"
sox -q -R -n -r 44100 -c 2 -b 16 "$out/tone.wav" synth 1.0 sine 1000 vol 0.5
lame --quiet -b 128 "$out/tone.wav" "$out/tone.mp3"
