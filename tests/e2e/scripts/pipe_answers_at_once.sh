# Commands fed through a pipe are answered as soon as their line is in:
# reading ahead for speed must never wait for more input while a command
# already read is unanswered. Each line is sent only after the answer to
# the one before has come back (qemu and valgrind get time to spare).
. "$(dirname "$0")/../lib.sh"
mkfifo "$work/in" "$work/out"
orlo_run "$work/in" < /dev/null > "$work/out" 2> "$work/err" &
pid=$!
trap 'kill $pid 2> /dev/null; rm -rf "$work"' EXIT
# Opened for reading and writing, the input does not wait for Orlo to open it:
# an Orlo that never starts makes the answers time out instead of a hang here.
exec 4< "$work/out" 3<> "$work/in"
echo INT >&3
for v in 5 3 8 3; do
  echo "ADD $v" >&3
  for i in 1 2 3; do
    read -r -t 60 answer <&4 || fail "no answer to ADD $v within 60 s (line $i)"
    [ "$i" != 1 ] || [ "$answer" = "ADD $v" ] || fail "echo of ADD $v: $answer"
  done
done
exec 3>&-
listing=$(cat <&4)
wait $pid || fail "status $?: $(cat "$work/err")"
[ "$listing" = "$(printf '3\n5\n8')" ] || fail "listing: $listing"
echo ok
