#!/usr/bin/env bash
# What the page costs: its size for 2,000 sorted commands; the time and size
# of the page for 1,000,000 random commands; and in headless Chromium at
# 1400x900, for runs of 20,000, 200,000 and 1,000,000 random commands, the
# time until the controls answer, a step forward, a step back and a jump to
# any step (each to the next drawing), Play at 30 steps a second, and the
# tab's memory against the empty page's (bench/page_timing.mjs).
#
#   bench/page.sh [BUILD_DIR]     (default build/; orlo-dot must have the page)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build}")
dot_tool=$build/orlo-dot
data=$build/bench-page
mkdir -p "$data"
"$dot_tool" --html > "$data/empty.html" 2> "$data/err" || { cat "$data/err"; exit 2; }
module=$(wc -c < "$data/empty.html")

awk 'BEGIN { print "INT"; for (i = 0; i < 2000; i++) print "ADD " i }' > "$data/sorted.cmd"
"$dot_tool" --html "$data/sorted.cmd" > "$data/sorted.html"
printf 'page for 2,000 sorted commands: %d bytes\n' "$(wc -c < "$data/sorted.html")"

# Random runs: 70% ADD, 30% DEL, of values up to 2^31.
random_run() {  # commands seed file
  [ -s "$3" ] || awk -v n="$1" -v seed="$2" 'BEGIN { srand(seed); print "INT"
    for (i = 0; i < n; i++) print (rand() < 0.7 ? "ADD " : "DEL ") int(rand() * 2147483647) }' > "$3"
}
random_run 1000000 11 "$data/million.cmd"
random_run 200000 12 "$data/r200k.cmd"
random_run 20000 13 "$data/r20k.cmd"
start=$(date +%s.%N)
"$dot_tool" --html "$data/million.cmd" > "$data/million.html"
end=$(date +%s.%N)
file=$(wc -c < "$data/million.cmd")
page=$(wc -c < "$data/million.html")
awk -v s="$start" -v e="$end" -v f="$file" -v p="$page" -v m="$module" 'BEGIN {
  printf "page for 1,000,000 random commands: written in %.2f s, %d bytes = the empty page + %.3f x the file (%d bytes)\n",
         e - s, p, (p - m) / f, f }'
"$dot_tool" --html "$data/r200k.cmd" > "$data/r200k.html"
"$dot_tool" --html "$data/r20k.cmd" > "$data/r20k.html"

modules=$data/node
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules" && cp "$root/tests/page/package.json" "$root/tests/page/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi
ORLO_NODE_MODULES=$modules/node_modules node "$root/bench/page_timing.mjs" "$data/empty.html" \
  "$data/r20k.html" "$data/r200k.html" "$data/million.html"
