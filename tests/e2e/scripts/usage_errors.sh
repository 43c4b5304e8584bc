# The command line and command files that cannot be used: usage text, 255.
. "$(dirname "$0")/../lib.sh"
printf 'INT\nADD 1\n' > "$work/ok.cmd"
expect_usage
expect_usage "$work/missing.cmd"
expect_usage "$work/missing.cmd" --time-measure
expect_usage "$work/ok.cmd" --Time-measure
expect_usage "$work/ok.cmd" ''
# A directory opens but cannot be read.
mkdir "$work/dir.cmd"
expect_usage "$work/dir.cmd"
expect_usage "$work/dir.cmd" --time-measure
# An empty file is no error: nothing runs, status 0.
: > "$work/empty.cmd"
out=$(orlo_run "$work/empty.cmd") || fail "empty file: status $?"
[ -z "$out" ] || fail "empty file printed: $out"
echo ok
