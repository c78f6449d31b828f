# expect_exit PROGRAM CODE TEXT ARGS...: runs PROGRAM with ARGS and fails the test unless it
# exits with CODE and what it prints (output and errors) holds TEXT.
expect_exit() {
	program=$1 code=$2 text=$3
	shift 3
	set +e
	out=$("$program" "$@" 2>&1)
	rc=$?
	set -e
	if [ $rc -ne "$code" ] || ! printf '%s\n' "$out" | grep -qF -- "$text"; then
		echo "$(basename "$program") $*: exit $rc (want $code), output: $out (want: $text)"
		exit 1
	fi
}
