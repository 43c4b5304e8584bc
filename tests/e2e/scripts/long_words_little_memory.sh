# Reading ahead costs no memory a line-by-line run would not need: 32 DEL
# lines of 1 MB words run in full under a limit that leaves room for a few
# such words, not for 32 of them.
. "$(dirname "$0")/../lib.sh"
# A memory limit cannot be set for AddressSanitizer (its shadow memory is
# vast), valgrind (its own allocator) or qemu-user (its code buffer alone
# takes 128 MB); CTest reports this as skipped. Every native build runs it.
if [ -n "${ORLO_SANITIZED:-}${ORLO_WRAPPER:-}" ]; then
  echo "skipped: memory limits do not apply under sanitizers, valgrind or qemu"
  exit 77
fi
awk 'BEGIN { w = "w"; while (length(w) < 1048576) w = w w
             print "STRING"; for (i = 0; i < 32; i++) printf "DEL %c%s\n", 97 + i % 26, w }' > "$work/words.cmd"
(ulimit -v 28000 && "$orlo" "$work/words.cmd") > "$work/out" 2> "$work/err"
status=$?
[ "$status" = 0 ] || fail "status $status, expected 0; standard error: $(head -c 300 "$work/err")"
lines=$(wc -l < "$work/out")
[ "$lines" = 96 ] || fail "$lines lines printed, expected 96 (three for each command)"
[ "$(grep -c '^b\[.*\] == -1$' "$work/out")" = 32 ] || fail "every word is reported absent"
echo ok
