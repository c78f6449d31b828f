#!/bin/sh
# The demo's analytics round trip against a local report server: each start
# reports the sessions closed before it, a run without the server keeps its
# record for the next one, and no record is delivered twice.
set -e
engine="$1"
work="$2"
here=$(dirname "$0")
. "$here/wait-for-line.sh"
rm -rf "$work"
mkdir -p "$work/reports"
export XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
server_pid=""
trap '[ -n "$server_pid" ] && kill $server_pid 2>/dev/null; true' EXIT

start_server() {
	rm -f "$work/port"
	python3 "$here/report-server.py" "$work/port" "$work/reports" &
	server_pid=$!
	wait_for_line "[0-9]" "$work/port"
	export ENGINE_ANALYTICS_BASE_URL="http://127.0.0.1:$(cat "$work/port")"
}

stop_server() {
	kill $server_pid
	wait $server_pid 2>/dev/null || true
	server_pid=""
}

run() {
	"$engine" --user "$work/user" --frames 2 > "$work/run.log"
	grep -q "Customer string: demo-player" "$work/run.log"
}

start_server
run
run
stop_server
run
start_server
run
run
stop_server

# Reports in arrival order: how many records carry the customer event (its
# parameter value; the event name also stands in the record's counts).
python3 - "$work/reports" <<'PY'
import os, sys
folder = sys.argv[1]
counts = [open(os.path.join(folder, n), "rb").read().count(b"demo-player") for n in sorted(os.listdir(folder))]
print("records with the customer event per report:", counts)
# Runs 1 and 2 reach the server; run 3 finds it down; runs 4 and 5 deliver what waited.
sys.exit(0 if counts == [0, 1, 2, 1] else 1)
PY
