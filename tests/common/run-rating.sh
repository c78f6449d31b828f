#!/bin/sh
# Two starts of the demo count two uses of this version in the user defaults.
set -e
engine="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
export XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state"
export XDG_CACHE_HOME="$work/cache" XDG_DATA_HOME="$work/data" ENGINE_ANALYTICS_BASE_URL="http://127.0.0.1:9"
unset DEMO_SERVER
for run in 1 2; do
  out=$("$engine" --user "$work/user" --frames 2)
  echo "$out" | grep -q "Notifying RatingPrompt of app launch"
done
python3 - "$work/config/engine/defaults.json" <<'PY'
import json, sys
d = json.load(open(sys.argv[1]))
print(d)
assert d["kRatingPromptUseCount"] == 2, d
assert d["kRatingPromptFirstUseDate"] > 0, d
assert d["kRatingPromptCurrentVersion"], d
PY
