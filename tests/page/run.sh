#!/usr/bin/env bash
# Runs the page's browser tests (page.test.mjs) in headless Chromium through
# puppeteer-core, installed with `npm ci` from package-lock.json into the
# build folder the first time. Without Chromium or the npm registry the test
# is skipped, unless ORLO_REQUIRE_BROWSER is set (CI sets it).
#   run.sh ORLO_DOT ORLO WORK_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
orlo_dot=$1
orlo=$2
work=$3
skip() {
  if [ -n "${ORLO_REQUIRE_BROWSER:-}" ]; then
    echo "FAIL: $1"
    exit 1
  fi
  echo "skipped: $1"
  exit 77
}
mkdir -p "$work"
"$orlo_dot" --html > /dev/null 2> "$work/html.err" || skip "$(cat "$work/html.err")"
browser=${ORLO_CHROMIUM:-$(command -v chromium || true)}
[ -n "$browser" ] || skip "chromium is not installed"
command -v node > /dev/null || skip "node is not installed"
modules=$work/node
if ! cmp -s "$here/package-lock.json" "$modules/package-lock.json" 2> /dev/null || [ ! -d "$modules/node_modules/puppeteer-core" ]; then
  mkdir -p "$modules"
  cp "$here/package.json" "$here/package-lock.json" "$modules/"
  (cd "$modules" && npm ci --no-audit --no-fund --loglevel=error) > "$work/npm.log" 2>&1 ||
    skip "npm ci failed: $(tail -n 5 "$work/npm.log")"
fi
runs=$(mktemp -d)
trap 'rm -rf "$runs"' EXIT
ORLO_NODE_MODULES=$modules/node_modules ORLO_CHROMIUM=$browser \
  node "$here/page.test.mjs" "$orlo_dot" "$orlo" "$here/../../examples" "$runs"
