#!/bin/sh
# The packer: same bytes whatever the file times, a round trip through unpack,
# a clear failure naming a file that is not a pack or cannot be read or written,
# and the usage line for bad arguments.
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
set -e

. "$(dirname "$0")/../support/expect-exit.sh"
expect() { expect_exit "$datapack" "$@"; }
mkdir -p "$work/folder" "$work/outdir.pak"
# Failing file operations name the file.
expect 1 "$work/folder" pack "$work/folder" "$work/out.pak"
expect 1 "$work/missing.lua" pack "$work/missing.lua" "$work/out.pak"
expect 1 "$work/outdir.pak" pack "$work/a.lua" "$work/outdir.pak"
expect 1 "$work/no/such/out.pak" pack "$work/a.lua" "$work/no/such/out.pak"
expect 1 "$work/folder" unpack "$work/folder"
test ! -e "$work/out.pak"
# Bad arguments get the usage line.
expect 2 "usage: datapack"
expect 2 "usage: datapack" pack
expect 2 "usage: datapack" pack "$work/a.lua"
expect 2 "usage: datapack" unpack
expect 2 "usage: datapack" bogus x y
expect 2 "usage: datapack" pack a b c
exit 0
