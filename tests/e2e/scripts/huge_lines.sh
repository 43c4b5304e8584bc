# Lines far longer than any buffer, a word beyond 64 KiB, and a file of
# nothing but short lines: every value comes through whole, nothing hangs,
# and the listing is printed.
. "$(dirname "$0")/../lib.sh"
repeat() { head -c "$2" /dev/zero | tr '\0' "$1"; }
ten_mb=$((10 * 1024 * 1024))

# A 10 MB word, then a short one after it.
word=$(repeat a $ten_mb)
{ printf 'STRING\nADD %s\nADD b\n' "$word"; } > "$work/word.cmd"
{ printf 'ADD %s\nb[%s] == 1\nb(%s) == 1\n' "$word" "$word" "$word"
  printf 'ADD b\nb[b] == 2\nb(b) == 1\n%s\nb\n' "$word"; } > "$work/word.expected"
orlo_run "$work/word.cmd" > "$work/word.out" || fail "10 MB word: status $?"
cmp -s "$work/word.out" "$work/word.expected" || fail "10 MB word: output differs"
unset word

# A 70 KB word added twice and removed once.
long=$(repeat w 70000)
printf 'STRING\nADD %s\nADD %s\nDEL %s\n' "$long" "$long" "$long" > "$work/long.cmd"
printf 'ADD %s\nb[%s] == 1\nb(%s) == 1\nADD %s\nb[%s] == 1\nb(%s) == 2\nDEL %s\nb[%s] == 1\nb(%s) == 1\n%s\n' \
  "$long" "$long" "$long" "$long" "$long" "$long" "$long" "$long" "$long" "$long" > "$work/long.expected"
orlo_run "$work/long.cmd" > "$work/long.out" || fail "70 KB word: status $?"
cmp -s "$work/long.out" "$work/long.expected" || fail "70 KB word: output differs"

# A 10 MB run of digits overflows (the largest int is shown) and is consumed
# whole; 10 MB of blanks before a number are skipped.
{ printf 'INT\nADD '; repeat 1 $ten_mb; printf '\nADD'; repeat ' ' $ten_mb; printf '5\n'; } > "$work/digits.cmd"
printf 'ADD 2147483647\nOmitting input line!\nADD 5\nb[5] == 1\nb(5) == 1\n5\n' > "$work/digits.expected"
orlo_run "$work/digits.cmd" > "$work/digits.out" || fail "10 MB number: status $?"
cmp -s "$work/digits.out" "$work/digits.expected" || fail "10 MB number: $(head -c 300 "$work/digits.out")"

# Only lines of up to two characters: nothing to do, nothing printed.
awk 'BEGIN { print "INT"; for (i = 0; i < 100000; i++) print substr("AD", 1, i % 3); printf "\r\n" }' > "$work/short.cmd"
out=$(orlo_run "$work/short.cmd") || fail "short lines: status $?"
[ -z "$out" ] || fail "short lines printed: $(echo "$out" | head -3)"
echo ok
