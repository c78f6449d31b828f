#!/bin/sh
# Start-up to the first frame, headless: the engine's `--frames 1` against an empty LÖVE game
# quitting after its first frame, run alternately; prints each median wall time, their ratio and
# the shared libraries each executable maps at exec. Installs nothing; without `love` (Debian's
# package) only the engine is measured. Not part of CI: timings need a quiet machine.
#
#   tools/startup-compare.sh [ROUNDS]     (default 5; build/engine must exist)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
engine="$here/build/engine"
rounds=${1:-5}
[ -x "$engine" ] || { echo "build/engine is missing: build first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

love=$(command -v love || true)
if [ -n "$love" ]; then
	mkdir -p "$work/empty"
	cat > "$work/empty/conf.lua" <<'LUA'
function love.conf(t) t.window.vsync = 0 end
LUA
	cat > "$work/empty/main.lua" <<'LUA'
local frames = 0
function love.draw() frames = frames + 1 if frames >= 1 then love.event.quit() end end
LUA
fi

# Wall seconds of one run, from GNU time.
wall() {
	/usr/bin/time -f %e -o "$work/t" "$@" > /dev/null 2>&1 || true
	tail -n 1 "$work/t"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

: > "$work/engine.txt"
: > "$work/love.txt"
i=0
while [ "$i" -lt "$rounds" ]; do
	wall env -u DISPLAY -u WAYLAND_DISPLAY "$engine" --frames 1 --user "$work/user" >> "$work/engine.txt"
	if [ -n "$love" ]; then
		wall env SDL_VIDEODRIVER=offscreen "$love" "$work/empty" >> "$work/love.txt"
	fi
	i=$((i + 1))
done

e=$(median < "$work/engine.txt")
echo "engine --frames 1 (headless): median ${e} s of $rounds; $(ldd "$engine" | wc -l) shared libraries"
if [ -n "$love" ]; then
	l=$(median < "$work/love.txt")
	echo "love, empty game, first frame: median ${l} s of $rounds; $(ldd "$love" | wc -l) shared libraries"
	awk -v e="$e" -v l="$l" 'BEGIN { if (l > 0) printf "ratio engine/love: %.2f\n", e / l }'
else
	echo "love is not installed (Debian package love): no side-by-side"
fi
