// What a step draws, from the frames the page's engine makes: the walk on
// the tree before the command; after it, new nodes, changed bounds and
// counts (old → new), and a removed leaf and its routing node drawn as
// leaving beside the subtree that rose into their place; the bound each
// routing node of the walk compared with, on the node; and nothing marked
// that did not change.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import { moduleDir } from "./support.mjs";

const env = process.env;
const skip = !env.ORLO_PAGE_WASM && "needs the page's module (ORLO_PAGE_WASM)";
const { Orlo } = skip ? {} : await import(moduleDir + "engine.js");
const { scenes } = skip ? {} : await import(moduleDir + "scene.js");
const module = skip ? null : new WebAssembly.Module(readFileSync(env.ORLO_PAGE_WASM));

function stepOf(file, k) {
  const orlo = new Orlo(module);
  orlo.load(new TextEncoder().encode(file));
  return orlo.go(k);
}
const removals = () => readFileSync(join(env.ORLO_EXAMPLES ?? "", "removals.cmd"), "latin1");
const marked = (state, mark) => state.nodes.filter((d) => d.marks.includes(mark));
const text = (d) => d.label.map((line) => line.map((p) => p.value ?? p.text).join("")).join(" / ");
const firstLine = (d) => text({ label: d.label.slice(0, 1) });
const walkOf = (state) => state.nodes.filter((d) => d.walk);

test("a removal of a last occurrence: the walk ends at the leaf, drawn leaving beside the side that rose", { skip }, () => {
  const { before, after } = scenes(stepOf(removals(), 10));  // DEL 30
  assert.equal(walkOf(before).length, 4);
  assert.equal(walkOf(before).at(-1).walk, "end");
  assert.deepEqual(marked(before, "found").map(text), ["30 ×1"]);
  const walk = walkOf(after);
  assert.equal(walk.length, 4, walk.map(text).join(", "));
  const end = walk.find((d) => d.walk === "end");
  assert.equal(end.kind, "ghost-leaf");
  assert.deepEqual(end.marks, ["leaving"]);
  assert.equal(text(end), "30 ×1");
  const leaving = marked(after, "leaving");
  assert.deepEqual(leaving.map((d) => d.kind).sort(), ["ghost-leaf", "ghost-routing"]);
  // The routing node that left hangs under the same parent as the leaf 20 that took its place.
  const rose = marked(after, "rose");
  assert.deepEqual(rose.map(text), ["20 ×1"]);
  const parentOf = (d) => after.parent[after.nodes.indexOf(d)];
  const ghostRouting = leaving.find((d) => d.kind === "ghost-routing");
  assert.equal(parentOf(ghostRouting), parentOf(rose[0]));
  assert.equal(parentOf(end), after.nodes.indexOf(ghostRouting));
  // The one bound that changed shows old → new.
  assert.deepEqual(marked(after, "changed").map(firstLine), ["10..30→20"]);
});

test("a removal beside the root hangs under a root that is not drawn, and the layout leaves it out", { skip }, async () => {
  const { TreeView } = await import(moduleDir + "view.js");
  const { before, after } = scenes(stepOf("INT\nADD 1\nADD 2\nDEL 1\n", 3));  // 2 rises to the root
  assert.equal(after.phantom, true);
  // The margins above the highest and below the deepest node, as in a tree with nothing left out.
  const margins = (state) => {
    const l = TreeView.layout(state);
    const y = [...state.nodes.keys()].filter((i) => state.nodes[i].kind !== "phantom").map((i) => l.y[i]);
    return [Math.min(...y) - l.top, l.bottom - Math.max(...y)];
  };
  assert.equal(before.phantom, false);
  assert.deepEqual(margins(after), margins(before));
});

test("a routing node on the walk shows the bound it was compared with", { skip }, () => {
  const { after } = scenes(stepOf(removals(), 8));  // ADD 30 again
  const root = after.nodes[0];
  assert.equal(root.walk, "path");
  const compared = root.label[1].filter((p) => p.compared).map((p) => p.value);
  assert.deepEqual(compared, ["50"]);  // the right side's smallest
  assert.equal(text(root), "10..90 / ..30 | 50..");
  const removal = scenes(stepOf(removals(), 10)).before.nodes[0];
  assert.deepEqual(removal.label[1].filter((p) => p.compared).map((p) => p.value), ["30"]);  // the left side's largest
});

test("a count that changes is marked changed, and nothing else is", { skip }, () => {
  const { before, after } = scenes(stepOf("INT\nADD 5\nADD 3\nADD 5\n", 3));
  for (const mark of ["new", "leaving", "rose", "missing"]) assert.deepEqual(marked(after, mark), [], mark);
  assert.deepEqual(marked(after, "changed").map(text), ["5 ×1→2"]);
  assert.deepEqual(marked(before, "changed"), []);
});

test("a split: the leaf reached becomes a routing node over two leaves, the new ones marked", { skip }, () => {
  const { before, after } = scenes(stepOf("INT\nADD 5\nADD 3\n", 2));
  assert.deepEqual(walkOf(before).map(text), ["5 ×1"]);
  assert.deepEqual(marked(after, "new").map((d) => d.kind).sort(), ["leaf", "routing"]);
  const end = walkOf(after).find((d) => d.walk === "end");
  assert.deepEqual([text(end), end.marks.sort()], ["3 ×1", ["found", "new"]]);
  assert.deepEqual(marked(after, "changed"), []);
});

test("a miss ends where the walk ended, marked not found; a search draws its walk", { skip }, () => {
  const miss = scenes(stepOf("INT\nADD 5\nADD 3\nDEL 4\n", 3));
  assert.equal(miss.before, null);  // nothing changed: one state
  assert.deepEqual(marked(miss.after, "missing").map((d) => d.kind), ["routing"]);
  const orlo = new Orlo(module);
  orlo.load(new TextEncoder().encode("INT\nADD 5\nADD 3\nADD 8\n"));
  orlo.go(3);
  const search = scenes(orlo.search("4"));
  assert.deepEqual(walkOf(search.after).map((d) => d.walk), ["path", "end"]);
  assert.deepEqual(marked(search.after, "missing").map(text), ["3 ×1"]);
});

test("a long walk drawn whole is marked at every level, its middle too", { skip }, () => {
  const orlo = new Orlo(module);
  const n = 200;
  orlo.load(new TextEncoder().encode(`INT\n${Array.from({ length: n }, (_, i) => `ADD ${i + 1}\n`).join("")}`));
  orlo.setPathLevels(Infinity);
  const frame = orlo.go(n);
  assert.ok(frame.walkSkipped > 0);  // the frame carries only the walk's ends
  const { before, after } = scenes(frame);
  assert.equal(walkOf(before).length, n - 1);  // down to the leaf n - 1 reached
  assert.equal(walkOf(after).length, n);  // down to the new leaf n
  assert.ok(walkOf(after).every((d, i) => i < n - 1 ? d.walk === "path" : d.walk === "end"));
});
