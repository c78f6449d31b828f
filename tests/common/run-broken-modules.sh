#!/bin/sh
# The demo with broken modules in its module folder plays on: a cut video module and a web
# module that is no library are refused by name before anything loads them (no WebView table);
# a video module of another build is refused by name, and a web module of this build that the
# loader cannot complete makes WebView.new answer nil. The help page is asked for at start; the
# display is only named (a broken module fails before anything opens it).
engine="$1"
work="$2"
video="$3"
stale="$4"
unresolved="$5"
. "$(dirname "$0")/work-folder.sh"
export ENGINE_MODULE_DIR="$work/modules" DISPLAY=:97 DEMO_HELP=1

run() {
	out=$("$engine" --user "$work/user" --frames 30 2>&1)
	rc=$?
	if [ $rc -ne 0 ]; then
		echo "$out" | grep -v '^ALSA lib\|^AL lib' | tail -40
		echo "engine exited with $rc ($1)"
		exit 1
	fi
}

expect_line() {
	echo "$out" | grep -qF "$1" || { echo "no line: $1"; echo "$out" | grep -v '^ALSA lib\|^AL lib' | tail -40; exit 1; }
}

mkdir -p "$work/modules"
head -c 4096 "$video" > "$work/modules/pf_video.so"
echo broken > "$work/modules/pf_webkit.so"
run "a cut video module, a web module that is no library"
expect_line "refused: Module pf_video could not be loaded: $work/modules/pf_video.so: truncated ("
expect_line "Web views are not available: Module pf_webkit could not be loaded: $work/modules/pf_webkit.so: file too short"
expect_line "demo: store com.tarvel.Zephyra.levelpackrimward 1 0"

cp "$stale" "$work/modules/pf_video.so"
cp "$unresolved" "$work/modules/pf_webkit.so"
run "a video module of another build, a web module that does not load"
expect_line "refused: Module pf_video could not be loaded: $work/modules/pf_video.so is from another build"
expect_line "WebView.new: Module pf_webkit could not be loaded: $work/modules/pf_webkit.so: undefined symbol"
expect_line "demo: store com.tarvel.Zephyra.levelpackrimward 3 0"
exit 0
