# Running out of memory ends the run with a one-line message and status 1,
# not an abort. 40,000 distinct 1 KB words need far more than 64 MB.
. "$(dirname "$0")/../lib.sh"
# A memory limit cannot be set for AddressSanitizer (its shadow memory is
# vast), valgrind (its own allocator) or qemu-user (its code buffer alone
# takes 128 MB); CTest reports this as skipped. Every native build runs it.
if [ -n "${ORLO_SANITIZED:-}${ORLO_WRAPPER:-}" ]; then
  echo "skipped: memory limits do not apply under sanitizers, valgrind or qemu"
  exit 77
fi
awk 'BEGIN { pad = sprintf("%1000s", ""); gsub(/ /, "x", pad)
             print "STRING"; for (i = 0; i < 40000; i++) printf "ADD %08d%s\n", (i * 7919) % 100003, pad }' > "$work/big.cmd"
(ulimit -v 64000 && "$orlo" "$work/big.cmd") > /dev/null 2> "$work/err"
status=$?
[ "$status" = 1 ] || fail "status $status, expected 1; standard error: $(head -c 300 "$work/err")"
[ "$(cat "$work/err")" = "Orlo: out of memory" ] || fail "message: $(head -c 300 "$work/err")"
echo ok
