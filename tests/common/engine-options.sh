#!/bin/sh
# The engine's command line: help, unknown and incomplete options, a surface no
# renderer can make, and a main script that cannot be loaded. Each answer names
# its cause and ends with the right exit code.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"

. "$(dirname "$0")/../support/expect-exit.sh"
expect() { expect_exit "$engine" "$@"; }
expect 0 "usage: engine" --help
expect 0 "usage: engine" -h
expect 0 "usage: engine" --frames 3 --help
expect 2 "unknown option --bogus" --bogus
expect 2 "unknown option --bogus" --frames 1 --bogus
expect 2 "unknown option -x" -x 5
expect 2 "missing value for --frames" --frames
expect 2 "bad size: 0x10" --size 0x10
expect 1 "cannot make a 100000x100000 frame buffer" --user "$work/user" --size 100000x100000 --frames 1
# A portrait size for the landscape game is refused, not turned.
expect 1 "The game is landscape: a 480x800 surface is portrait; ask for 800x480" --user "$work/user" --size 480x800 --frames 1
# Help goes to standard output, complaints to standard error.
test -n "$("$engine" --help 2>/dev/null)"
# It gives where the game and the save files are looked for when not named.
"$engine" --help | grep -qF "here $(cd "$(dirname "$engine")" && pwd)/demo)"
"$engine" --help | grep -qF "here $XDG_DATA_HOME/engine)"
expect 2 "--list-operations takes no other option" --list-operations --frames 2
test -z "$("$engine" --bogus 2>/dev/null)" || exit 1

# The demo bundle with its main script damaged: the engine says so and stops.
demo="$(dirname "$engine")/demo/data_iphone"
for damage in flip cut; do
	root="$work/$damage"
	mkdir -p "$root/data_iphone/scripts_common"
	for entry in "$demo"/*; do
		[ "$(basename "$entry")" = scripts_common ] || ln -s "$entry" "$root/data_iphone/"
	done
	script="$root/data_iphone/scripts_common/gamelogic.lua"
	size=$(stat -c %s "$demo/scripts_common/gamelogic.lua")
	if [ $damage = cut ]; then
		head -c $((size - 5)) "$demo/scripts_common/gamelogic.lua" > "$script"
		cause="truncated ("
	else
		cp "$demo/scripts_common/gamelogic.lua" "$script"
		last=$(tail -c 1 "$script" | od -An -tu1 | tr -d ' ')
		printf "\\$(printf '%03o' $(( (last + 1) % 256 )))" | dd of="$script" bs=1 seek=$((size - 1)) conv=notrunc 2>/dev/null
		cause="bad padding"
	fi
	expect 1 "cannot decipher $script: $cause" --data "$root" --user "$work/user-$damage" --frames 2
	printf '%s\n' "$out" | grep -qF "Exception from game: cannot load the main script data_iphone/scripts_common/gamelogic.lua"
	if printf '%s\n' "$out" | grep -q "nil value"; then
		echo "engine went on without its main script: $out"
		exit 1
	fi
done
exit 0
