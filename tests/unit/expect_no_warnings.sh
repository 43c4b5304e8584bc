#!/usr/bin/env bash
# Compiles FILE with every warning the project's own code answers to, and
# -Wshadow, as errors, once for each C++ standard the compiler knows from
# C++17 on, and runs it.
#   expect_no_warnings.sh COMPILER INCLUDE_DIR FILE WORK_DIR
set -u
compiler=$1
include=$2
file=$3
work=$4
mkdir -p "$work"
status=0
for std in c++17 c++20 c++2b; do
  if ! echo 'int main() {}' | "$compiler" -std=$std -x c++ -fsyntax-only - 2> /dev/null; then
    echo "$compiler -std=$std: not known, skipped"
    continue
  fi
  program=$work/every-header-$std
  rm -f "$program"
  if ! "$compiler" -std=$std -O1 -Wall -Wextra -Wpedantic -Wshadow -Werror -I "$include" "$file" -o "$program" > "$work/log" 2>&1; then
    head -n 30 "$work/log"
    echo "$compiler -std=$std: warnings or errors (above)"
    status=1
  elif ! "$program"; then
    echo "$compiler -std=$std: the program failed"
    status=1
  else
    echo "$compiler -std=$std: clean"
  fi
done
exit $status
