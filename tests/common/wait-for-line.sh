# wait_for_line TEXT FILE [SECONDS]: waits until FILE holds a line with TEXT, at most SECONDS
# (default 60) of real time; fails the test when the time runs out.
wait_for_line() {
	deadline=$(( $(date +%s) + ${3:-60} ))
	until grep -q "$1" "$2" 2>/dev/null; do
		if [ "$(date +%s)" -ge "$deadline" ]; then
			echo "no line \"$1\" in $2 within ${3:-60} s" >&2
			return 1
		fi
		sleep 0.05
	done
}
