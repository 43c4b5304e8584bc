# --time-measure writes the processor time to standard error after the run,
# and nothing else changes.
. "$(dirname "$0")/../lib.sh"
printf 'INT\nADD 1\nADD 2\n' > "$work/t.cmd"
orlo_run "$work/t.cmd" --time-measure > "$work/out" 2> "$work/err" || fail "status $?"
orlo_run "$work/t.cmd" > "$work/plain" 2> "$work/plain_err" || fail "status $?"
cmp -s "$work/out" "$work/plain" || fail "standard output changed by --time-measure"
[ -s "$work/plain_err" ] && fail "standard error written without --time-measure"
# An empty line, the label with its trailing blank, an empty line, seconds.
printf '\nDelka behu aplikace: \n\n' > "$work/head"
head -c "$(wc -c < "$work/head")" "$work/err" | cmp -s - "$work/head" || fail "report heading: $(od -c "$work/err" | head)"
seconds=$(tail -n +4 "$work/err")
[ "$(wc -l < "$work/err")" = 4 ] || fail "report is not four lines: $(od -c "$work/err" | head)"
[[ $seconds =~ ^[0-9]+(\.[0-9]+)?(e-[0-9]+)?$ ]] || fail "seconds not a number: '$seconds'"
# With arguments after the second, there is no report.
orlo_run "$work/t.cmd" --time-measure extra > /dev/null 2> "$work/err3" || fail "status $?"
[ -s "$work/err3" ] && fail "report written with an extra argument"
echo ok
