#!/usr/bin/env bash
# What the page costs: its size for 2,000 sorted commands, the time and size
# of the page for 1,000,000 random commands, and in headless Chromium the
# time to the first drawing and to reach a step of a 20,000-command run.
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

[ -s "$data/million.cmd" ] || awk 'BEGIN { srand(11); print "INT"
  for (i = 0; i < 1000000; i++) print (rand() < 0.7 ? "ADD " : "DEL ") int(rand() * 2147483647) }' > "$data/million.cmd"
start=$(date +%s.%N)
"$dot_tool" --html "$data/million.cmd" > "$data/million.html"
end=$(date +%s.%N)
file=$(wc -c < "$data/million.cmd")
page=$(wc -c < "$data/million.html")
awk -v s="$start" -v e="$end" -v f="$file" -v p="$page" -v m="$module" 'BEGIN {
  printf "page for 1,000,000 random commands: written in %.2f s, %d bytes = the empty page + %.3f x the file (%d bytes)\n",
         e - s, p, (p - m) / f, f }'

awk 'BEGIN { srand(13); print "INT"; for (i = 0; i < 20000; i++) print (rand() < 0.7 ? "ADD " : "DEL ") int(rand() * 1000000) }' \
  > "$data/twenty.cmd"
"$dot_tool" --html "$data/twenty.cmd" > "$data/twenty.html"
modules=$data/node
if [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules" && cp "$root/tests/page/package.json" "$root/tests/page/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error)
fi
ORLO_NODE_MODULES=$modules/node_modules node "$root/bench/page_timing.mjs" "$data/twenty.html"
