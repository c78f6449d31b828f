#!/bin/sh
# tools/new-game: the starter game is written, packed and played headless; edited sources are
# kept and packed again; a main script without a required function, or with an error, stops the
# start naming it. With "window": played in a window under a virtual X server, where a click
# drops a box (apart, since a window's GL driver keeps blocks the leak check would report).
# Usage: new-game.sh ENGINE SOURCE_DIR WORK [window]
set -e
. "$(dirname "$0")/wait-for-line.sh"
engine="$1"
repo="$2"
work="$3"
mode="${4:-headless}"
. "$(dirname "$0")/work-folder.sh"
# stdbuf (line-buffered output to wait on) preloads its library ahead of the sanitizers' runtime.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
export ENGINE_BUILD="$(dirname "$engine")"
game="$work/mygame"
src="$game/src/scripts_common/gamelogic.lua"

# Pixels of a colour in the frame below the score panel.
pixels() {
	convert "$1" -crop 960x560+0+80 +repage -fuzz 3% -fill white -opaque "$2" -fill black +opaque white \
		-format '%[fx:round(mean*w*h)]' info:
}
# The frame holds the floor along its bottom and at least the given number of boxes.
check_frame() {
	floor=$(pixels "$1" "rgb(90,160,60)")
	box=$(pixels "$1" "rgb(230,140,40)")
	echo "$1: floor $floor pixels, box $box pixels"
	test "$floor" -ge 30000
	test "$box" -ge $((${2:-1} * 1400))
}

out=$("$repo/tools/new-game" "$game")
echo "$out"
echo "$out" | grep -q "wrote src/scripts_common/gamelogic.lua"
for f in levels/level1.lua content/content.lua audio/drop.wav; do test -s "$game/src/$f"; done
# Packed as the engine reads them: enciphered, the source inside.
"$ENGINE_BUILD/tools/datapack/datapack" unpack "$game/data_iphone/scripts_common/gamelogic.lua" | cmp - "$src"
test -s "$game/data_iphone/images/game.sheet"
test -s "$game/data_iphone/audio/drop.wav"
test -s "$game/data_iphone/shaders/2d-sprite.fx"
test -s "$game/gamecenter-catalogue.json"

if [ "$mode" = window ]; then
	# In a window under a virtual X server, 120 frames hold the floor and a box too.
	out=$(xvfb-run -a -n "$((100 + $$ % 400))" -s "-screen 0 1280x1024x24" \
		"$engine" --data "$game" --window --user "$work/window" --frames 120 --capture "$work/window.png")
	echo "$out"
	echo "$out" | grep -q "starter: dropped box1"
	check_frame "$work/window.png"

	# Played: a click drops a second box where it is made, and it lands.
	cat > "$work/click.sh" <<EOF
set -e
. "$(dirname "$0")/wait-for-line.sh"
sh -c 'echo \$\$ > "$work/engine.pid"; exec stdbuf -oL "$engine" --data "$game" --window --user "$work/played"' > "$work/played.log" 2>&1 &
wait_for_line "starter: resumed" "$work/played.log"
window=\$(timeout 30 xdotool search --sync --onlyvisible --name '^engine\$' | head -n 1)
xdotool mousemove --window "\$window" 200 300 click 1
wait_for_line "starter: impact floor box2" "$work/played.log"
kill -TERM \$(cat "$work/engine.pid")
wait
EOF
	xvfb-run -a -n "$((100 + ($$ + 7) % 400))" -s "-screen 0 1280x1024x24" sh "$work/click.sh"
	cat "$work/played.log"
	grep -q "starter: dropped box2" "$work/played.log"
	grep -q "starter: paused" "$work/played.log"
	exit 0
fi

# Headless, 120 frames: the first box has landed on the floor and scored.
out=$("$engine" --data "$game" --user "$work/user" --frames 120 --capture "$work/headless.png")
echo "$out"
echo "$out" | grep -q "starter: level level1 loaded"
echo "$out" | grep -q "starter: impact floor box1, score [1-9]"
if echo "$out" | grep -q "EXCEPTION\|has no function"; then exit 1; fi
check_frame "$work/headless.png"
# Its state is kept under the game's name, its best score in its save file.
test -s "$work/state/mygame/gamecenter.json"
test -s "$work/user/highscores.lua"

# Run again after an edit: the edited source stays as it is and is packed again.
sed -i 's/say("dropped " .. name)/say("let go of " .. name)/' "$src"
out=$("$repo/tools/new-game" "$game")
echo "$out"
echo "$out" | grep -q "kept  src/scripts_common/gamelogic.lua"
grep -q 'say("let go of " .. name)' "$src"
out=$("$engine" --data "$game" --user "$work/edited" --frames 2)
echo "$out" | grep -q "starter: let go of box1"

. "$(dirname "$0")/../support/expect-exit.sh"
# Without a function the engine calls, the start stops and names it.
cp "$src" "$work/gamelogic.lua"
sed -i 's/^function draw()/function drawn()/' "$src"
"$repo/tools/new-game" "$game" > /dev/null
expect_exit "$engine" 1 "the game's script has no function draw, called every frame, after update, to draw it" \
	--data "$game" --user "$work/broken" --frames 2
# An error inside a function the engine calls names the packed script's file and line.
cp "$work/gamelogic.lua" "$src"
sed -i 's/^function update(scaledDt, dt)$/&\n\tlocal missing = nil\n\tmissing.field = 1/' "$src"
line=$(grep -n "missing.field = 1" "$src" | cut -d: -f1)
"$repo/tools/new-game" "$game" > /dev/null
expect_exit "$engine" 1 "scripts_common/gamelogic.lua:$line: attempt to index local 'missing' (a nil value)" \
	--data "$game" --user "$work/broken" --frames 2
exit 0
