#!/bin/sh
# Makes the audio test fixtures: a 1 kHz tone as WAV (sox, repeatable dither) and its MP3 encoding (lame),
# a sweep over pink noise (sound that keeps the encoder's bit reservoir busy) as a low-bitrate mono MP3
# and a VBR MP3, one with an ID3 tag in front, the tone cut short inside its last frame, headerless PCM,
# an Ogg Vorbis file, and two MP3s whose format changes in mid-file (stereo to mono and back).
set -e
out="$1"
mkdir -p "$out"
sox -q -R -n -r 44100 -c 2 -b 16 "$out/tone.wav" synth 1.0 sine 1000 vol 0.5
lame --quiet -b 128 "$out/tone.wav" "$out/tone.mp3"
sox -q -R -n -r 44100 -c 2 -b 16 "$out/sweep.wav" synth 2.5 sine 200-4000 pinknoise tremolo 5 70 vol 0.3
lame --quiet -V 9 -m m "$out/sweep.wav" "$out/low-mono.mp3"
lame --quiet -V 4 "$out/sweep.wav" "$out/vbr.mp3"
lame --quiet -b 96 --tt "Sweep" --id3v2-only "$out/sweep.wav" "$out/tagged.mp3"
size=$(wc -c < "$out/tone.wav")
head -c $((size - 1)) "$out/tone.wav" > "$out/cut.wav"
sox -q -R -n -r 44100 -c 2 -b 16 -e signed-integer -t raw "$out/noise.pcm" synth 0.5 whitenoise vol 0.9
sox -q -R -n -r 44100 -c 2 "$out/tone.ogg" synth 0.5 sine 1000 vol 0.5
cat "$out/tone.mp3" "$out/low-mono.mp3" > "$out/stereo-then-mono.mp3"
cat "$out/low-mono.mp3" "$out/tone.mp3" > "$out/mono-then-stereo.mp3"
