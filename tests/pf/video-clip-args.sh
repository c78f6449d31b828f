#!/bin/sh
# The clip maker: the usage line and exit 2 for bad arguments, a message naming the
# file and exit 1 when it cannot be written.
set -e
tool="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
. "$(dirname "$0")/../support/expect-exit.sh"
expect() { expect_exit "$tool" "$@"; }
expect 2 "usage: make_video_clip"
expect 2 "bad frame count abc" "$work/a.ogv" abc
expect 2 "bad frame count 0" "$work/a.ogv" 0
expect 2 "bad size 10" "$work/a.ogv" 5 10
expect 2 "bad size 0x10" "$work/a.ogv" 5 0x10
expect 2 "usage: make_video_clip" "$work/a.ogv" 5 16x16 extra
expect 1 "$work/no/such/a.ogv" "$work/no/such/a.ogv" 2 16x16
"$tool" "$work/a.ogv" 2 16x16
test -s "$work/a.ogv"
