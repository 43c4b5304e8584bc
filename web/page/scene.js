// What a step draws, before and after its command: the nodes (as drawn
// trees for layout.js, in pre-order with their parents), the walk on them,
// and what the command changed, marked. Pure: no document, tested in Node.
//
// "before": the walk on the tree the command ran on.
// "after": the tree the command left, with the change marked: new nodes, a
// changed bound or count as old → new, and for a removal of a last
// occurrence the leaf and its routing node that left, drawn as leaving
// beside the subtree that rose into their place, so the whole walk stays
// on the drawing.
import { labelParts, rangeParts, grouped } from "./labels.js";

/**
 * Box widths in world units; a walk's routing node shows both sides. A
 * narrow screen (a phone) takes the compact ones: labels cut sooner, so
 * that more of the walk fits across.
 */
export const WIDTH = { leaf: 104, routing: 124, walk: 184, fold: 184, pathfold: 150 };
export const COMPACT = { leaf: 84, routing: 92, walk: 148, fold: 164, pathfold: 130 };
export const HEIGHT = { one: 28, two: 44 };

/** The children of each node of a pre-order list with subtree sizes. */
function childrenOf(nodes) {
  const children = nodes.map(() => []);
  const parent = new Int32Array(nodes.length).fill(-1);
  for (let i = 0; i < nodes.length; ++i) {
    for (let c = i + 1; c < i + nodes[i].size; c += nodes[c].size) {
      children[i].push(c);
      parent[c] = i;
    }
  }
  return { children, parent };
}

/** The one line of a node standing for `levels` levels of a walk, above what is drawn. */
function pathfoldLabel(levels) {
  return [[{ text: `⋮ ${grouped(levels)} ${levels === 1 ? "level" : "levels"} above` }]];
}

/**
 * The label of a routing node on the walk: its own range, then the two
 * values next to where its sides meet (the left side's largest and the right
 * side's smallest, ".." standing for the rest of a side), the one compared
 * with marked `compared`.
 */
function walkLabel(node, left, right, item) {
  const own = rangeParts(node);
  const l = { value: left.kind === "leaf" ? left.smallest.text : left.largest.text };
  const r = { value: right.smallest.text };
  if (item.how === "rightSmallest") r.compared = true;
  if (item.how === "leftLargest") l.compared = true;
  if (item.how === "betweenSides") l.compared = r.compared = true;
  if (item.how === "outsideRange") own[item.right ? own.length - 1 : 0].compared = true;
  const sides = [l, { text: " | " }, r];
  if (left.kind !== "leaf") sides.unshift({ text: ".." });
  if (right.kind !== "leaf") sides.push({ text: ".." });
  return [own, sides];
}

/** A bound or count the command changed, shown as old → new in the label. */
function changedLabel(node, edits) {
  if (node.kind === "leaf") {
    const count = edits.find((e) => e.what === "count");
    return [[{ value: node.smallest.text }, { text: ` ×${count.before}→${count.after}` }]];
  }
  const parts = [];
  const small = edits.find((e) => e.what === "bound" && !e.largest);
  const large = edits.find((e) => e.what === "bound" && e.largest);
  if (small) parts.push({ value: small.old.text, old: true }, { text: "→" });
  parts.push({ value: node.smallest.text }, { text: ".." });
  if (large) parts.push({ value: large.old.text, old: true }, { text: "→" });
  parts.push({ value: node.largest.text });
  return [parts];
}

/**
 * Builds a drawn state from a pre-order node list. `walk` is the list of
 * walk items to mark (root first), `role` how the walk reads here.
 */
