# orlo-dot: the tree a command file leaves, in DOT; the tree after any
# command with its walk highlighted; figures; command lines it cannot use,
# refused with the reason on standard error; read errors; any height drawn in
# a 64 KiB stack; the page, or word that it was not built; and, where Graphviz
# is installed, output that dot accepts and draws as written, at full size.
. "$(dirname "$0")/../lib.sh"
dot_tool=$(dirname "$orlo")/orlo-dot
[ -x "$dot_tool" ] || fail "no orlo-dot beside $orlo"
orlo_program=$orlo
orlo=$dot_tool  # orlo_run and orlo_run_preloaded now run orlo-dot
run_orlo() { ${ORLO_WRAPPER:-} "$orlo_program" "$@"; }

printf 'INT\nADD 5\nADD 1\nADD 9\nADD 5\nDEL 9\nADD 7\n' > "$work/small.cmd"
cat > "$work/small.expected" <<'DOT'
digraph BSTSET {
  ordering=out;
  node [fontname="monospace"];
  labelloc=t;
  label="distinct values 3, occurrences 4, routing nodes 2, height 3, leaf depth average 2.67, largest 3";
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

# Quotes, backslashes and bytes outside printable ASCII are escaped: a
# backslash shows doubled, so the text \xc3 and the byte 0xC3 differ.
printf 'STRING\nADD a"b\\c\nADD \xc3\xa9\n' > "$work/bytes.cmd"
orlo_run "$work/bytes.cmd" | grep -qF 'label="a\"b\\\\c .. \\xc3\\xa9"' || fail "escaping: $(orlo_run "$work/bytes.cmd")"

# An empty multiset is an empty digraph; a file naming no type prints nothing.
printf 'INT\nADD 1\nDEL 1\n' > "$work/empty.cmd"
[ "$(orlo_run "$work/empty.cmd" | grep -c ' n[0-9]')" = 0 ] || fail "nodes drawn for an empty multiset"
printf 'int\nADD 1\n' > "$work/none.cmd"
[ -z "$(orlo_run "$work/none.cmd")" ] || fail "output for a file naming no type"

usage_text=$(printf '\nUsage for orlo-dot application:\n\n\torlo-dot [--after N] [--depth D] [--stats | --html] commandFile [--time-measure]\n\n_')
usage_text=${usage_text%_}
# A command line orlo-dot cannot use: one line saying why, then the usage
# text, both on standard error; nothing on standard output, where a drawing
# or a page was going; status 255.
expect_refusal() {  # expected message, arguments...
  local message=$1 status
  shift
  orlo_run "$@" > "$work/refused.out" 2> "$work/refused.err"
  status=$?
  [ "$status" = 255 ] || fail "for '$*' expected status 255, got $status"
  [ ! -s "$work/refused.out" ] || fail "for '$*' standard output has: $(cat "$work/refused.out")"
  printf 'orlo-dot: %s\n%s' "$message" "$usage_text" > "$work/refused.expected"
  cmp -s "$work/refused.err" "$work/refused.expected" ||
    fail "for '$*' standard error differs: $(diff "$work/refused.expected" "$work/refused.err")"
}
expect_refusal "no command file given"
expect_refusal "cannot open $work/missing.cmd: No such file or directory" "$work/missing.cmd"
expect_refusal "cannot open $work/missing.cmd: No such file or directory" --after 2 "$work/missing.cmd"
mkdir "$work/dir.cmd" && expect_refusal "$work/dir.cmd is a directory" "$work/dir.cmd"
expect_refusal "only --time-measure may follow the command file, not 'x'" "$work/small.cmd" x
expect_refusal "unknown option '--bogus'" "$work/small.cmd" --bogus
orlo_run "$work/small.cmd" > /dev/full 2> "$work/err"
[ $? = 1 ] && grep -q '^orlo-dot: error writing standard output: ' "$work/err" || fail "write error: $(cat "$work/err")"

# Option errors say what is wrong with the option.
expect_refusal "--after needs a whole number, 0 or more, not 'x'" --after x "$work/small.cmd"
expect_refusal "--after needs a whole number, 0 or more, not '-1'" --after -1 "$work/small.cmd"
expect_refusal "--depth needs a whole number, 1 or more, not '0'" --depth 0 "$work/small.cmd"
expect_refusal "--after needs a number" "$work/small.cmd" --after
expect_refusal "unknown option '--colour'" --colour "$work/small.cmd"
expect_refusal "--stats and --html do not go together" --stats --html "$work/small.cmd"
# The existing forms still run: a file, and a file with --time-measure.
orlo_run "$work/small.cmd" --time-measure > /dev/null 2>&1 || fail "--time-measure: status $?"

# --after N for every N: the highlighted leaf lies exactly as deep as Orlo
# said for command N (filled when held, dashed where a walk for an absent
# value ended), and the tree is the one after N commands.
depth_of_highlight() {  # DOT on stdin -> depth of the highlighted leaf, or "none"
  awk '/ -> / { parent[$3] = $1 }
       /fillcolor="#ffd54f"|style=dashed/ { mark = $1 }
       END { if (mark == "") { print "none"; exit } d = 1; for (n = mark; n in parent; n = parent[n]) d++; print d }'
}
printf 'INT\nADD 50\nADD 20\nADD 80\nADD 20\nADD 65\nDEL 99\nDEL 65\nADD 70\nDEL 20\nDEL 20\nADD 10\n' > "$work/steps.cmd"
run_orlo "$work/steps.cmd" > "$work/steps.out"
commands=$(($(wc -l < "$work/steps.cmd") - 1))
for n in $(seq 1 "$commands"); do
  printed=$(sed -n "$((3 * n - 1))p" "$work/steps.out" | sed 's/.*== //')
  drawn=$(orlo_run --after "$n" "$work/steps.cmd" | depth_of_highlight)
  if [ "$printed" = -1 ]; then
    [ "$drawn" != none ] && orlo_run --after "$n" "$work/steps.cmd" | grep -q 'style=dashed' || [ "$drawn" = none ] ||
      fail "--after $n: absent value, but the highlight is not a dashed leaf"
  else
    [ "$drawn" = "$printed" ] || fail "--after $n: Orlo printed depth $printed, the drawing highlights depth $drawn"
  fi
  head -n "$((n + 1))" "$work/steps.cmd" > "$work/prefix.cmd"
  [ "$(orlo_run --after "$n" "$work/steps.cmd" | grep -c 'shape=')" = "$(orlo_run "$work/prefix.cmd" | grep -c 'shape=')" ] ||
    fail "--after $n does not draw the tree after $n commands"
done
[ "$(orlo_run --after 0 "$work/steps.cmd" | grep -c 'shape=')" = 0 ] || fail "--after 0 is not the empty tree"
orlo_run --after 99 "$work/steps.cmd" 2> "$work/err" | cmp -s - <(orlo_run "$work/steps.cmd") || fail "--after past the end"
grep -qF "orlo-dot: the file has $commands command lines" "$work/err" || fail "--after past the end: $(cat "$work/err")"

# A read error ends the run as in Orlo: the tree after the command lines read
# whole, the error and status 1. Short of the line --after names, standard
# error says which tree that is, after the error; the file's length is not
# known, so it is not given. A file unreadable from its first byte is refused.
[ -n "${ORLO_FAIL_READ_LIB:-}" ] || fail "ORLO_FAIL_READ_LIB is not set"
read_failing() {  # bytes delivered, arguments... (the file is $work/steps.cmd)
  local bytes=$1
  shift
  ORLO_FAIL_FILE=$(realpath "$work/steps.cmd") ORLO_FAIL_AFTER=$bytes \
    orlo_run_preloaded "$ORLO_FAIL_READ_LIB" "$@" > "$work/read.out" 2> "$work/read.err"
}
for cut in 2 0; do  # whole command lines read before the error
  head -n "$((cut + 1))" "$work/steps.cmd" > "$work/read.cmd"
  orlo_run "$work/read.cmd" > "$work/read.expected" || fail "the part read alone: status $?"
  read_failing "$(($(wc -c < "$work/read.cmd") + 3))" --after 5 "$work/steps.cmd"
  status=$?
  [ "$status" = 1 ] || fail "read error after $cut lines, --after 5: status $status"
  cmp -s "$work/read.out" "$work/read.expected" ||
    fail "read error after $cut lines, --after 5: $(diff "$work/read.expected" "$work/read.out")"
  if [ "$cut" = 0 ]; then
    shown="showing the empty tree: the error came before the first command line"
  else
    shown="showing the tree after command line $cut, the last read before the error"
  fi
  printf 'orlo-dot: error reading %s: Input/output error\norlo-dot: %s\n' "$work/steps.cmd" "$shown" > "$work/read.expected"
  cmp -s "$work/read.err" "$work/read.expected" ||
    fail "read error after $cut lines, --after 5: $(diff "$work/read.expected" "$work/read.err")"
done
read_failing 0 --after 5 "$work/steps.cmd"
status=$?
[ "$status" = 255 ] || fail "unreadable from the start: status $status"
[ ! -s "$work/read.out" ] || fail "unreadable from the start: standard output has: $(cat "$work/read.out")"
printf 'orlo-dot: cannot read %s: Input/output error\n%s' "$work/steps.cmd" "$usage_text" > "$work/read.expected"
cmp -s "$work/read.err" "$work/read.expected" || fail "unreadable from the start: $(diff "$work/read.expected" "$work/read.err")"

# --stats on a sorted chain, against figures worked out by hand: leaf i sits
# at depth i + 2 but for the last two, which share the bottom level.
awk 'BEGIN { print "INT"; for (i = 0; i < 100; i++) print "ADD " i }' > "$work/chain.cmd"
{
  printf 'distinct values: 100\noccurrences: 100\nrouting nodes: 99\nheight: 100\n'
  awk 'BEGIN { s = 0; for (d = 2; d <= 100; d++) s += d; printf "average leaf depth: %.2f\n", (s + 100) / 100 }'
  printf 'largest leaf depth: 100\nleaves at depth 1: 0\n'
  for d in $(seq 2 99); do echo "leaves at depth $d: 1"; done
  echo "leaves at depth 100: 2"
} > "$work/chain.expected"
orlo_run --stats "$work/chain.cmd" | cmp -s - "$work/chain.expected" || fail "chain --stats: $(orlo_run --stats "$work/chain.cmd" | diff "$work/chain.expected" - | head)"

# --stats on a random file, against Orlo itself: adding each listed value
# once more and removing it again leaves the tree as it was, and the lines
# Orlo prints for that ADD give the value's depth and count.
awk 'BEGIN { srand(7); print "INT"; for (i = 0; i < 600; i++) print (rand() < 0.7 ? "ADD " : "DEL ") int(rand() * 400) }' > "$work/random.cmd"
run_orlo "$work/random.cmd" | grep -v '^[bAD]' > "$work/listing"
{ cat "$work/random.cmd"; while read -r v; do printf 'ADD %s\nDEL %s\n' "$v" "$v"; done < "$work/listing"; } > "$work/probe.cmd"
run_orlo "$work/probe.cmd" | awk -v skip="$(($(grep -c . "$work/random.cmd") - 1))" '
  /^ADD|^DEL|^Omit/ { n++ }
  n > skip && (n - skip) % 2 == 1 && /^b\[/ { d = $3; depth[++leaves] = d; sum += d; if (d > h) h = d; at[d]++ }
  n > skip && (n - skip) % 2 == 1 && /^b\(/ { occ += $3 - 1 }
  END {
    printf "distinct values: %d\noccurrences: %d\nrouting nodes: %d\nheight: %d\n", leaves, occ, leaves - 1, h
    printf "average leaf depth: %.2f\nlargest leaf depth: %d\n", sum / leaves, h
    for (d = 1; d <= h; d++) printf "leaves at depth %d: %d\n", d, at[d] + 0
  }' > "$work/random.expected"
orlo_run --stats "$work/random.cmd" | cmp -s - "$work/random.expected" ||
  fail "random --stats: $(orlo_run --stats "$work/random.cmd" | diff "$work/random.expected" - | head)"

# --depth cuts the drawing; a tree too large to render at full size is cut
# to a depth that does, unless asked otherwise, and standard error says how
# to see the rest. (364 leaves of nine-digit values do not fit.)
orlo_run --depth 3 "$work/random.cmd" > "$work/cut.dot" || fail "--depth: status $?"
grep -q 'shape=box3d, label="[0-9]* values\\nheight [0-9]*"' "$work/cut.dot" || fail "--depth 3 cut nothing off"
awk 'BEGIN { srand(21); print "INT"; for (i = 0; i < 364; i++) print "ADD " int(100000000 + rand() * 899999999) }' > "$work/wide.cmd"
orlo_run "$work/wide.cmd" 2> "$work/err" > "$work/wide.dot" || fail "wide tree: status $?"
grep -q 'orlo-dot: the tree has 364 leaves .*--depth D' "$work/err" || fail "wide tree: no word on its depth: $(cat "$work/err")"
grep -q 'shape=box3d' "$work/wide.dot" || fail "wide tree: drawn whole"
orlo_run "$work/small.cmd" 2> "$work/err" > /dev/null && [ ! -s "$work/err" ] || fail "a small tree is cut: $(cat "$work/err")"

# The graph's label says which command line the highlighted walk belongs to.
orlo_run --after 6 "$work/steps.cmd" | grep -q 'label=".*the walk of 99 in red, after command line 6: DEL 99"' ||
  fail "--after 6: $(orlo_run --after 6 "$work/steps.cmd" | grep 'label=' | head -n 1)"

# The page: with the page built, the whole file in one HTML file (an empty
# page without a file); without it, a word on standard error and status 1.
if orlo_run --html > "$work/empty.html" 2> "$work/err"; then
  head -c 15 "$work/empty.html" | grep -q '<!DOCTYPE html>' || fail "--html: not a page"
  printf 'INT\nADD 1 </script>-->\n' > "$work/page.cmd"
  orlo_run --html "$work/page.cmd" > "$work/page.html" || fail "--html FILE: status $?"
  # Redirected to a page, a file that cannot be opened leaves it empty.
  expect_refusal "cannot open $work/missing.cmd: No such file or directory" --html "$work/missing.cmd"
  grep -qF '<!--orlo-run INT' "$work/page.html" && grep -qF 'ADD 1 %3C/script%3E--%3E' "$work/page.html" ||
    fail "--html FILE: the file is not in the page as written"
  [ "$(grep -c -e '</script>' -e '-->' "$work/page.html")" = "$(grep -c -e '</script>' -e '-->' "$work/empty.html")" ] ||
    fail "--html FILE: the file's text ends an element or the comment it is in"
else
  [ $? = 1 ] && grep -q '^orlo-dot: this build has no page' "$work/err" || fail "--html without the page: $(cat "$work/err")"
fi

# A chain 10,000 routing nodes tall.
awk 'BEGIN { print "INT"; for (i = 0; i < 10000; i++) print "ADD " i }' > "$work/tall.cmd"
(ulimit -s 64 && orlo_run --depth 100000 "$work/tall.cmd") > "$work/tall.dot" || fail "tall tree: status $?"
[ "$(grep -c 'shape=' "$work/tall.dot")" = 19999 ] || fail "tall tree: $(grep -c 'shape=' "$work/tall.dot") nodes drawn"
[ "$(tail -n 1 "$work/tall.dot")" = "}" ] || fail "tall tree: unfinished graph"

if command -v dot > /dev/null; then
  dot -Tsvg "$work/small.out" > "$work/small.svg" || fail "dot rejects the output"
  grep -q '<svg' "$work/small.svg" || fail "dot made no SVG"
  # Values show as written: Graphviz reads no entity in them, and the text
  # \xc3 shows apart from the byte 0xC3.
  printf 'STRING\nADD a&amp;b\nADD x&#9731;y\nADD \\xc3\nADD \xc3\n' > "$work/entities.cmd"
  orlo_run "$work/entities.cmd" | dot -Tsvg > "$work/entities.svg" || fail "dot rejects escaped text"
  for shown in 'a&amp;amp;b' 'x&amp;#9731;y' '\\xc3' '>\xc3<'; do
    grep -qF -- "$shown" "$work/entities.svg" || fail "drawn text lacks $shown: $(grep -o '<text[^>]*>[^<]*' "$work/entities.svg")"
  done
  # Cut to what renders: no drawing is scaled down to fit a bitmap.
  for file in wide random; do
    orlo_run "$work/$file.cmd" 2> /dev/null | dot -Tpng -o "$work/$file.png" 2> "$work/err" || fail "dot -Tpng $file: $(cat "$work/err")"
    [ ! -s "$work/err" ] || fail "$file drawn larger than a bitmap: $(cat "$work/err")"
  done
else
  echo "Graphviz not installed: rendering not checked"
fi
echo ok
