#!/bin/sh
# Makes the demo's sounds into the given folder: WAV effects (sox), a looping MP3 music track (lame)
# and three jingle parts played one after the other. All 44.1 kHz, 16-bit; effects mono, the rest stereo.
set -e
out="$1"
mkdir -p "$out"
tmp="$out/.tmp"
mkdir -p "$tmp"
S="sox -q -R -V1"

# Effects.
$S -n -r 44100 -c 1 -b 16 "$out/hit.wav" synth 0.12 brownnoise fade q 0 0.12 0.1 vol 0.8
$S -n -r 44100 -c 1 -b 16 "$out/pop.wav" synth 0.08 pluck C5 fade q 0 0.08 0.06 vol 0.7
$S -n -r 44100 -c 1 -b 16 "$out/whoosh.wav" synth 0.5 pinknoise band -n 1200 800 fade h 0.2 0.5 0.3 vol 0.6
$S -n -r 44100 -c 1 -b 16 "$out/break.wav" synth 0.25 square 180 square 113 fade q 0 0.25 0.2 vol 0.4
# A lost level: a falling tone.
$S -n -r 44100 -c 1 -b 16 "$out/lose.wav" synth 0.7 sine 440-180 fade q 0.01 0.7 0.3 vol 0.5

# Music: a four-chord loop, two seconds per chord, encoded by lame.
for chord in "C3 E3 G3" "A2 C3 E3" "F2 A2 C3" "G2 B2 D3"; do
  set -- $chord
  i=$((${i:-0} + 1))
  $S -n -r 44100 -c 2 -b 16 "$tmp/chord$i.wav" synth 2 pluck "$1" pluck "$2" pluck "$3" fade q 0.02 2 0.3 vol 0.5
done
$S "$tmp/chord1.wav" "$tmp/chord2.wav" "$tmp/chord3.wav" "$tmp/chord4.wav" "$tmp/music.wav"
lame --quiet -b 128 "$tmp/music.wav" "$out/music.mp3"

# Jingle in three parts.
$S -n -r 44100 -c 2 -b 16 "$out/jingle1.wav" synth 0.2 sine C5 fade q 0.01 0.2 0.05 vol 0.5
$S -n -r 44100 -c 2 -b 16 "$out/jingle2.wav" synth 0.2 sine E5 fade q 0.01 0.2 0.05 vol 0.5
$S -n -r 44100 -c 2 -b 16 "$out/jingle3.wav" synth 0.5 sine G5 fade q 0.01 0.5 0.3 vol 0.5

rm -rf "$tmp"
