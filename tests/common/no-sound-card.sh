#!/bin/sh
# Started on a machine without a sound card, the engine says so in one line of its own: none of
# alsa-lib's or OpenAL Soft's complaints reach the terminal, unless the user asked OpenAL Soft for them.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
if [ -e /proc/asound/cards ] && ! grep -q "no soundcards" /proc/asound/cards; then
	echo "this machine has a sound card"
	exit 77
fi
out=$(env -u ALSOFT_DRIVERS -u ALSOFT_CONF -u ALSOFT_LOGLEVEL "$engine" --user "$work/user" --frames 3 2>&1)
echo "$out"
test "$(echo "$out" | grep -c "AudioOutput: no OpenAL device; mixing into a silent sink")" -eq 1
if echo "$out" | grep -q "ALSA lib\|AL lib"; then exit 1; fi
# A log level of the user's own is kept.
out=$(env -u ALSOFT_DRIVERS -u ALSOFT_CONF ALSOFT_LOGLEVEL=1 "$engine" --user "$work/user" --frames 3 2>&1)
echo "$out" | grep -q "AL lib: (EE)"
