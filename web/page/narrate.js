// The page's words for a step: the rule a walk follows, each comparison it
// made, what the command did, and the same told in one piece for screen
// readers. Everything comes from the frame the session made for the step.
import { LIMITS } from "./frame-layout.js";
import { times, exactOr, whole, grouped } from "./labels.js";

/** The rule by which a walk of this kind chooses a side. */
export function ruleOf(kind) {
  if (kind === "del") {
    return "A removal compares the value with the largest value on the left side: larger goes right, anything else left.";
  }
  const who = kind === "search" ? "A search, like an insertion," : "An insertion";
  return `${who} compares the value with the smallest value on the right side: smaller goes left, anything else right.`;
}

/**
 * The value and a bound as the narration shows them: as printed, or in
 * full where the two print alike (doubles that differ past six digits).
 */
function shown(frame, item) {
  const v = frame.value.text, b = item.bound.text;
  if (v === b && (frame.exact.text || item.exact.text)) {
    return [exactOr(frame.value, frame.exact), exactOr(item.bound, item.exact)];
  }
  return [v, b];
}

/**
 * One sentence per walk item, root first, each with its place in the whole
 * walk (`n`, from 1); of a long walk, whose middle the frame leaves out, a
 * line (n null) saying how many comparisons are not told.
 */
export function walkSteps(frame) {
  const sentences = frame.walk.map((item) => {
    if (item.how === "leaf") return atLeaf(frame, item);
    const [v, b] = shown(frame, item);
    switch (item.how) {
      case "rightSmallest":
        return item.right ? `${v} ≥ ${b}, the right side's smallest → right` : `${v} < ${b}, the right side's smallest → left`;
      case "leftLargest":
        return item.right ? `${v} > ${b}, the left side's largest → right` : `${v} ≤ ${b}, the left side's largest → left`;
      case "outsideRange":
        return item.right ? `${v} > ${b}, this node's largest: not held below it; the walk ends`
                          : `${v} < ${b}, this node's smallest: not held below it; the walk ends`;
      case "betweenSides":
        return `${v} is above the left side's largest but < ${b}, the right side's smallest: between the sides, not held; the walk ends`;
      default:
        return "";
    }
  });
  // The frame carries a long walk's first LIMITS.walkHead comparisons, then its last ones.
  const head = LIMITS.walkHead;
  const steps = sentences.map((text, i) => ({ n: i + 1 + (i >= head ? frame.walkSkipped : 0), text }));
  if (frame.walkSkipped) steps.splice(head, 0, { n: null, text: moreComparisons(frame.walkSkipped) });
  return steps;
}

/** How deep the walk went: the nodes it passed and its end, those the frame leaves out of a long walk too. */
export function walkDepth(frame) {
  return frame.walk.length + frame.walkSkipped;
}

const moreComparisons = (n) => `… ${grouped(n)} more comparisons …`;

/**
 * The walk's steps as a list to read: a long walk cut to its first `head`
 * and last `tail` comparisons, with a line (n: null) where some are left out.
 */
export function walkList(frame, head = 5, tail = 6) {
  const steps = walkSteps(frame).filter((s) => s.n !== null);
  const kept = steps.length <= head + tail + 3 ? steps : [...steps.slice(0, head), ...steps.slice(-tail)];
  const list = [];
  for (const s of kept) {
    const last = list[list.length - 1];
    if (last && s.n > last.n + 1) list.push({ n: null, text: moreComparisons(s.n - last.n - 1) });
    list.push(s);
  }
  return list;
}

/** What the walk finds at its leaf, and what the command does there. */
function atLeaf(frame, item) {
  const value = exactOr(frame.value, frame.exact);
  if (item.holds) {
    if (frame.kind === "add") return `reaches the leaf that holds ${value}: one more occurrence`;
    if (frame.kind === "del") {
      return frame.countBefore > 1 ? `reaches the leaf that holds ${value}: one occurrence fewer`
                                   : `reaches the leaf that holds ${value}: it leaves, and its routing node with it`;
    }
    return `reaches the leaf that holds ${value}`;
  }
  const leaf = [...frame.before, ...frame.after].find((n) => n.id === item.node);
  const other = leaf ? exactOr(leaf.smallest, leaf.exactSmallest) : "";
  const which = leaf ? `the leaf ${other}, which does not hold ${value}` : `a leaf that does not hold ${value}`;
  if (frame.kind === "add") return `reaches ${which}: it becomes a routing node over ${other} and ${value}`;
  if (frame.kind === "del") return `reaches ${which}: nothing is removed`;
  return `reaches ${which}`;
}

