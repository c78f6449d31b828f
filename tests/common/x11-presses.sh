#!/bin/sh
# Every press counts through real X11 input: a drag sent faster than frames launches the shot, a
# press on the window after its focus went elsewhere launches the next one (with no window manager,
# where no focus comes back, and with one, where it comes just after the press), and the first tap
# on the panel of a finished level starts it again.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
. "$(dirname "$0")/x11-input.sh"
x11_play

# shot N: the position of the Nth shot ready, as "X Y".
shot() {
	wait_for_lines "demo: shot ready at" "$log" "$1" 60
	grep -a "demo: shot ready at" "$log" | sed -n "$1p" | sed 's/.* at //; s/,/ /'
}

# Takes the keyboard focus away from the game, to the root window, with the pointer outside.
unfocus() {
	xdotool mousemove 0 0
	xdotool windowfocus "$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')"
	wait_for_lines "demo: paused" "$log" "$1" 20
}

set -- $(shot 1)
# Press, drag and release in one go: they reach the engine within one frame.
xdotool mousemove --window "$window" "$1" "$2" mousedown 1 mousemove --window "$window" $(($1 - 50)) $(($2 + 40)) mouseup 1
wait_for_lines "demo: launch" "$log" 1 20

set -- $(shot 2)
unfocus $(($(grep -ac "demo: paused" "$log") + 1))
x11_drag "$1" "$2" $(($1 - 50)) $(($2 + 40))
wait_for_lines "demo: launch" "$log" 2 20

set -- $(shot 3)
x11_drag "$1" "$2" $(($1 - 50)) $(($2 + 40))
wait_for_lines "demo: level \(won\|lost\)" "$log" 1 60
x11_tap 480 320
wait_for_line "demo: level restarted" "$log" 20
x11_stop_engine
test "$engine_status" -eq 0

# Under a window manager, which gives the focus back when the pointer comes in.
if x11_wm; then
	x11_engine "$log" --user "$work/user-wm"
		set -- $(shot 1)
	unfocus $(($(grep -ac "demo: paused" "$log") + 1))
	# In and pressed at once: the focus comes about when the press does.
	xdotool mousemove --window "$window" "$1" "$2" mousedown 1
	for step in 1 2 3 4; do
		sleep "$X11_STEP"
		xdotool mousemove --window "$window" $(($1 - 12 * step)) $(($2 + 10 * step))
	done
	sleep "$X11_STEP"
	xdotool mouseup 1
	wait_for_lines "demo: launch" "$log" 1 20
	x11_stop_engine
	test "$engine_status" -eq 0
else
	echo "no window manager installed: only the runs without one"
fi
