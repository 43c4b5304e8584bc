# orlo-dot: the tree a command file leaves, in DOT; the same command-line
# checks as Orlo; any height drawn in a 64 KiB stack; and, where Graphviz is
# installed, output that dot accepts.
. "$(dirname "$0")/../lib.sh"
dot_tool=$(dirname "$orlo")/orlo-dot
[ -x "$dot_tool" ] || fail "no orlo-dot beside $orlo"
orlo=$dot_tool  # orlo_run and expect_usage now run orlo-dot

printf 'INT\nADD 5\nADD 1\nADD 9\nADD 5\nDEL 9\nADD 7\n' > "$work/small.cmd"
cat > "$work/small.expected" <<'DOT'
digraph BSTSET {
  ordering=out;
  node [fontname="monospace"];
  n0 [shape=ellipse, label="1 .. 7"];
  n1 [shape=box, label="1\ncount 1"];
  n0 -> n1 [label="L"];
  n2 [shape=ellipse, label="5 .. 7"];
  n0 -> n2 [label="R"];
  n3 [shape=box, label="5\ncount 2"];
  n2 -> n3 [label="L"];
  n4 [shape=box, label="7\ncount 1"];
  n2 -> n4 [label="R"];
}
DOT
orlo_run "$work/small.cmd" > "$work/small.out" || fail "status $?"
cmp -s "$work/small.out" "$work/small.expected" || fail "DOT differs: $(diff "$work/small.expected" "$work/small.out")"

# Quotes, backslashes and bytes outside printable ASCII are escaped.
printf 'STRING\nADD a"b\\c\nADD \xc3\xa9\n' > "$work/bytes.cmd"
orlo_run "$work/bytes.cmd" | grep -qF 'label="a\"b\\c .. \\xc3\\xa9"' || fail "escaping: $(orlo_run "$work/bytes.cmd")"

# An empty multiset is an empty digraph; a file naming no type prints nothing.
printf 'INT\nADD 1\nDEL 1\n' > "$work/empty.cmd"
[ "$(orlo_run "$work/empty.cmd" | grep -c ' n[0-9]')" = 0 ] || fail "nodes drawn for an empty multiset"
printf 'int\nADD 1\n' > "$work/none.cmd"
[ -z "$(orlo_run "$work/none.cmd")" ] || fail "output for a file naming no type"

usage_text=$(printf '\nUsage for orlo-dot application:\n\n\torlo-dot commandFile [--time-measure]\n\n_')
usage_text=${usage_text%_}
expect_usage
expect_usage "$work/missing.cmd"
expect_usage "$work/small.cmd" --bogus
mkdir "$work/dir.cmd" && expect_usage "$work/dir.cmd"
orlo_run "$work/small.cmd" > /dev/full 2> "$work/err"
[ $? = 1 ] && grep -q '^orlo-dot: error writing standard output: ' "$work/err" || fail "write error: $(cat "$work/err")"

# A chain 10,000 routing nodes tall.
awk 'BEGIN { print "INT"; for (i = 0; i < 10000; i++) print "ADD " i }' > "$work/tall.cmd"
(ulimit -s 64 && orlo_run "$work/tall.cmd") > "$work/tall.dot" || fail "tall tree: status $?"
[ "$(grep -c 'shape=' "$work/tall.dot")" = 19999 ] || fail "tall tree: $(grep -c 'shape=' "$work/tall.dot") nodes drawn"
[ "$(tail -n 1 "$work/tall.dot")" = "}" ] || fail "tall tree: unfinished graph"

if command -v dot > /dev/null; then
  dot -Tsvg "$work/small.out" > "$work/small.svg" || fail "dot rejects the output"
  grep -q '<svg' "$work/small.svg" || fail "dot made no SVG"
  orlo_run "$work/bytes.cmd" | dot -Tsvg > "$work/bytes.svg" || fail "dot rejects escaped text"
else
  echo "Graphviz not installed: rendering not checked"
fi
echo ok