/** The comparison on a walk's edge: short, the operator and the side kept. */
export function edgeParts(frame, item) {
  const [v, b] = shown(frame, item);
  const op = { rightSmallest: item.right ? " ≥ " : " < ", leftLargest: item.right ? " > " : " ≤ " }[item.how];
  if (!op) return null;
  return [{ value: v }, { text: op }, { value: b }, { text: item.right ? " → right" : " → left" }];
}

/** The command as read, where that differs from its line: "read as DEL 2". */
export function readAs(frame) {
  if (frame.kind !== "add" && frame.kind !== "del") return "";
  if (!frame.extracted) return "";
  const keyword = frame.kind.toUpperCase();
  return frame.line.text === `${keyword} ${frame.value.text}` ? "" : `read as ${keyword} ${frame.value.text}`;
}

/** What the step did, in a sentence or two. */
export function resultOf(frame) {
  const v = exactOr(frame.value, frame.exact);
  const stuck = frame.stuck ? ` The stream cannot get past “${frame.waiting.text}”: every later command is omitted too.` : "";
  switch (frame.kind) {
    case "start":
      return frame.steps === 0 ? "Type a command, such as ADD 7, and press Enter." : "Before the first command: the tree is empty.";
    case "other":
      return `Not ADD or DEL: Orlo omits the line (it still reads a value from the stream).${stuck}`;
    case "search":
      if (!frame.extracted) return "No value can be read from that.";
      if (frame.walk.length === 0) return `Search ${v}: the tree is empty.`;
      return frame.countAfter > 0 ? `Search ${v}: held ${times(frame.countAfter)}, its leaf at depth ${frame.depth}.`
                                  : `Search ${v}: not held; the walk ends at depth ${walkDepth(frame)}.`;
    default:
      break;
  }
  if (!frame.extracted) return `No value could be read: Orlo omits the line.${stuck}`;
  const rose = frame.change.find((c) => c.what === "rose");
  if (frame.kind === "add") {
    if (frame.countBefore > 0) return `Added ${v} again: held ${times(frame.countAfter)} now, at depth ${frame.depth}.`;
    if (frame.walk.length === 0) return `Added ${v}: the tree's first leaf.`;
    return `Added ${v}: the leaf the walk reached became a routing node over two leaves, the new one at depth ${frame.depth}.`;
  }
  if (frame.countBefore === 0) {
    // Only in a tree that holds NaN, whose values no order holds, can a walk that finds nothing rewrite a bound.
    return frame.change.length === 0 ? `Not found: ${v} is not held, so nothing changed.`
      : `Not found: ${v} is not held, so nothing was removed; but a NaN in the tree had left bounds on the walk that its values below no longer match, and the walk set them anew.`;
  }
  if (frame.countAfter > 0) return `Removed one ${v}: held ${times(frame.countAfter)} now.`;
  if (!rose) return `Removed ${v}: its leaf was the whole tree, which is empty now.`;
  return `Removed ${v}: its leaf and the routing node above it leave, and the other side rises into their place.`;
}

/** The walk told in one piece: for the drawing's description and the live region. */
export function walkSentence(frame) {
  if (frame.walk.length === 0) return "";
  const who = frame.kind === "search" ? "search for" : "walk of";
  return `The ${who} ${exactOr(frame.value, frame.exact)}: ${walkSteps(frame).map((s) => s.text).join("; ")}.`;
}

/** What a screen reader hears when a step is shown. */
export function announce(frame) {
  const parts = [];
  if (frame.kind !== "search") parts.push(`Step ${frame.done} of ${frame.steps}.`);
  if (frame.kind !== "start" && frame.kind !== "search") {
    parts.push(`${whole(frame.line)}.`);
    const read = readAs(frame);
    if (read) parts.push(`${read[0].toUpperCase()}${read.slice(1)}.`);
  }
  parts.push(resultOf(frame));
  const walk = walkSentence(frame);
  if (walk) parts.push(walk);
  if (frame.waiting.text && !frame.stuck && frame.kind !== "search") parts.push(`Still waiting in the stream: “${frame.waiting.text}”.`);
  return parts.join(" ");
}