function state(frame, nodes, walkIds, options) {
  const { children, parent } = childrenOf(nodes);
  const index = new Map(nodes.map((n, i) => [n.id, i]));
  const items = new Map(frame.walk.map((w) => [w.node, w]));
  const edits = new Map();
  if (options.marks) {
    for (const c of frame.change) {
      if (!edits.has(c.node)) edits.set(c.node, []);
      edits.get(c.node).push(c);
    }
  }
  const drawn = nodes.map((node) => ({
    id: node.id, key: `n${node.id}`, kind: node.kind, depth: node.depth, node, marks: [], label: [labelParts(node)],
  }));
  // Of a long walk the frame names only the ends; drawn whole, its middle
  // is the ancestors of its last node drawn.
  const onWalk = new Set(walkIds);
  const lastDrawn = walkIds.findLast((id) => index.has(id));
  for (let i = lastDrawn === undefined ? -1 : index.get(lastDrawn); i >= 0; i = parent[i]) onWalk.add(nodes[i].id);
  // The walk ends at its last node here, unless it ends at a node drawn apart (leaving).
  const endId = walkIds.length && options.endsHere !== false ? walkIds[walkIds.length - 1] : undefined;
  drawn.forEach((d, i) => {
    if (d.kind === "path") {
      // The upper levels of a long walk, folded by the session.
      Object.assign(d, { kind: "pathfold", key: "pathfold", walk: "folded", levels: d.node.count, node: undefined,
                         label: pathfoldLabel(d.node.count) });
      return;
    }
    const item = items.get(d.id);
    const mine = edits.get(d.id) || [];
    if (mine.some((e) => e.what === "created")) d.marks.push("new");
    if (mine.some((e) => e.what === "rose")) d.marks.push("rose");
    if (mine.some((e) => e.what === "bound" || e.what === "count")) {
      d.marks.push("changed");
      d.label = changedLabel(d.node, mine);
    }
    if (onWalk.has(d.id)) {
      d.walk = d.id === endId ? "end" : "path";
      if (d.kind === "routing" && item && children[i].length === 2) {
        const [own, sides] = walkLabel(d.node, nodes[children[i][0]], nodes[children[i][1]], item);
        d.label = options.marks && d.marks.includes("changed") ? [d.label[0], sides] : [own, sides];
      }
    }
  });
  return { drawn, children, index };
}

/** Marks the end of the walk: found or not found. */
function markEnd(s, found) {
  const end = s.drawn.find((d) => d.walk === "end");
  if (end) end.marks.push(found ? "found" : "missing");
}

/**
 * Lays a state out as a list in pre-order with parents, for layout.js:
 * { nodes, parent, width, height, phantom }. A ghost (a routing node and
 * its leaf that left) is drawn under the parent of the node `besideId`, on
 * the `side` it stood; where that node is the root, the two hang beside it
 * under a phantom root that is not drawn.
 */
function flatten(s, ghost, widths) {
  const items = [...s.drawn];
  const children = s.children.map((c) => [...c]);
  let top = items.length > 0 ? 0 : -1;
  let phantom = false;
  if (ghost) {
    const g = items.push(ghost.routing) - 1;
    items.push(ghost.leaf);
    children.push([g + 1], []);
    const beside = s.index.get(ghost.besideId);
    const parentOf = beside === undefined ? -1 : children.findIndex((c) => c.includes(beside));
    if (parentOf >= 0) {
      const list = children[parentOf];
      list.splice(list.indexOf(beside) + (ghost.side === "left" ? 0 : 1), 0, g);
    } else {
      const p = items.push({ key: "phantom", kind: "phantom", depth: 0, marks: [], label: [] }) - 1;
      children.push(top < 0 ? [g] : ghost.side === "left" ? [g, top] : [top, g]);
      top = p;
      phantom = true;
    }
  }
  const order = [], parent = [];
  const stack = top < 0 ? [] : [[top, -1]];
  while (stack.length) {
    const [i, p] = stack.pop();
    order.push(items[i]);
    parent.push(p);
    const me = order.length - 1;
    for (let k = children[i].length - 1; k >= 0; --k) stack.push([children[i][k], me]);
  }
  const width = new Float64Array(order.length), height = new Float64Array(order.length);
  order.forEach((d, i) => {
    const kind = d.kind.replace("ghost-", "");
    width[i] = kind === "phantom" ? 0 : d.label.length === 2 ? widths.walk : widths[kind];
    height[i] = d.label.length === 2 ? HEIGHT.two : HEIGHT.one;
  });
  return { nodes: order, parent: Int32Array.from(parent), width, height, phantom, pathfoldWidth: widths.pathfold };
}


/**
 * The drawn states of a frame: { before, after } for a step (before is
 * null where the command changed nothing), { after } alone for a search or
 * the start. Each is flatten()'s form, its nodes carrying key, kind, depth,
 * marks, walk ("path"/"end"), label (lines of parts) and node (the frame's
 * record; absent for a ghost's).
 */
export function scenes(frame, { compact = false } = {}) {
  const states = statesOf(frame, compact ? COMPACT : WIDTH);
  // Each knows its role ("before", "after" or "search").
  if (states.before) states.before.role = "before";
  states.after.role = frame.kind === "search" ? "search" : "after";
  states.compact = compact;
  return states;
}

