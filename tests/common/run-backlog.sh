#!/bin/sh
# The demo with a backlog left by earlier runs: 30,000 unfinished purchases and 30,000 notifications
# due while it was closed. A termination signal in the middle of it ends the run at once; the next
# start hears the rest, and every one is heard exactly once over the two runs.
set -e
. "$(dirname "$0")/wait-for-line.sh"
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
count=30000
mkdir -p "$work/state/engine"
python3 - "$work/state/engine" $count <<'PY'
import json, sys
folder, count = sys.argv[1], int(sys.argv[2])
small = "com.tarvel.Zephyra.novaburstsmall"
ledger = {"nextTransaction": count + 1, "transactions": [
    {"id": "T%d" % i, "product": small, "quantity": 1, "date": "2025-01-01T00:00:00Z", "consumable": True,
     "state": "pending", "receipt": json.dumps({"product": small, "transaction": "T%d" % i})} for i in range(1, count + 1)]}
notes = {"notifications": [{"eventName": "n%d" % i, "fireTime": 1000 + i, "text": "", "sound": False} for i in range(1, count + 1)]}
json.dump(ledger, open(folder + "/store-ledger.json", "w"))
json.dump(notes, open(folder + "/notifications.json", "w"))
PY
"$engine" --user "$work/user" --frames 1000000 > "$work/first.log" &
pid=$!
wait_for_line "paymentFinished(com.tarvel.Zephyra.novaburstsmall" "$work/first.log" 60
kill -TERM $pid
# The run ends within a second or two of the signal, not once the backlog is through.
deadline=$(( $(date +%s) + 10 ))
while kill -0 $pid 2>/dev/null; do
	if [ "$(date +%s)" -ge "$deadline" ]; then
		kill -KILL $pid
		echo "the engine did not end after SIGTERM" >&2
		exit 1
	fi
	sleep 0.05
done
wait $pid
echo "first run: $(grep -c "demo: notification n" "$work/first.log") notifications and" \
	"$(grep -c "paymentFinished(com.tarvel.Zephyra.novaburstsmall" "$work/first.log") purchases heard before the signal"
"$engine" --user "$work/user" --frames 600 > "$work/second.log"
cat "$work/first.log" "$work/second.log" | grep "demo: notification n" | sort > "$work/heard.txt"
test "$(wc -l < "$work/heard.txt")" -eq $count
test -z "$(uniq -d "$work/heard.txt")"
test "$(cat "$work/first.log" "$work/second.log" | grep -c 'paymentFinished(com.tarvel.Zephyra.novaburstsmall,1,0)')" -eq $count
if grep -q novaburstsmall "$work/state/engine/store-ledger.json"; then exit 1; fi
exit 0
