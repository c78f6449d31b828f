#!/bin/sh
# Runs the demo level for 30 s of game time: it is built, the projectile is
# launched, the reports come every half second and the world settles.
set -e
engine="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
out=$("$engine" --user "$work/user" --frames 1800)
echo "$out" | grep '^physics:'
echo "$out" | grep -q '^physics: level built, 21 objects$'
echo "$out" | grep -q '^physics: launch shot$'
echo "$out" | grep -Eq '^physics: t=0\.5 awake=true moving=(true|false) stepms=[0-9.]+ projectile=-40\.00,25\.50$'
test "$(echo "$out" | grep -c '^physics: t=')" -ge 59
echo "$out" | grep -Eq '^physics: settled at t=[0-9]+\.[0-9]$'
# The launch comes at 1 s of game time, before the world settles.
launch=$(echo "$out" | grep -n '^physics: launch' | cut -d: -f1)
settled=$(echo "$out" | grep -n '^physics: settled' | cut -d: -f1)
test "$launch" -lt "$settled"
