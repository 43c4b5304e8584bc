#!/usr/bin/env bash
# Runs one end-to-end case: Orlo on cases/NAME.cmd must print exactly
# cases/NAME.out on standard output and exit with the status in
# cases/NAME.status (0 when that file is absent). cases/NAME.args, when
# present, holds the arguments that follow the command file.
#
# Where two standard libraries read malformed numbers differently, a case
# may carry NAME.out.<library> for the library named by ORLO_STDLIB (for
# instance libc++); that file then replaces NAME.out. ORLO_STDLIB=wasi (the
# WebAssembly build: libc++ over wasi-libc) takes NAME.out.wasi, else
# NAME.out.libc++. wasi-libc's strtod reads the denormal 4.9e-324 without
# reporting a range error, so there libc++ accepts it (double_overflow), and
# it reads -nan as a NaN without its sign (double_negative_nan).
set -u
orlo=$1
cmd=$2
base=${cmd%.cmd}
expected=$base.out
for library in ${ORLO_STDLIB:-} $([ "${ORLO_STDLIB:-}" = wasi ] && echo libc++); do
  if [ -f "$base.out.$library" ]; then
    expected=$base.out.$library
    break
  fi
done
want_status=0
[ -f "$base.status" ] && want_status=$(cat "$base.status")
args=()
[ -f "$base.args" ] && read -r -a args < "$base.args"

actual=$(mktemp)
trap 'rm -f "$actual"' EXIT
${ORLO_WRAPPER:-} "$orlo" "$cmd" "${args[@]}" > "$actual" 2>/dev/null
status=$?

fail=0
if ! cmp -s "$expected" "$actual"; then
  echo "standard output differs from $(basename "$expected") (expected <, actual >):"
  diff "$expected" "$actual" | head -n 40
  fail=1
fi
if [ "$status" != "$want_status" ]; then
  echo "exit status $status, expected $want_status"
  fail=1
fi
exit $fail
