#!/bin/sh
# A window destroyed from outside (xdotool windowclose, as a failing window manager or a remote
# desktop may do) ends the run as a close does: the saves are written and the exit status is 0.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
. "$(dirname "$0")/x11-input.sh"
x11_play
wait_for_line "demo: shot ready at" "$log" 60
# Gone from the folder, still in the game: only the save at the end brings it back.
rm -f "$work/user/highscores.lua"
x11_close_window
x11_wait_engine 30
cat "$log"
test "$engine_status" -eq 0
test -s "$work/user/highscores.lua"
if grep -q "BadWindow\|BadDrawable\|X Error" "$log"; then exit 1; fi
