#!/bin/sh
# Window sizes through real X11: the landscape game in a window resized to portrait keeps its
# shape between black bars above and below, and a landscape resize fills the window again.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
. "$(dirname "$0")/x11-input.sh"
x11_play
wait_for_line "demo: shot ready at" "$log" 60
# brightness X Y: the capture's grey level there, 0..255.
brightness() {
	convert "$work/capture.png" -format "%[fx:int(255*p{$1,$2}.intensity)]" info:
}
captured() {
	x11_capture "$work/capture.png" && "$@"
}
# 450x700 keeps the start's 3:2: a 450x300 game from y 200 to 500.
letterboxed() {
	[ "$(brightness 225 100)" -eq 0 ] && [ "$(brightness 225 600)" -eq 0 ] && [ "$(brightness 225 350)" -gt 40 ]
}
filled() {
	[ "$(brightness 20 20)" -gt 40 ] && [ "$(brightness 20 680)" -gt 40 ]
}
x11_resize 450 700
within 20 "no letterboxed capture ($work/capture.png)" captured letterboxed
x11_resize 1100 700
within 20 "no filled capture ($work/capture.png)" captured filled
x11_stop_engine
test "$engine_status" -eq 0
