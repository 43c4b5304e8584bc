// The tidy layout of the drawn tree: boxes on one level never come nearer
// than the gap and keep pre-order, parents sit over their children, equal
// subtrees look equal, small subtrees between large ones are spread evenly,
// and very deep chains are placed quickly and stay narrow.
import { test } from "node:test";
import assert from "node:assert/strict";
import { moduleDir, random } from "./support.mjs";

const { place, depthsOf } = await import(moduleDir + "layout.js");

const eps = 1e-6;


// Builds a tree in pre-order from a root description and a function giving a
// description's width and children, with a stack so deep trees fit.
function build(root, widthOf, childrenOf) {
  const parent = [], width = [];
  const stack = [[-1, root]];
  while (stack.length) {
    const [p, node] = stack.pop();
    const i = parent.length;
    parent.push(p);
    width.push(widthOf(node));
    const kids = childrenOf(node);
    for (let k = kids.length - 1; k >= 0; k--) stack.push([i, kids[k]]);
  }
  return { length: parent.length, parent: Int32Array.from(parent), width: Float64Array.from(width) };
}

// A random tree as nested arrays, each node the array of its children, at
// most `depth` levels deep, each inner node with a child count from `counts`.
function grow(rand, depth, counts = [2]) {
  if (depth === 0 || rand() < 0.3) return [];
  return Array.from({ length: counts[Math.floor(rand() * counts.length)] }, () => grow(rand, depth - 1, counts));
}
const treeOf = (nested, widthOf = () => 20) => build(nested, widthOf, (node) => node);

// Every routing node at depth < depth has a leaf child and a routing child;
// side(d) says whether the leaf is on the left.
function caterpillar(depth, side, widthOf = () => 20) {
  return build({ d: 0 }, (node) => widthOf(node), ({ d, leaf }) => {
    if (leaf || d === depth) return [];
    const l = { d: d + 1, leaf: true }, r = { d: d + 1 };
    return side(d) ? [l, r] : [r, l];
  });
}

function kidsOf(tree) {
  const kids = Array.from({ length: tree.length }, () => []);
  for (let i = 1; i < tree.length; i++) kids[tree.parent[i]].push(i);
  return kids;
}

// The properties every layout must have; stops at the first broken one.
function checkTidy(tree, out, { gap = 12, level = 64, height = 30 } = {}) {
  const { parent, width } = tree;
  const { x, y } = out;
  const depth = depthsOf(parent);
  const last = [];  // the node seen last on each level, in pre-order
  let left = Infinity, right = -Infinity, deepest = 0;
  for (let i = 0; i < tree.length; i++) {
    const d = depth[i];
    if (y[i] !== d * level) assert.fail(`node ${i}: y ${y[i]}, depth ${d}`);
    const a = last[d];
    if (a !== undefined) {
      const room = x[i] - width[i] / 2 - (x[a] + width[a] / 2);
      if (!(room >= gap - eps)) assert.fail(`level ${d}: nodes ${a} and ${i} are ${room} apart`);
    }
    last[d] = i;
    left = Math.min(left, x[i] - width[i] / 2);
    right = Math.max(right, x[i] + width[i] / 2);
    deepest = Math.max(deepest, d);
  }
  const kids = kidsOf(tree);
  for (let v = 0; v < tree.length; v++) {
    const k = kids[v];
    if (k.length && Math.abs(x[v] - (x[k[0]] + x[k.at(-1)]) / 2) > eps) assert.fail(`node ${v} is not over its children`);
  }
  assert.ok(Math.abs(out.left - left) < eps && Math.abs(out.right - right) < eps, "left/right bound the boxes");
  assert.ok(out.top === -height / 2 && out.bottom === deepest * level + height / 2, "top/bottom bound the boxes");
}

// Where a node has two children, their subtrees touch: on some level they are
// exactly gap apart (nothing is spread further than it must be).
function checkTight(tree, out, gap = 12) {
  const { width } = tree, { x } = out;
  const kids = kidsOf(tree), depth = depthsOf(tree.parent);
  const end = new Int32Array(tree.length);  // one past the last node of each subtree
  for (let v = tree.length - 1; v >= 0; v--) end[v] = kids[v].length ? end[kids[v].at(-1)] : v + 1;
  for (let v = 0; v < tree.length; v++) {
    if (kids[v].length !== 2) continue;
    const [a, b] = kids[v];
    const rightOfA = new Map();
    for (let i = a; i < b; i++) rightOfA.set(depth[i], Math.max(rightOfA.get(depth[i]) ?? -Infinity, x[i] + width[i] / 2));
    let least = Infinity;
    for (let i = b; i < end[v]; i++) {
      if (rightOfA.has(depth[i])) least = Math.min(least, x[i] - width[i] / 2 - rightOfA.get(depth[i]));
    }
    if (Math.abs(least - gap) > eps) assert.fail(`the children of ${v} are ${least} apart at the nearest`);
  }
}

test("random, complete and wide-boxed trees are tidy", async (t) => {
  const rand = random(7);
  await t.test("random trees with 0 or 2 children, and with any number", () => {
    for (let round = 0; round < 300; round++) {
      const binary = treeOf(grow(rand, 12));
      checkTidy(binary, place(binary));
      checkTight(binary, place(binary));
      const any = treeOf(grow(rand, 8, [1, 2, 3, 4]), () => 16 + Math.floor(rand() * 3) * 20);
      checkTidy(any, place(any));
    }
  });
  await t.test("wide boxes of many widths, with options", () => {
    for (let round = 0; round < 200; round++) {
      const tree = treeOf(grow(rand, 10), () => 10 + rand() * 290);
      const out = place(tree, { gap: 5, level: 40, height: 22 });
      checkTidy(tree, out, { gap: 5, level: 40, height: 22 });
      checkTight(tree, out, 5);
    }
  });
  await t.test("a complete tree", () => {
    const tree = build(0, () => 20, (d) => (d < 10 ? [d + 1, d + 1] : []));
    checkTidy(tree, place(tree));
    checkTight(tree, place(tree));
  });
});

