#!/bin/sh
# The reference of the script operations in docs/ is what the engine registers: an operation
# added, changed or registered without the words of its arguments fails here.
set -e
engine="$1"
doc="$2"
work="$3"
. "$(dirname "$0")/work-folder.sh"
"$engine" --list-operations > "$work/operations.md"
if ! diff -u "$doc" "$work/operations.md"; then
	echo "docs/script-operations.md differs from the registrations: run"
	echo "  build/engine --list-operations > docs/script-operations.md"
	exit 1
fi
