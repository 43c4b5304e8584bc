// Reads a frame, as the session writes it, into a plain object. The layout
// comes from frame-layout.js, generated at build time from the same
// definition the session is built from (web/Frame.h).
import { HEADER, SPANS, SPAN, WALK_ITEM, CHANGE_ITEM, NODE_ITEM, FIGURES, TYPE, KIND, FLAG, WALK_HOW, CHANGE_WHAT, NODE_KIND } from "./frame-layout.js";

const nameOf = (table) => {
  const names = [];
  for (const [name, value] of Object.entries(table)) names[value] = name;
  return names;
};
const TYPE_NAMES = nameOf(TYPE);
const KIND_NAMES = nameOf(KIND);
const HOW_NAMES = nameOf(WALK_HOW);
const WHAT_NAMES = nameOf(CHANGE_WHAT);
const NODE_KIND_NAMES = nameOf(NODE_KIND);

// Text is UTF-8; a value may begin with U+FEFF, which must not be taken for
// a byte-order mark and dropped.
const utf8 = new TextDecoder("utf-8", { ignoreBOM: true });

/** A text of the frame: { text, whole } (whole: the bytes of the whole text when the session cut it, else 0). */
function spanAt(words, at, textBytes) {
  const start = words[at], bytes = words[at + 1];
  return { text: utf8.decode(textBytes.subarray(start, start + bytes)), whole: words[at + 2] };
}

/**
 * The frame in `bytes` (a Uint8Array of its own) as an object:
 *   done, steps, known, type ("INT", "DOUBLE", "STRING" or null), kind ("start", "add", "del",
 *   "other", "search"), extracted, stuck, unordered, listed, countBefore, countAfter, depth,
 *   line, value, exact, printed, listing, waiting, problem (each { text, whole }: whole > 0 when cut),
 *   walk: [{ node, how, right, holds, bound, exact }] (of a long walk, the first and the last, walkSkipped between),
 *   change: [{ what, node, largest, before, after, old, now }],
 *   before, after: nodes in pre-order [{ id, kind, depth, size, count, leaves, height, smallest, largest, exactSmallest, exactLargest }],
 *   figures: { distinct, occurrences, routing, height, depthSum, leavesAtDepth }.
 */
export function readFrame(bytes) {
  const headerWords = HEADER.WORDS + SPANS.COUNT * SPAN.WORDS;
  const head = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const word = (i) => head.getUint32(4 * i, true);
  const h = (field) => word(HEADER[field]);
  const total = headerWords + h("walkItems") * WALK_ITEM.WORDS + h("changeItems") * CHANGE_ITEM.WORDS +
    (h("beforeNodes") + h("afterNodes")) * NODE_ITEM.WORDS + h("figureWords");
  if (total * 4 + h("textBytes") > bytes.byteLength) throw new Error("the frame is shorter than its header says");
  const words = new Uint32Array(total);
  for (let i = 0; i < total; ++i) words[i] = word(i);
  const text = bytes.subarray(total * 4, total * 4 + h("textBytes"));
  const span = (at) => spanAt(words, at, text);
  const flags = h("flags");
  const frame = {
    done: h("done"), steps: h("steps"), known: h("known"),
    type: h("type") === TYPE.none ? null : TYPE_NAMES[h("type")],
    kind: KIND_NAMES[h("kind")],
    extracted: (flags & FLAG.extracted) !== 0, stuck: (flags & FLAG.stuck) !== 0,
    unordered: (flags & FLAG.unordered) !== 0, listed: (flags & FLAG.listed) !== 0,
    countBefore: h("countBefore"), countAfter: h("countAfter"), depth: h("depth") | 0,
    waitingLine: h("waitingLine"), walkSkipped: h("walkSkipped"),
  };
  for (const [name, index] of Object.entries(SPANS)) {
    if (name !== "COUNT") frame[name] = span(HEADER.WORDS + index * SPAN.WORDS);
  }
  let at = headerWords;
  frame.walk = [];
  for (let i = 0; i < h("walkItems"); ++i, at += WALK_ITEM.WORDS) {
    frame.walk.push({
      node: words[at + WALK_ITEM.node], how: HOW_NAMES[words[at + WALK_ITEM.how]],
      right: words[at + WALK_ITEM.right] === 1, holds: words[at + WALK_ITEM.holds] === 1,
      bound: span(at + WALK_ITEM.boundAt), exact: span(at + WALK_ITEM.exactAt),
    });
  }
  frame.change = [];
  for (let i = 0; i < h("changeItems"); ++i, at += CHANGE_ITEM.WORDS) {
    frame.change.push({
      what: WHAT_NAMES[words[at + CHANGE_ITEM.what]], node: words[at + CHANGE_ITEM.node],
      largest: words[at + CHANGE_ITEM.largest] === 1,
      before: words[at + CHANGE_ITEM.before], after: words[at + CHANGE_ITEM.after],
      old: span(at + CHANGE_ITEM.oldAt), now: span(at + CHANGE_ITEM.newAt),
    });
  }
  const nodes = (n) => {
    const out = [];
    for (let i = 0; i < n; ++i, at += NODE_ITEM.WORDS) {
      out.push({
        id: words[at + NODE_ITEM.id], kind: NODE_KIND_NAMES[words[at + NODE_ITEM.kind]],
        depth: words[at + NODE_ITEM.depth], size: words[at + NODE_ITEM.size], count: words[at + NODE_ITEM.count],
        leaves: words[at + NODE_ITEM.leaves], height: words[at + NODE_ITEM.height],
        smallest: span(at + NODE_ITEM.smallestAt), largest: span(at + NODE_ITEM.largestAt),
        exactSmallest: span(at + NODE_ITEM.exactSmallestAt), exactLargest: span(at + NODE_ITEM.exactLargestAt),
      });
    }
    return out;
  };
  frame.before = nodes(h("beforeNodes"));
  frame.after = nodes(h("afterNodes"));
  const f = words.subarray(at, at + h("figureWords"));
  frame.figures = f.length === 0 ? { distinct: 0, occurrences: 0, routing: 0, height: 0, depthSum: 0, leavesAtDepth: [] } : {
    distinct: f[FIGURES.distinct], occurrences: f[FIGURES.occurrencesLow] + f[FIGURES.occurrencesHigh] * 2 ** 32,
    routing: f[FIGURES.routing], height: f[FIGURES.height],
    depthSum: f[FIGURES.depthSumLow] + f[FIGURES.depthSumHigh] * 2 ** 32,
    leavesAtDepth: Array.from(f.subarray(FIGURES.WORDS)),
  };
  return frame;
}
