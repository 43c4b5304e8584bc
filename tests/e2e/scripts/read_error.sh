# A read error in the middle of the command file ends the run: the lines read
# whole are carried out, the interrupted one is not, the listing is printed,
# one line names the file on standard error, and the status is 1.
. "$(dirname "$0")/../lib.sh"
[ -n "${ORLO_FAIL_READ_LIB:-}" ] || fail "ORLO_FAIL_READ_LIB is not set"
printf 'INT\nADD 1\nADD 2\nADD 3\nADD 4\n' > "$work/t.cmd"
# 18 bytes: the type line, two commands and "AD" of the third.
ORLO_FAIL_FILE=$(realpath "$work/t.cmd") ORLO_FAIL_AFTER=18 orlo_run_preloaded "$ORLO_FAIL_READ_LIB" "$work/t.cmd" > "$work/out" 2> "$work/err"
status=$?
[ "$status" = 1 ] || fail "status $status, expected 1"
printf 'ADD 1\nb[1] == 1\nb(1) == 1\nADD 2\nb[2] == 2\nb(2) == 1\n1\n2\n' > "$work/expected"
cmp -s "$work/out" "$work/expected" || fail "output: $(diff "$work/expected" "$work/out")"
[ "$(cat "$work/err")" = "Orlo: error reading $work/t.cmd: Input/output error" ] || fail "message: $(cat "$work/err")"
# A file that cannot be read from its first byte is unusable: usage, 255.
ORLO_FAIL_FILE=$(realpath "$work/t.cmd") ORLO_FAIL_AFTER=0 orlo_run_preloaded "$ORLO_FAIL_READ_LIB" "$work/t.cmd" > "$work/out0"
status=$?
[ "$status" = 255 ] || fail "unreadable from the start: status $status"
cmp -s "$work/out0" <(printf '%s' "$usage_text") || fail "unreadable from the start: $(cat "$work/out0")"
echo ok
