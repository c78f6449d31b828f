# Real X11 input for the engine's tests: a private virtual X server, the engine in a window on it,
# and mouse and keys sent through the X server itself (xdotool's XTEST), so events take the same
# path as a player's: X server, SDL's X11 driver, the host. Injected SDL events skip all of that.
#
# Sourced by a test script (POSIX sh) after it has set $engine and $work:
#
#   . "$(dirname "$0")/x11-input.sh"
#   x11_start                      # Xvfb on a free display (optional argument: screen, default 1280x1024x24);
#                                  # exports DISPLAY; the server and the engine are stopped when the script exits
#   x11_wm                         # a window manager (evilwm) on that display; returns 1 when none is installed
#   x11_engine "$work/run.log" --user "$work/user" --size 960x640
#                                  # "$engine --window ARGS" in the background, its output line by line in the log,
#                                  # then waits for its window; sets $engine_pid and $window (the X11 id)
#   wait_for_line "demo: shot ready" "$work/run.log" 30      # from wait-for-line.sh
#   wait_for_lines "demo: launch" "$work/run.log" 2 30      # the second such line
#   line=$(last_line "demo: shot ready" "$work/run.log")
#   x11_drag 104 515 24 575        # press, move in steps, release; window pixels
#   x11_tap 480 320                # press and release in place
#   x11_key Escape                 # a key press and release (xdotool key names)
#   x11_resize 700 450             # the window's new size, in window pixels
#   x11_capture "$work/shot.png"   # the window as the screen shows it (ImageMagick's import)
#   x11_close_window               # destroys the window from outside (xdotool windowclose)
#   x11_stop_engine                # SIGTERM, waits; $engine_status holds the exit status
#   x11_play [ARGS...]             # x11_start, then x11_engine with --user "$work/user", output in $log
#   x11_wait_engine [SECONDS]      # waits for the engine to end by itself; fails after the bound (default 30)
#   within SECONDS "what did not happen" COMMAND...   # retries COMMAND until it succeeds, with a real-time bound
#
# Input events are spread out by short pauses (X11_STEP, default 0.03 s, about two frames) so the game sees
# a press, the moves and the release in different frames, as it would from a hand. A test waits for what the
# engine prints, never for a time.

# Beside this file: the caller's folder, or X11_INPUT_DIR for a caller elsewhere.
. "${X11_INPUT_DIR:-$(dirname "$0")}/wait-for-line.sh"
# stdbuf (line-buffered output to wait on) preloads its library ahead of the sanitizers' runtime.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"

X11_STEP=${X11_STEP:-0.03}
x11_server_pid=""
x11_wm_pid=""
engine_pid=""
engine_status=""

x11_cleanup() {
	[ -n "$engine_pid" ] && kill -TERM "$engine_pid" 2>/dev/null && wait "$engine_pid" 2>/dev/null
	[ -n "$x11_wm_pid" ] && kill "$x11_wm_pid" 2>/dev/null
	[ -n "$x11_server_pid" ] && kill "$x11_server_pid" 2>/dev/null
	return 0
}

# within SECONDS WHAT COMMAND...: runs COMMAND until it succeeds, for at most SECONDS of real time;
# then fails, saying "WHAT within SECONDS s".
within() {
	seconds=$1
	what=$2
	shift 2
	deadline=$(( $(date +%s) + seconds ))
	until "$@"; do
		if [ "$(date +%s)" -ge "$deadline" ]; then
			echo "$what within $seconds s" >&2
			return 1
		fi
		sleep 0.05
	done
}

x11_display_named() {
	grep -q '^[0-9]' "$work/x11-display" 2>/dev/null
}

