#!/usr/bin/env bash
# Benchmarks Orlo on fixed workloads and prints, per workload, the medians of
# wall time, CPU time (user + system) and peak RSS (GNU time), and the wall
# time as a multiple of the I/O floor (bench/io_floor.cpp). Every output is
# checked against bench/expected.sha256 first, so a faster Orlo that prints
# something else is caught.
#
#   bench/run.sh [-n RUNS] [-b OTHER_ORLO | -H] [WORKLOAD...]
#
# -b runs a second binary (say, a build of the parent commit) interleaved
# A B A B ..., so both see the same machine; its numbers are printed beside.
# -H makes the second binary a build of the same code that neither reads
# ahead nor hints the set (-DORLO_HINTS=OFF), to show what the hints gain.
# Workloads: random deep string double dup dup200k stuck stuck200k (default
# all). Output goes to a file in the build folder, not to a terminal.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=5
other=""
nohints=""
while getopts "n:b:H" opt; do
  case $opt in
    n) runs=$OPTARG ;;
    b) other=$(realpath "$OPTARG") ;;
    H) nohints=1 ;;
    *) sed -n '2,16p' "$0"; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
workloads=("$@")
[ ${#workloads[@]} -gt 0 ] || workloads=(random deep string double dup dup200k stuck stuck200k)
[ -x /usr/bin/time ] || { echo "needs GNU time (apt-get install time)"; exit 2; }

build=$root/build-bench
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORLO_BUILD_TESTS=OFF -DORLO_BUILD_BENCH=ON > /dev/null
cmake --build "$build" -j2 --target Orlo orlo-workload orlo-io-floor > /dev/null
orlo=$build/Orlo
if [ -n "$nohints" ]; then
  cmake -S "$root" -B "$build-nohints" -DCMAKE_BUILD_TYPE=Release -DORLO_BUILD_TESTS=OFF -DORLO_HINTS=OFF > /dev/null
  cmake --build "$build-nohints" -j2 --target Orlo > /dev/null
  other=$build-nohints/Orlo
fi
data=$build/data
mkdir -p "$data"

generate() {  # workload name -> command file
  local file=$data/$1.cmd
  if [ ! -s "$file" ]; then
    case $1 in
      dup200k) "$build/bench/orlo-workload" dup 200000 ;;
      stuck200k) "$build/bench/orlo-workload" stuck 200000 ;;
      *) "$build/bench/orlo-workload" "$1" ;;
    esac > "$file.tmp" && mv "$file.tmp" "$file"
  fi
  echo "$file"
}

measure() {  # command... -> "wall cpu rss_kb"
  /usr/bin/time -f '%e %U %S %M' -o "$data/time" "$@" > "$data/out.run" 2> /dev/null || true
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$data/time"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

check() {  # name binary file
  "$2" "$3" > "$data/$1.out" 2> /dev/null || true
  local sum want
  sum=$(sha256sum < "$data/$1.out" | cut -d' ' -f1)
  want=$(awk -v w="$1" '$2 == w { print $1 }' "$root/bench/expected.sha256")
  if [ -z "$want" ]; then
    echo "  $1: no checksum in bench/expected.sha256 (this output: $sum)"
  elif [ "$sum" != "$want" ]; then
    echo "  $1: OUTPUT CHANGED for $2 ($sum, expected $want)"; exit 1
  fi
}

printf '%-10s %8s %8s %9s %7s' workload wall_s cpu_s rss_MB xfloor
[ -n "$other" ] && printf ' | %8s %8s %9s %7s' B_wall B_cpu B_rss_MB B_xflr
printf '\n'
for w in "${workloads[@]}"; do
  file=$(generate "$w")
  check "$w" "$orlo" "$file"
  [ -n "$other" ] && check "$w" "$other" "$file"
  : > "$data/a"; : > "$data/b"; : > "$data/f"
  for ((i = 0; i < runs; i++)); do
    measure "$orlo" "$file" >> "$data/a"
    measure "$build/bench/orlo-io-floor" "$file" "$data/$w.out" >> "$data/f"
    [ -n "$other" ] && measure "$other" "$file" >> "$data/b"
  done
  floor=$(cut -d' ' -f1 "$data/f" | median)
  row() {
    local wall cpu rss
    wall=$(cut -d' ' -f1 "$1" | median); cpu=$(cut -d' ' -f2 "$1" | median); rss=$(cut -d' ' -f3 "$1" | median)
    awk -v w="$wall" -v c="$cpu" -v r="$rss" -v f="$floor" 'BEGIN { printf " %8.2f %8.2f %9.1f %7.2f", w, c, r / 1024, (f > 0 ? w / f : 0) }'
  }
  printf '%-10s' "$w"; row "$data/a"
  [ -n "$other" ] && { printf ' |'; row "$data/b"; }
  printf '   (floor %.2f s)\n' "$floor"
done
