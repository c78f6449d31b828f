#!/bin/sh
# The intro video's picture appears in the game window: captures of the window while the video
# plays find the clip's colour bars (yellow, cyan and magenta where the clip has them).
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
. "$(dirname "$0")/x11-input.sh"
x11_play
wait_for_line "demo: video started" "$log" 60
# The clip (320x240) is fitted to the 960x640 window: 853 pixels wide from x 53, bars in its top two thirds.
pixel() {
	convert "$work/capture.png" -format "%[fx:int(255*p{$1,200}.r)] %[fx:int(255*p{$1,200}.g)] %[fx:int(255*p{$1,200}.b)]" info:
}
bars() {
	set -- $(pixel 236) $(pixel 358) $(pixel 601)
	# yellow, cyan, magenta
	[ "$1" -gt 150 ] && [ "$2" -gt 150 ] && [ "$3" -lt 80 ] &&
		[ "$4" -lt 80 ] && [ "$5" -gt 150 ] && [ "$6" -gt 150 ] &&
		[ "$7" -gt 150 ] && [ "$8" -lt 80 ] && [ "$9" -gt 150 ]
}
# The game rests while the video plays and resumes once it has ended.
resumed=$(grep -ac "demo: resumed" "$log" || true)
found=""
until [ -n "$found" ]; do
	x11_capture "$work/capture.png"
	if bars; then
		found=yes
	elif [ "$(grep -ac "demo: resumed" "$log" || true)" -gt "$resumed" ]; then
		echo "the video ended and no capture showed its picture; the last capture: $work/capture.png" >&2
		exit 1
	fi
done
x11_stop_engine
test "$engine_status" -eq 0
