# Sorted input makes the tree as tall as the number of values; no operation,
# listing or tear-down may need stack in proportion. 10,000 ascending values
# are added and removed again with a 64 KiB stack.
. "$(dirname "$0")/../lib.sh"
n=10000
awk -v n=$n 'BEGIN { print "INT"; for (i = 0; i < n; i++) print "ADD " i; for (i = n - 1; i >= 0; i--) print "DEL " i }' > "$work/tall.cmd"
# The i-th ascending value lands at depth i+1; each removal takes the
# deepest leaf, the only occurrence of its value.
awk -v n=$n 'BEGIN { for (i = 0; i < n; i++) printf "ADD %d\nb[%d] == %d\nb(%d) == 1\n", i, i, i + 1, i
                     for (i = n - 1; i >= 0; i--) printf "DEL %d\nb[%d] == -1\nb(%d) == 0\n", i, i, i }' > "$work/expected"
(ulimit -s 64 && orlo_run "$work/tall.cmd") > "$work/out" || fail "status $? under a 64 KiB stack"
cmp -s "$work/out" "$work/expected" || fail "output differs: $(diff "$work/expected" "$work/out" | head -5)"
# The same tall tree torn down by the end of the run, and listed first.
awk -v n=$n 'BEGIN { print "INT"; for (i = 0; i < n; i++) print "ADD " i }' > "$work/kept.cmd"
(ulimit -s 64 && orlo_run "$work/kept.cmd") > "$work/out2" || fail "status $? for a tall tree left standing"
[ "$(tail -n $n "$work/out2" | head -1)" = 0 ] && [ "$(tail -n 1 "$work/out2")" = $((n - 1)) ] || fail "listing of the tall tree"
echo ok