function statesOf(frame, widths) {
  const walkIds = frame.walk.map((w) => w.node);
  const last = frame.walk[frame.walk.length - 1];
  const reached = last ? last.how === "leaf" && last.holds : false;
  if (frame.kind === "search" || frame.kind === "start" || frame.kind === "other" || !frame.extracted) {
    const s = state(frame, frame.after, frame.kind === "search" ? walkIds : [], { marks: false });
    if (frame.kind === "search") markEnd(s, reached);
    return { before: null, after: flatten(s, null, widths) };
  }
  const changed = frame.change.length > 0;
  const before = state(frame, frame.before, walkIds, { marks: false });
  markEnd(before, reached);
  if (!changed) {
    return { before: null, after: flatten(before, null, widths) };
  }
  // After: the walk's routing nodes still in the tree, then the change.
  const made = new Set(frame.change.filter((c) => c.what === "created").map((c) => c.node));
  const gone = new Set(frame.change.filter((c) => c.what === "freed").map((c) => c.node));
  const afterWalk = walkIds.filter((id) => !gone.has(id) && !(frame.walk.find((w) => w.node === id).how === "leaf" && made.size));
  let ghost = null;
  if (made.size) {
    // The new routing node took the reached leaf's place; the new leaf is the walk's end now.
    const routing = frame.after.find((n) => made.has(n.id) && n.kind !== "leaf");
    const leaf = frame.after.find((n) => made.has(n.id) && n.kind === "leaf");
    if (routing) afterWalk.push(routing.id);
    if (leaf) afterWalk.push(leaf.id);
  }
  const after = state(frame, frame.after, afterWalk, { marks: true, endsHere: gone.size === 0 });
  // A routing node of the walk shows, after the command too, the sides as
  // they were when the walk compared with them.
  for (const d of after.drawn) {
    const was = before.index.get(d.id);
    if (d.walk && d.label.length === 2 && was !== undefined && before.drawn[was].label.length === 2) {
      d.label = [d.label[0], before.drawn[was].label[1]];
    }
  }
  if (gone.size) {
    // The leaf and its routing node, as they were drawn before, leaving.
    const was = (id) => before.drawn[before.index.get(id)];
    const rose = frame.change.find((c) => c.what === "rose");
    const leafItem = frame.walk[frame.walk.length - 1];
    const routingItem = frame.walk[frame.walk.length - 2];
    const asGhost = (d, walk) => ({ ...d, key: `n${d.id}`, kind: `ghost-${d.kind}`, marks: ["leaving"], walk });
    if (routingItem && rose) {
      ghost = {
        besideId: rose.node,
        side: routingItem.right ? "right" : "left",
        routing: asGhost(was(routingItem.node), "path"),
        leaf: asGhost(was(leafItem.node), "end"),
      };
    } else {
      // The tree was the leaf alone: it leaves an empty tree.
      const empty = { drawn: [], children: [], index: new Map() };
      const leaf = asGhost(was(leafItem.node), "end");
      return { before: flatten(before, null, widths), after: { ...flatten(empty, null, widths), nodes: [leaf], parent: Int32Array.of(-1),
                                                       width: Float64Array.of(widths.leaf), height: Float64Array.of(HEIGHT.one) } };
    }
  } else {
    markEnd(after, frame.kind === "add" || reached);
  }
  return { before: flatten(before, null, widths), after: flatten(after, ghost, widths) };
}

/**
 * A drawn state whose walk is longer than `keep` nodes, with the part of the
 * walk above its last `keep` nodes folded into one node that says how many
 * levels it stands for (kind "pathfold"; what hung beside those levels goes
 * with them). A state whose walk fits is returned as it is.
 */
export function foldPath(state, keep) {
  let end = state.nodes.findIndex((d) => d.walk === "end");
  if (end < 0) return state;
  const chain = [];
  for (let i = end; i >= 0 && state.nodes[i].walk; i = state.parent[i]) chain.push(i);
  if (chain.length <= keep) return state;
  const top = chain[Math.max(1, keep) - 1];
  // A fold already at the top (the session's) joins the new one.
  const above = state.nodes[chain[chain.length - 1]];
  const levels = chain.length - Math.max(1, keep) + (above.kind === "pathfold" ? above.levels - 1 : 0);
  const inside = new Uint8Array(state.nodes.length);
  const index = new Int32Array(state.nodes.length).fill(-1);
  const nodes = [{ key: "pathfold", kind: "pathfold", depth: 0, marks: [], walk: "folded", levels, label: pathfoldLabel(levels) }];
  const parent = [-1], from = [-1];
  for (let i = top; i < state.nodes.length; ++i) {
    if (i !== top && (state.parent[i] < 0 || !inside[state.parent[i]])) continue;
    inside[i] = 1;
    index[i] = nodes.length;
    nodes.push(state.nodes[i]);
    from.push(i);
    parent.push(i === top ? 0 : index[state.parent[i]]);
  }
  const width = Float64Array.from(from, (i) => (i < 0 ? state.pathfoldWidth : state.width[i]));
  const height = Float64Array.from(from, (i) => (i < 0 ? HEIGHT.one : state.height[i]));
  return { nodes, parent: Int32Array.from(parent), width, height, phantom: false, folded: levels, role: state.role };
}
