#!/bin/sh
# The demo played through real X11 input (xdotool under Xvfb): at 960x640 the first drag launches,
# a level is won (a shot on the tower's target, a lob onto the other one) and one is lost (three
# shots backwards), the first tap on the end panel starts the level again, and the help page opens
# and closes twice (its close link, the help button, the menu and back keys) with the game going
# on; at 800x480, and after a resize, the waiting shot is inside the window and a drag launches it.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
. "$(dirname "$0")/x11-input.sh"
x11_start 1280x1024x24
log="$work/run.log"

count() {
	grep -ac "$1" "$log" || true
}

# shot N: the position of the Nth waiting shot, as "X Y".
shot() {
	wait_for_lines "demo: shot ready at" "$log" "$1" 60
	grep -a "demo: shot ready at" "$log" | sed -n "$1p" | sed 's/.* at //; s/,/ /'
}

# inside X Y W H: the point lies in a W x H window.
inside() {
	[ "$1" -ge 0 ] && [ "$1" -lt "$3" ] && [ "$2" -ge 0 ] && [ "$2" -lt "$4" ] || {
		echo "the shot at $1,$2 is outside the ${3}x$4 window" >&2
		return 1
	}
}

# launch N DX DY: drags the Nth waiting shot by (DX, DY); that one drag launches it. Sets $before,
# the count of shot, won and lost lines before the launch (see outcome).
launch() {
	set -- "$1" "$2" "$3" $(shot "$1")
	launches=$(count "demo: launch")
	before=$(events)
	x11_drag "$4" "$5" $(($4 + $2)) $(($5 + $3))
	wait_for_lines "demo: launch" "$log" $((launches + 1)) 30
}

# next DX DY: launches the next shot to be made ready (after a launch or a restart).
next() {
	ready=$((ready + 1))
	launch "$ready" "$1" "$2"
}

# tap_restart: one tap on the end panel starts the level again.
tap_restart() {
	restarts=$(count "demo: level restarted")
	x11_tap 480 320
	wait_for_lines "demo: level restarted" "$log" $((restarts + 1)) 30
}

# outcome: after a launch, waits for what follows it: "ready" (the next shot), "won" or "lost".
outcome() {
	before=$1
	wait_for_lines "demo: \(shot ready at\|level won\|level lost\)" "$log" $((before + 1)) 60
	grep -a "demo: \(shot ready at\|level won\|level lost\)" "$log" | sed -n "$((before + 1))p" |
		sed 's/.*shot ready at.*/ready/; s/.*level won.*/won/; s/.*level lost.*/lost/'
}
events() {
	count "demo: \(shot ready at\|level won\|level lost\)"
}

x11_engine "$log" --user "$work/user" --size 960x640
x11_window

# The first drag launches.
ready=0
next -43 16
test "$(count "demo: launch")" -eq 1

# Won: the tower's target falls to the first shot and a lob takes the other one. Should a shot go
# astray, the level is lost and played again, at most three times.
result=$(outcome "$before")
for attempt in 1 2 3; do
	while [ "$result" = ready ]; do
		next -21 33
		result=$(outcome "$before")
	done
	[ "$result" = won ] && break
	tap_restart
	next -43 16
	result=$(outcome "$before")
done
test "$result" = won
# The first tap restarts.
tap_restart

# Lost: three shots backwards into the wall behind the launcher.
lost=$(count "demo: level lost")
for i in 1 2 3; do
	next 40 0
done
wait_for_lines "demo: level lost" "$log" $((lost + 1)) 60
tap_restart

# The help page: made at start, it opens over the game and closes, twice, and the game goes on.
wait_for_line "demo: web call ready help" "$log" 60
page=$(grep -a "demo: help page at" "$log" | tail -n 1 | sed 's/.* at //; s/[,x]/ /g')
set -- $page
# The close link, in the page's top right corner.
close_x=$(($1 + $3 - 60))
close_y=$(($2 + 28))
x11_key Menu
wait_for_lines "demo: help opened" "$log" 1 20
x11_tap "$close_x" "$close_y"
wait_for_lines "demo: help closed" "$log" 1 20
x11_tap 920 600
wait_for_lines "demo: help opened" "$log" 2 20
x11_key Escape
wait_for_lines "demo: help closed" "$log" 2 20
x11_engine_running
# The game goes on: the waiting shot launches.
next -43 16
x11_stop_engine
test "$engine_status" -eq 0

# At 800x480, and after a resize, the waiting shot is inside the window and launches.
log="$work/small.log"
x11_engine "$log" --user "$work/user-small" --size 800x480
x11_window
set -- $(shot 1)
inside "$1" "$2" 800 480
ready=0
next -43 16
shot 2 >/dev/null
x11_resize 1100 700
# The waiting shot is told again where the new window has put it.
ready=2
set -- $(shot 3)
inside "$1" "$2" 1100 700
next -43 16
x11_stop_engine
test "$engine_status" -eq 0
