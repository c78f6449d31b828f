#!/bin/sh
# Runs the demo level for 30 s of game time: it is built, the projectile is
# launched, the reports come every half second and the world settles.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
out=$("$engine" --user "$work/user" --frames 1800)
echo "$out" | grep '^physics:'
echo "$out" | grep -q '^physics: level built, 28 objects$'
echo "$out" | grep -q '^physics: launch shot$'
echo "$out" | grep -Eq '^physics: t=0\.5 awake=true moving=(true|false) stepms=[0-9.]+ projectile=-40\.00,25\.50$'
test "$(echo "$out" | grep -c '^physics: t=')" -ge 59
echo "$out" | grep -Eq '^physics: settled at t=[0-9]+\.[0-9]$'
# The launch comes at 1 s of game time, before the world settles.
launch=$(echo "$out" | grep -n '^physics: launch' | cut -d: -f1)
settled=$(echo "$out" | grep -n '^physics: settled' | cut -d: -f1)
test "$launch" -lt "$settled"
# Contacts, damage, joints, fields and queries.
for line in 'enter field shot' 'exit field shot' 'in field shot' 'killed pebble' 'destroyed pebble' \
	'destroyed target_1' 'joint broken glue'; do
	echo "$out" | grep -qx "physics: $line"
done
echo "$out" | grep -Eq '^physics: hit shot target_1 impact=[0-9.]+ damage=2$'
echo "$out" | grep -Eq '^physics: block [a-z_0-9]+ [a-z_0-9]+ impact=[0-9.]+ damage=-?[0-9]+$'
echo "$out" | grep -Eq '^physics: query [1-9][0-9]*$'
echo "$out" | grep -Eq '^physics: ray [1-9][0-9]*$'
