// How values and nodes read on the page: counts in words, texts cut to fit
// a box while keeping their start, their end and every operator between
// them, and the label of each kind of node.

/**
 * A whole number with its thousands grouped: 1,048,576. (Not
 * toLocaleString: the first call of that wakes the browser's locale data,
 * some tens of milliseconds before the page's first drawing.)
 */
export function grouped(n) {
  const digits = String(n);
  let out = "";
  for (let i = 0; i < digits.length; ++i) {
    if (i > 0 && (digits.length - i) % 3 === 0 && digits[i - 1] !== "-") out += ",";
    out += digits[i];
  }
  return out;
}

/** A count in few characters: grouped below 100,000, else in thousands (350K). */
export function brief(n) {
  return n < 100000 ? grouped(n) : `${grouped(Math.round(n / 1000))}K`;
}

/** "once" or "N times". */
export function times(n) {
  return n === 1 ? "once" : `${grouped(n)} times`;
}

/** A frame's text (a span) with, when the session cut it, how long it is whole. */
export function whole(span) {
  return span.whole > 0 ? `${span.text} (${grouped(span.whole)} bytes)` : span.text;
}

/** The value's full text where printing rounds it (a double), else as printed. */
export function exactOr(printed, exact) {
  return exact && exact.text ? exact.text : printed.text;
}

/** Text cut to `most` characters, keeping its start and its end around "…". */
export function cutMiddle(text, most) {
  const chars = Array.from(text);
  if (chars.length <= most) return text;
  if (most < 3) return chars.slice(0, most).join("");
  const head = Math.ceil((most - 1) / 2), tail = most - 1 - head;
  return chars.slice(0, head).join("") + "…" + (tail > 0 ? chars.slice(-tail).join("") : "");
}

/**
 * A label made of parts, cut to `most` characters: values ({ value: text })
 * lose their middles, longest first; other parts ({ text }: operators,
 * separators, counts) are kept whole. Returns the parts, each with `shown`.
 */
export function fitParts(parts, most) {
  const lengths = parts.map((p) => Array.from(p.value ?? p.text).length);
  let total = lengths.reduce((a, b) => a + b, 0);
  while (total > most) {
    let longest = -1;
    for (let i = 0; i < parts.length; ++i) {
      if (parts[i].value !== undefined && lengths[i] > 3 && (longest < 0 || lengths[i] > lengths[longest])) longest = i;
    }
    if (longest < 0) break;  // nothing left to cut: the fixed parts alone are too long
    const cut = Math.max(3, lengths[longest] - (total - most));
    total -= lengths[longest] - cut;
    lengths[longest] = cut;
  }
  return parts.map((p, i) => ({ ...p, shown: p.value !== undefined ? cutMiddle(p.value, lengths[i]) : p.text }));
}

/** fitParts(), joined. */
export function fit(parts, most) {
  return fitParts(parts, most).map((p) => p.shown).join("");
}

/** The parts of a node's range: a leaf's value, else its smallest..largest. */
export function rangeParts(node) {
  if (node.kind === "leaf") return [{ value: node.smallest.text }];
  return [{ value: node.smallest.text }, { text: ".." }, { value: node.largest.text }];
}

/** The parts of a node's label: a leaf's value and count, a routing node's range, a fold's range. */
export function labelParts(node) {
  const parts = rangeParts(node);
  if (node.kind === "leaf") parts.push({ text: ` ×${node.count}` });
  return parts;
}

/** The whole label, for reading aloud and for the detail line: values in full where printing rounds. */
export function describeNode(node) {
  const small = exactOr(node.smallest, node.exactSmallest), large = exactOr(node.largest, node.exactLargest);
  const note = (span) => (span.whole > 0 ? ` (${grouped(span.whole)} bytes)` : "");
  if (node.kind === "leaf") return `leaf ${small}${note(node.smallest)}, held ${times(node.count)}`;
  const range = `${small}${note(node.smallest)} to ${large}${note(node.largest)}`;
  const size = `${grouped(node.leaves)} leaves, ${node.height} levels`;
  return node.kind === "fold" ? `folded subtree ${range}: ${size}` : `routing node ${range}: ${size}`;
}
