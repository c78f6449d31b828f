#!/bin/sh
# The demo under a virtual X server opens its help page, which calls the game back.
set -e
engine="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
out=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$engine" --window --user "$work/user" --frames 360)
echo "$out"
echo "$out" | grep -q "^demo: web page loaded Demo help$"
echo "$out" | grep -q "^demo: web call ready help$"