test("equal subtrees are drawn alike, wherever they are", async (t) => {
  // Subtrees are equal when their shapes and widths are; pre-order keeps each
  // subtree's nodes together, so its k-th node is at root + k in both.
  function checkEqualShapes(tree, out) {
    const kids = kidsOf(tree), ids = new Map(), shape = new Int32Array(tree.length), size = new Int32Array(tree.length);
    for (let v = tree.length - 1; v >= 0; v--) {
      const key = tree.width[v] + ":" + kids[v].map((c) => shape[c]).join(",");
      if (!ids.has(key)) ids.set(key, ids.size);
      shape[v] = ids.get(key);
      size[v] = 1 + kids[v].reduce((s, c) => s + size[c], 0);
    }
    const seen = new Map();
    let compared = 0;
    for (let v = 0; v < tree.length; v++) {
      if (size[v] < 3) continue;
      const u = seen.get(shape[v]);
      if (u === undefined) { seen.set(shape[v], v); continue; }
      for (let k = 1; k < size[v]; k++) {
        if (Math.abs(out.x[v + k] - out.x[v] - (out.x[u + k] - out.x[u])) > eps) assert.fail(`subtrees ${u} and ${v} differ`);
      }
      compared++;
    }
    return compared;
  }
  await t.test("in random trees", () => {
    const rand = random(11);
    let compared = 0;
    for (let round = 0; round < 200; round++) {
      const tree = treeOf(grow(rand, 12), () => (rand() < 0.8 ? 20 : 60));
      compared += checkEqualShapes(tree, place(tree));
    }
    assert.ok(compared > 500, `only ${compared} pairs compared`);
  });
  await t.test("one subtree beside larger and smaller ones", () => {
    const a = grow(random(5), 6), big = grow(random(1), 10);
    const tree = treeOf([a, big, a, [], a]);
    const out = place(tree);
    checkTidy(tree, out);
    assert.ok(checkEqualShapes(tree, out) >= 2);
  });
});

test("small subtrees between two large ones are spread evenly", () => {
  // Root's children: two nodes whose wide children push them far apart, with
  // three leaves between them that on their own would sit close to the left.
  const wide = (node) => (node === "wide" ? 200 : 20);
  const tree = build("root", wide, (node) =>
    node === "root" ? ["big", "leaf", "leaf", "leaf", "big"] : node === "big" ? ["wide", "wide"] : []);
  const out = place(tree);
  checkTidy(tree, out);
  const kids = kidsOf(tree)[0].map((c) => out.x[c]);
  const steps = kids.slice(1).map((v, i) => v - kids[i]);
  for (const s of steps) assert.ok(Math.abs(s - steps[0]) < eps, `steps ${steps}`);
  assert.ok(steps[0] > 32 + eps, "the bigs are pushed apart more than the leaves need");
});

test("deep caterpillars are placed quickly and stay narrow", async (t) => {
  const step = 20 + 12;  // two 20-wide boxes side by side, gap apart
  // Linear time places 200,001 nodes in well under a second; time that grows
  // with nodes times depth takes tens of seconds. (A test's timeout cannot
  // stop a call that never yields, so the time is measured.)
  function placeQuickly(tree) {
    const start = performance.now();
    const out = place(tree);
    const took = performance.now() - start;
    assert.ok(took < 5000, `placing ${tree.length} nodes took ${Math.round(took)} ms`);
    return out;
  }
  await t.test("100,000 levels, the leaf on alternating sides", () => {
    const tree = caterpillar(100_000, (d) => d % 2 === 0);
    const out = placeQuickly(tree);
    checkTidy(tree, out);
    assert.ok(out.right - out.left <= 3 * step, `width ${out.right - out.left}`);
  });
  await t.test("100,000 levels, the leaf always on the left", () => {
    // Centring every parent over a leaf and the next routing node moves each
    // level half a step right; the layout must add nothing to that.
    const tree = caterpillar(100_000, () => true);
    const out = placeQuickly(tree);
    checkTidy(tree, out);
    for (let i = 1; i < tree.length; i++) {
      const dx = Math.abs(out.x[i] - out.x[tree.parent[i]]);
      if (Math.abs(dx - step / 2) > eps) assert.fail(`edge to ${i} is ${dx} across`);
    }
  });
  await t.test("leaves on random sides, boxes of random widths: short edges", () => {
    const rand = random(3);
    const tree = caterpillar(5000, () => rand() < 0.5, () => 10 + rand() * 90);
    const out = place(tree);
    checkTidy(tree, out);
    const most = Math.max(...tree.width);
    for (let i = 1; i < tree.length; i++) {
      const dx = Math.abs(out.x[i] - out.x[tree.parent[i]]);
      if (dx > most + 12) assert.fail(`edge to ${i} is ${dx} across`);
    }
  });
});

test("trees out of pre-order are refused; the empty tree has nothing", () => {
  const width = new Float64Array(3).fill(20);
  assert.throws(() => place({ length: 3, parent: Int32Array.of(-1, 2, 0), width }), RangeError);
  assert.throws(() => place({ length: 2, parent: Int32Array.of(0, 0), width }), RangeError);
  const out = place({ length: 0, parent: new Int32Array(0), width: new Float64Array(0) });
  assert.equal(out.x.length, 0);
});
