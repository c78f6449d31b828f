#!/bin/sh
# The demo in a window: under xvfb-run its last frame equals the headless one;
# on SDL's offscreen driver the window's options and the URL entry work.
set -e
. "$(dirname "$0")/wait-for-line.sh"
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
"$engine" --user "$work/headless" --frames 30 --capture "$work/headless.png" > "$work/headless.log"
out=$(xvfb-run -a -n "$((100 + $$ % 400))" -s "-screen 0 1280x1024x24" \
  "$engine" --window --user "$work/window" --frames 30 --capture "$work/window.png")
echo "$out"
echo "$out" | grep -q "demo: level level1 loaded"
echo "$out" | grep -q "demo: resumed"
echo "$out" | grep -q "demo: paused"
test -s "$work/window/settings.lua"
differing=$(compare -metric AE "$work/headless.png" "$work/window.png" null: 2>&1 || true)
echo "pixels differing from the headless frame: $differing"
test "$differing" = "0"

out=$(SDL_VIDEODRIVER=offscreen "$engine" --window --user "$work/url" --frames 3 --url "engine://demo/level1")
echo "$out"
echo "$out" | grep -q "UIApplication invoked via URL"
# A termination signal ends a window that runs until closed; the files are saved.
SDL_VIDEODRIVER=offscreen "$engine" --window --user "$work/signal" > "$work/signal.log" &
pid=$!
wait_for_line "engine: SIGINT and SIGTERM end the game" "$work/signal.log"
kill -TERM $pid
wait $pid
grep -q "demo: paused" "$work/signal.log"
test -s "$work/signal/settings.lua"
# In a window a capture needs a frame count.
set +e
SDL_VIDEODRIVER=offscreen "$engine" --window --capture "$work/x.png" >/dev/null 2>&1; test $? -eq 2 || exit 1
exit 0
