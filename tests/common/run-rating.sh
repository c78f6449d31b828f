#!/bin/sh
# Two starts of the demo count two uses of this version in the user defaults.
set -e
engine="$1"
work="$2"
. "$(dirname "$0")/work-folder.sh"
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
