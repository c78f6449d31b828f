#!/bin/sh
# The packer: same bytes whatever the file times, a round trip through unpack,
# and a clear failure naming a file that is not a pack.
set -e
datapack="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
printf 'answer = 42\nname = "x"\n' > "$work/a.lua"
"$datapack" pack "$work/a.lua" "$work/one.pak"
touch -d "2001-01-01 00:00:00" "$work/a.lua"
"$datapack" pack "$work/a.lua" "$work/two.pak"
cmp "$work/one.pak" "$work/two.pak"
test $(( $(stat -c %s "$work/one.pak") % 16 )) -eq 0
"$datapack" unpack "$work/one.pak" > "$work/back.lua"
cmp "$work/a.lua" "$work/back.lua"
# Packing over an existing output replaces it.
printf 'answer = 43\n' > "$work/a.lua"
"$datapack" pack "$work/a.lua" "$work/one.pak"
test "$("$datapack" unpack "$work/one.pak")" = "answer = 43"
for bad in "$work/a.lua" "$work/missing.pak"; do
	set +e
	msg=$("$datapack" unpack "$bad" 2>&1)
	rc=$?
	set -e
	test $rc -eq 1
	echo "$msg" | grep -q "$bad"
done
head -c 32 "$work/one.pak" > "$work/cut.pak"
set +e
"$datapack" unpack "$work/cut.pak" >/dev/null 2>&1
test $? -eq 1 || exit 1
exit 0
