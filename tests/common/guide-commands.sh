#!/bin/sh
# Runs every command of docs/first-game.md in order, from a folder standing for the top of the
# tree (tools/ and build/ link to this tree's), so the guide stays true. A "sh" block's lines
# must each exit 0; a "sh window" block's lines play in a window under a virtual X server until
# the game has started, then get a termination signal and must end with 0. The guide's table of
# callbacks must be the engine's, and its operations must be registered.
# Usage: guide-commands.sh ENGINE SOURCE_DIR WORK
set -e
. "$(dirname "$0")/wait-for-line.sh"
engine="$1"
repo="$2"
work="$3"
. "$(dirname "$0")/work-folder.sh"
# stdbuf (line-buffered output to wait on) preloads its library ahead of the sanitizers' runtime.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0"
guide="$repo/docs/first-game.md"
export ENGINE_BUILD="$(cd "$(dirname "$engine")" && pwd)"
top="$work/top"
mkdir -p "$top"
ln -s "$repo/tools" "$top/tools"
ln -s "$ENGINE_BUILD" "$top/build"

# The commands, one per line: "sh<TAB>command" or "window<TAB>command".
awk '
	/^```sh window$/ { kind = "window"; next }
	/^```sh$/ { kind = "sh"; next }
	/^```/ { kind = ""; next }
	kind != "" && $0 !~ /^[ \t]*(#|$)/ { print kind "\t" $0 }
' "$guide" > "$work/commands"
test "$(wc -l < "$work/commands")" -ge 8

n=0
while IFS="$(printf '\t')" read -r kind command; do
	n=$((n + 1))
	echo "guide command $n ($kind): $command"
	if [ "$kind" = sh ]; then
		if ! (cd "$top" && sh -c "$command") > "$work/command-$n.log" 2>&1; then
			cat "$work/command-$n.log"
			echo "guide command $n failed: $command"
			exit 1
		fi
	else
		log="$work/command-$n.log"
		cat > "$work/window-$n.sh" <<WINDOW
set -e
. "$(dirname "$0")/wait-for-line.sh"
cd "$top"
sh -c 'echo \$\$ > "$work/window.pid"; exec stdbuf -oL $command' > "$log" 2>&1 &
wait_for_line "starter: resumed" "$log"
kill -TERM \$(cat "$work/window.pid")
wait \$!
WINDOW
		if ! xvfb-run -a -n "$((100 + ($$ + n) % 400))" -s "-screen 0 1280x1024x24" sh "$work/window-$n.sh"; then
			cat "$log"
			echo "guide command $n failed in a window: $command"
			exit 1
		fi
		grep -q "starter: paused" "$log"
	fi
	tail -n 3 "$work/command-$n.log"
done < "$work/commands"

# The callbacks' table is the engine's own.
"$engine" --list-operations > "$work/operations.md"
sed -n '/^## Callbacks/,/^## /p' "$work/operations.md" | grep '^| `' > "$work/callbacks"
test "$(wc -l < "$work/callbacks")" -ge 20
while IFS= read -r row; do
	if ! grep -qxF -- "$row" "$guide"; then
		echo "the guide's callbacks differ from the engine's; missing row: $row"
		exit 1
	fi
done < "$work/callbacks"
# Its twenty operations are registered.
sed -n '/^## Twenty operations/,/^## /p' "$guide" | sed -n 's/^| `\([A-Za-z_.]*\)` |.*/\1/p' > "$work/operations"
test "$(wc -l < "$work/operations")" -eq 20
while IFS= read -r name; do
	grep -q "^| \`${name#res.}\` |" "$work/operations.md" || { echo "the guide names $name, which is not registered"; exit 1; }
done < "$work/operations"
exit 0
