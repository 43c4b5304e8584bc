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
# The same with the error well inside the window of commands read ahead:
# every command before the interrupted line is carried out, then listed.
{ echo INT; for i in $(seq 1 40); do echo "ADD $((i * 37 % 101))"; done; } > "$work/long.cmd"
cut_at=$(head -n 25 "$work/long.cmd" | wc -c)  # the type line and 24 commands, whole
head -n 25 "$work/long.cmd" > "$work/whole.cmd"
ORLO_FAIL_FILE=$(realpath "$work/long.cmd") ORLO_FAIL_AFTER=$((cut_at + 3)) orlo_run_preloaded "$ORLO_FAIL_READ_LIB" "$work/long.cmd" > "$work/out" 2> /dev/null
status=$?
[ "$status" = 1 ] || fail "long file: status $status, expected 1"
orlo_run "$work/whole.cmd" > "$work/expected" || fail "the whole part alone failed"
cmp -s "$work/out" "$work/expected" || fail "long file: $(diff "$work/expected" "$work/out" | head)"
# A file that cannot be read from its first byte is unusable: usage, 255.
ORLO_FAIL_FILE=$(realpath "$work/t.cmd") ORLO_FAIL_AFTER=0 orlo_run_preloaded "$ORLO_FAIL_READ_LIB" "$work/t.cmd" > "$work/out0"
status=$?
[ "$status" = 255 ] || fail "unreadable from the start: status $status"
cmp -s "$work/out0" <(printf '%s' "$usage_text") || fail "unreadable from the start: $(cat "$work/out0")"
echo ok
