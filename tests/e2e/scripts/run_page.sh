# orlo-dot --html, in a real browser (headless Chromium): at several steps
# the page shows the command and exactly the lines Orlo printed for it, and
# highlights a leaf exactly as deep as Orlo said; values cannot inject markup;
# the page is drawn (a screenshot that is not blank); a 2,000-command page
# stays small. Without Chromium the test is skipped, unless
# ORLO_REQUIRE_BROWSER is set (CI sets it).
. "$(dirname "$0")/../lib.sh"
dot_tool=$(dirname "$orlo")/orlo-dot
browser=$(command -v chromium || true)
if [ -z "$browser" ]; then
  [ -z "${ORLO_REQUIRE_BROWSER:-}" ] || fail "chromium is not installed"
  echo "chromium not installed: the page is not checked"
  exit 77
fi
orlo_dot() { ${ORLO_WRAPPER:-} "$dot_tool" "$@"; }
chrome() {
  "$browser" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$work/profile" "$@" 2> /dev/null
}
# Text of the element with the given id in a dumped DOM: tags dropped,
# entities for <, > and & turned back.
text_of() {  # id, dom file
  python3 - "$1" "$2" <<'PY'
import html, re, sys
dom = open(sys.argv[2], encoding="utf-8").read()
m = re.search(r'id="%s"[^>]*>(.*?)</(p|pre|span)>' % re.escape(sys.argv[1]), dom, re.S)
print(html.unescape(re.sub(r"<[^>]*>", "", m.group(1))) if m else "<missing>", end="")
PY
}

# A run with repeats, removals of held and absent values and an omitted line.
printf 'INT\nADD 50\nADD 20\nADD 80\nADD 20\nFOO 1\nADD 65\nDEL 99\nDEL 65\nADD 70\nDEL 20\n' > "$work/run.cmd"
orlo_dot --html "$work/run.cmd" > "$work/run.html" || fail "--html: status $?"
orlo_run "$work/run.cmd" > "$work/run.out"
commands=$(($(wc -l < "$work/run.cmd") - 1))
all_printed=""
for k in $(seq 1 "$commands"); do
  chrome --dump-dom "file://$work/run.html#step=$k" > "$work/step.dom"
  command=$(text_of command "$work/step.dom")
  [ "$command" = "$(sed -n "$((k + 1))p" "$work/run.cmd")" ] || fail "step $k shows command '$command'"
  printed=$(text_of printed "$work/step.dom")
  all_printed+="$printed"$'\n'
  depth=$(sed -n 's/^b\[.*\] == //p' <<< "$printed")
  highlighted=$(grep -o 'data-depth="[0-9]*" class="node leaf hl end [a-z]*"' "$work/step.dom" || true)
  if [ -n "$depth" ] && [ "$depth" != -1 ]; then
    [ "$highlighted" = "data-depth=\"$depth\" class=\"node leaf hl end found\"" ] ||
      fail "step $k: Orlo printed depth $depth, the page highlights: ${highlighted:-nothing}"
  elif [ -n "$depth" ]; then
    case $highlighted in *missing\"|"") ;; *) fail "step $k: absent value highlighted as found: $highlighted" ;; esac
  fi
done
# Every line Orlo printed, step by step, then its listing.
distinct=$(orlo_dot --stats "$work/run.cmd" | sed -n 's/^distinct values: //p')
[ "$all_printed" = "$(head -n "-$distinct" "$work/run.out")"$'\n' ] ||
  fail "the steps' lines differ from Orlo's: $(diff <(printf '%s' "$all_printed") "$work/run.out" | head)"
chrome --dump-dom "file://$work/run.html#step=0" > "$work/step.dom"
[ "$(text_of command "$work/step.dom")" = "(before the first command)" ] || fail "step 0"

# Values are text, never markup, and bytes outside printable ASCII show
# escaped.
printf 'STRING\nADD </script><img src=x onerror=alert(1)>\nADD caf\xc3\xa9\n' > "$work/evil.cmd"
orlo_dot --html "$work/evil.cmd" > "$work/evil.html" || fail "--html strings: status $?"
chrome --dump-dom "file://$work/evil.html#step=1" > "$work/evil.dom"
grep -q '<img' "$work/evil.dom" && fail "a value became an element"
[ "$(text_of command "$work/evil.dom")" = 'ADD </script><img src=x onerror=alert(1)>' ] ||
  fail "the value is not shown as text: $(text_of command "$work/evil.dom")"
chrome --dump-dom "file://$work/evil.html#step=2" > "$work/evil.dom"
[ "$(text_of command "$work/evil.dom")" = 'ADD caf\xc3\xa9' ] || fail "bytes not escaped: $(text_of command "$work/evil.dom")"

# Drawn: a screenshot with more than a handful of colours.
chrome --screenshot="$work/shot.png" --window-size=1000,600 "file://$work/run.html#step=6" > /dev/null
python3 - "$work/shot.png" <<'PY' || fail "the screenshot is blank"
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
assert data[:8] == b"\x89PNG\r\n\x1a\n"
pos, idat, width = 8, b"", 0
while pos < len(data):
    length, kind = struct.unpack(">I4s", data[pos:pos + 8])
    if kind == b"IHDR":
        width = struct.unpack(">I", data[pos + 8:pos + 12])[0]
    if kind == b"IDAT":
        idat += data[pos + 8:pos + 8 + length]
    pos += 12 + length
raw = zlib.decompress(idat)
# Distinct byte triples over the filtered scanlines: a blank page has a few.
triples = {raw[i:i + 3] for i in range(0, len(raw) - 3, 3)}
sys.exit(0 if width > 0 and len(triples) > 50 else 1)
PY

# A random mix of 2,000 commands stays a small page.
awk 'BEGIN { srand(5); print "INT"; for (i = 0; i < 2000; i++) print (rand() < 0.7 ? "ADD " : "DEL ") int(rand() * 2000) }' > "$work/big.cmd"
orlo_dot --html "$work/big.cmd" > "$work/big.html" || fail "big page: status $?"
size=$(wc -c < "$work/big.html")
[ "$size" -lt 5000000 ] || fail "the page for 2,000 commands has $size bytes"
chrome --dump-dom "file://$work/big.html#step=2000" > "$work/big.dom"
grep -q 'id="step-label">step 2000 of 2000' "$work/big.dom" || fail "the big page did not draw its last step"
echo ok
