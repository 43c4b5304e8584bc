# Output that cannot be written is an error, not a success.
. "$(dirname "$0")/../lib.sh"
printf 'INT\nADD 1\nADD 2\n' > "$work/t.cmd"
[ -w /dev/full ] || { echo "no /dev/full here: skipped"; exit 0; }
orlo_run "$work/t.cmd" > /dev/full 2> "$work/err"
status=$?
[ "$status" = 1 ] || fail "status $status writing to /dev/full, expected 1"
[ "$(wc -l < "$work/err")" = 1 ] || fail "expected one line on standard error, got: $(cat "$work/err")"
grep -q '^Orlo: error writing standard output: ' "$work/err" || fail "message: $(cat "$work/err")"
# A reader that goes away early ends the program the usual way (SIGPIPE),
# and never makes it hang.
awk 'BEGIN { print "INT"; for (i = 0; i < 200000; i++) print "ADD " i % 1000 }' > "$work/long.cmd"
timeout 120 bash -c '${ORLO_WRAPPER:-} "$0" "$1" | head -n 1 > /dev/null' "$orlo" "$work/long.cmd" || fail "closed pipe: status $?"
echo ok
