#!/usr/bin/env bash
# Compiles a file that must not compile and checks that the compiler names
# the reason given on its first line (// expect: MESSAGE).
#   expect_compile_error.sh COMPILER INCLUDE_DIR FILE
set -u
compiler=$1
include=$2
file=$3
expected=$(sed -n '1s|^// expect: ||p' "$file")
[ -n "$expected" ] || { echo "no '// expect:' line in $file"; exit 1; }
if output=$("$compiler" -std=c++17 -fsyntax-only -I "$include" "$file" 2>&1); then
  echo "compiled, but must not: $file"
  exit 1
fi
if ! grep -qF "$expected" <<< "$output"; then
  echo "the compiler did not say: $expected"
  echo "$output" | head -n 20
  exit 1
fi
echo "refused, saying: $expected"
