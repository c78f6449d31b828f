#!/bin/sh
# The demo under a virtual X server opens its help page, which calls the game back.
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
# The page opens on the help button; DEMO_HELP opens it through the same call at start, and with "exit"
# the demo ends once the page called back. 90 s bound that wait (the page calls back within seconds).
out=$(DEMO_HELP=exit xvfb-run -a -n "$((100 + $$ % 400))" -s "-screen 0 1280x1024x24" \
  timeout 90 "$engine" --window --user "$work/user" 2>"$work/stderr")
rc=$?
echo "$out"
if [ $rc -ne 0 ]; then
  grep -v '^ALSA lib\|^AL lib' "$work/stderr" | tail -40
  [ $rc -eq 124 ] && echo "the demo did not end within 90 s: the page never called back"
  echo "engine exited with $rc"
  exit 1
fi
echo "$out" | grep -q "^demo: web page loaded Demo help$" || { echo "no page-loaded line"; exit 1; }
echo "$out" | grep -q "^demo: web call ready help$" || { echo "no page-call line"; exit 1; }
