# The installed package: cmake --install lays out the programs, headers,
# package config and man pages, and an outside project finds Orlo::bstset
# with find_package and builds against it.
. "$(dirname "$0")/../lib.sh"
build=$(dirname "$orlo")
source=$(cd "$e2e/../.." && pwd)
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install: $(tail "$work/install.log")"
for file in bin/Orlo bin/orlo-dot include/bstset/BSTSET.h include/bstset/Node.h include/bstset/Observer.h include/bstset/ReadAhead.h \
            include/bstset/detail/Memory.h include/bstset/detail/Walks.h include/bstset/detail/Commit.h \
            share/cmake/Orlo/OrloConfig.cmake share/cmake/Orlo/OrloConfigVersion.cmake share/cmake/Orlo/OrloTargets.cmake \
            share/man/man1/Orlo.1.gz share/man/man1/orlo-dot.1.gz share/doc/orlo/copyright; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
"$prefix/bin/Orlo" "$source/examples/basic.cmd" > "$work/basic.out" || fail "installed Orlo: status $?"
cmp -s "$work/basic.out" <("$orlo" "$source/examples/basic.cmd") || fail "installed Orlo prints something else"

# The consumer is configured from scratch, with the compiler's defaults.
env -u CXXFLAGS cmake -S "$source/examples/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  > "$work/consumer.log" 2>&1 || fail "configuring the consumer: $(tail -n 20 "$work/consumer.log")"
cmake --build "$work/consumer" > "$work/consumer.log" 2>&1 || fail "building the consumer: $(tail -n 20 "$work/consumer.log")"
printf 'the cat saw the dog\nand the end\n' | "$work/consumer/word-census" > "$work/census.out" || fail "consumer: status $?"
grep -qx 'the 3 at depth [0-9]*' "$work/census.out" || fail "consumer output: $(cat "$work/census.out")"
grep -qx '6 distinct, sorted: true' "$work/census.out" || fail "consumer output: $(cat "$work/census.out")"
echo ok
