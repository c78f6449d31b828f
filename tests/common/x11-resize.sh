#!/bin/sh
# Window sizes through real X11: the landscape game in a window resized to portrait keeps its
# shape between black bars above and below, and a landscape resize fills the window again.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
. "$(dirname "$0")/x11-input.sh"
x11_start
log="$work/run.log"
x11_engine "$log" --user "$work/user"
x11_window
wait_for_line "demo: shot ready at" "$log" 60
# brightness X Y: the capture's grey level there, 0..255.
brightness() {
	convert "$work/capture.png" -format "%[fx:int(255*p{$1,$2}.intensity)]" info:
}
# until_capture TEST: captures until TEST holds, for at most 20 s (the resize reaches the game in a frame or two).
until_capture() {
	deadline=$(( $(date +%s) + 20 ))
	until x11_capture "$work/capture.png" && "$@"; do
		if [ "$(date +%s)" -ge "$deadline" ]; then
			echo "no capture within 20 s where $* holds: $work/capture.png" >&2
			return 1
		fi
		sleep 0.1
	done
}
# 450x700 keeps the start's 3:2: a 450x300 game from y 200 to 500.
letterboxed() {
	[ "$(brightness 225 100)" -eq 0 ] && [ "$(brightness 225 600)" -eq 0 ] && [ "$(brightness 225 350)" -gt 40 ]
}
filled() {
	[ "$(brightness 20 20)" -gt 40 ] && [ "$(brightness 20 680)" -gt 40 ]
}
x11_resize 450 700
until_capture letterboxed
x11_resize 1100 700
until_capture filled
x11_stop_engine
test "$engine_status" -eq 0