x11_start() {
	trap 'x11_cleanup' EXIT
	trap 'exit 1' INT TERM
	rm -f "$work/x11-display"
	# The server picks a free display itself and names it once it accepts connections.
	Xvfb -displayfd 1 -screen 0 "${1:-1280x1024x24}" -nolisten tcp -noreset >"$work/x11-display" 2>"$work/xvfb.log" &
	x11_server_pid=$!
	within 30 "Xvfb did not start (see $work/xvfb.log)" x11_display_named
	DISPLAY=":$(head -n 1 "$work/x11-display")"
	export DISPLAY
}

x11_wm_managing() {
	xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"
}

x11_wm() {
	command -v evilwm >/dev/null 2>&1 || return 1
	# Xvfb has only its built-in fonts.
	evilwm -fn fixed >"$work/wm.log" 2>&1 &
	x11_wm_pid=$!
	# Managing has begun once the manager names itself on the root window.
	within 30 "the window manager did not start (see $work/wm.log)" x11_wm_managing
}

x11_engine() {
	log="$1"
	shift
	# Line-buffered, so the log holds each line as it is printed.
	stdbuf -oL -eL "$engine" --window "$@" >"$log" 2>&1 &
	engine_pid=$!
	within 30 "no engine window (see $log)" x11_window_found
}

# x11_play [ARGS...]: the usual start: Xvfb, then the engine with its saves in $work/user and its
# output in $log ($work/run.log).
x11_play() {
	x11_start
	log="$work/run.log"
	x11_engine "$log" --user "$work/user" "$@"
}

# x11_window: waits for the engine's window again (x11_engine already did); sets $window.
x11_window() {
	within 30 "no engine window" x11_window_found
}

x11_window_found() {
	window=$(xdotool search --onlyvisible --pid "$engine_pid" 2>/dev/null | head -n 1)
	[ -n "$window" ]
}

x11_has_lines() {
	[ "$(grep -ac "$1" "$2" 2>/dev/null)" -ge "$3" ]
}

# wait_for_lines TEXT FILE COUNT [SECONDS]: waits until FILE holds COUNT lines with TEXT, at most SECONDS (default 60).
wait_for_lines() {
	within "${4:-60}" "not $3 lines \"$1\" in $2" x11_has_lines "$1" "$2" "$3"
}

# last_line TEXT FILE: the last line of FILE holding TEXT.
last_line() {
	grep -a "$1" "$2" | tail -n 1
}

x11_drag() {
	steps=${5:-8}
	xdotool mousemove --window "$window" "$1" "$2"
	sleep "$X11_STEP"
	xdotool mousedown 1
	sleep "$X11_STEP"
	i=1
	while [ "$i" -le "$steps" ]; do
		xdotool mousemove --window "$window" $(( $1 + ($3 - $1) * i / steps )) $(( $2 + ($4 - $2) * i / steps ))
		sleep "$X11_STEP"
		i=$((i + 1))
	done
	xdotool mouseup 1
	sleep "$X11_STEP"
}

x11_tap() {
	xdotool mousemove --window "$window" "$1" "$2"
	sleep "$X11_STEP"
	xdotool mousedown 1
	sleep "$X11_STEP"
	xdotool mouseup 1
	sleep "$X11_STEP"
}

x11_key() {
	xdotool key --window "$window" "$1"
	sleep "$X11_STEP"
}

x11_resize() {
	xdotool windowsize "$window" "$1" "$2"
}

x11_capture() {
	import -window "$window" "$1"
}

x11_close_window() {
	xdotool windowclose "$window"
}

x11_stop_engine() {
	kill -TERM "$engine_pid" 2>/dev/null
	engine_status=0
	wait "$engine_pid" || engine_status=$?
	engine_pid=""
}

# Running: neither gone nor a zombie waiting to be reaped.
x11_engine_running() {
	state=$(sed 's/.*) //' "/proc/$engine_pid/stat" 2>/dev/null | cut -c1)
	[ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

x11_engine_ended() {
	! x11_engine_running
}

x11_wait_engine() {
	within "${1:-30}" "the engine did not end" x11_engine_ended
	engine_status=0
	wait "$engine_pid" || engine_status=$?
	engine_pid=""
}
