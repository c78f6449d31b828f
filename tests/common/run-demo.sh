#!/bin/sh
# Runs the demo twice through the engine: the first start captures a frame,
# the second finds the settings the first one saved.
set -e
. "$(dirname "$0")/wait-for-line.sh"
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
# A notification that fell due while the game was closed: the demo names its callback in its first frame.
mkdir -p "$work/state/engine"
echo '{"notifications": [{"eventName": "while-closed", "fireTime": 1000, "text": "Come back", "sound": false}]}' \
	> "$work/state/engine/notifications.json"
out=$("$engine" --user "$work/user" --frames 30 --capture "$work/frame.png")
echo "$out"
echo "$out" | grep -q "reportScoreWithCompletionHandler succeeded for demo.best!"
echo "$out" | grep -q "demo: achievement demo.first"
# The leaderboard state goes under the game's name (its folder, demo), not the user folder's.
test -s "$work/state/demo/gamecenter.json"
test ! -e "$work/state/user/gamecenter.json"
echo "$out" | grep -q "demo: start 1"
# The first start buys the level pack, sees the notification and plays the video.
echo "$out" | grep -q "demo: store com.tarvel.Zephyra.levelpackrimward 1 0"
echo "$out" | grep -q "demo: notification demo-welcome"
echo "$out" | grep -q "demo: notification while-closed"
if grep -q while-closed "$work/state/engine/notifications.json"*; then exit 1; fi
echo "$out" | grep -q "demo: video started"
echo "$out" | grep -q "demo: paused"
echo "$out" | grep -q "demo: resumed"
echo "$out" | grep -q "demo: file created settings.lua"
# First-start files are reported as made, never as failed.
if echo "$out" | grep -q "demo: file failed"; then exit 1; fi
echo "$out" | grep -q "demo: level level1 loaded"
echo "$out" | grep -q "demo: title Physics Demo"
echo "$out" | grep -q "demo: music playing true"
test -s "$work/frame.png"
out=$("$engine" --user "$work/user" --frames 2)
echo "$out"
echo "$out" | grep -q "demo: start 2"
# The second restores it instead.
echo "$out" | grep -q "demo: store com.tarvel.Zephyra.levelpackrimward 3 0"
if echo "$out" | grep -q "demo: store com.tarvel.Zephyra.levelpackrimward 1 0"; then exit 1; fi
if echo "$out" | grep -q "demo: file created settings.lua"; then exit 1; fi
# With DEMO_SERVER the main menu checks a URL and shows the advertisement.
python3 "$(dirname "$0")/demo-server.py" "$work/server-url" &
server=$!
trap 'kill $server 2>/dev/null' EXIT
wait_for_line "http" "$work/server-url"
# The demo ends itself once both replies came back; the frame count is only a bound.
out=$(DEMO_SERVER=$(cat "$work/server-url") DEMO_EXIT_AFTER_AD=1 "$engine" --user "$work/user" --frames 1000000)
kill $server
echo "$out"
echo "$out" | grep -q "<NATIVE> for url \["
echo "$out" | grep -q "demo: .*/check.txt answered demo-ok"
echo "$out" | grep -q "Native: Setting main menu ad ready to be shown to true"
echo "$out" | grep -q "demo: showing MAIN_MENU_AD_IMAGE 8x4 for "
# A termination signal ends the run the same way: the files are saved.
rm -rf "$work/user2"
"$engine" --user "$work/user2" --frames 1000000 > "$work/signal.log" &
pid=$!
wait_for_line "engine: SIGINT and SIGTERM end the game" "$work/signal.log"
kill -TERM $pid
wait $pid
test -s "$work/user2/settings.lua"
# Bad options and a missing bundle are refused with exit code 2.
set +e
"$engine" --frames x >/dev/null 2>&1; test $? -eq 2 || exit 1
"$engine" --data "$work" >/dev/null 2>&1; test $? -eq 2 || exit 1
exit 0
