// The page's engine (Orlo's interpreter and BSTSET compiled to WebAssembly,
// web/PageSession.cpp, driven through engine.js) under Node: every step
// prints what Orlo prints; a step reached by any path, forward, back or by a
// jump, is the step reached straight from the start; the walk and the change
// are the ones the update made; the figures kept step by step are those of
// the whole tree; what waits in the stream is shown; long values are cut; a
// run saved in a page is written as orlo-dot writes it and comes back exactly.
//
//   ORLO_PAGE_MODULES, ORLO_PAGE_WASM, ORLO_BIN, ORLO_DOT, ORLO_EXAMPLES: the
//   page's modules, its module, Orlo, orlo-dot and the shipped examples.
import { test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, readdirSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { moduleDir } from "./support.mjs";

const env = process.env;
const skip = !env.ORLO_PAGE_WASM && "needs the page's module (ORLO_PAGE_WASM)";
const { Orlo } = skip ? {} : await import(moduleDir + "engine.js");
const { LIMITS } = skip ? {} : await import(moduleDir + "frame-layout.js");
const { walkList, walkDepth, resultOf } = skip ? {} : await import(moduleDir + "narrate.js");
const module = skip ? null : new WebAssembly.Module(readFileSync(env.ORLO_PAGE_WASM));
const work = mkdtempSync(join(tmpdir(), "orlo-session-"));
const bytes = (text) => (typeof text === "string" ? new TextEncoder().encode(text) : new Uint8Array(text));

function engine(file) {
  const orlo = new Orlo(module);
  orlo.load(bytes(file));
  return orlo;
}

let files = 0;
function saved(file) {
  const path = join(work, `run-${files++}.cmd`);
  writeFileSync(path, bytes(file));
  return path;
}
const orloPrints = (file) => execFileSync(env.ORLO_BIN, [saved(file)]).toString("latin1");

function random(seed) {
  return () => (seed = (seed * 48271) % 2147483647) / 2147483647;
}
function randomRun(seed, n, { type = "INT", range = 40, dels = 0.35 } = {}) {
  const r = random(seed);
  let text = `${type}\n`;
  for (let i = 0; i < n; ++i) {
    const v = Math.floor(r() * range);
    const value = type === "STRING" ? `w${v.toString(36)}` : type === "DOUBLE" ? `${v / 8}` : `${v}`;
    text += `${r() < dels ? "DEL" : "ADD"} ${value}\n`;
  }
  return text;
}

/** A frame with node ids replaced by their order of first appearance, for comparing frames of two engines. */
function normalised(frame) {
  const ids = new Map();
  const id = (n) => {
    if (!ids.has(n)) ids.set(n, ids.size);
    return ids.get(n);
  };
  for (const n of [...frame.before, ...frame.after]) id(n.id);
  return {
    ...frame, known: 0,
    walk: frame.walk.map((w) => ({ ...w, node: id(w.node) })),
    change: frame.change.map((c) => ({ ...c, node: id(c.node) })),
    before: frame.before.map((n) => ({ ...n, id: id(n.id) })),
    after: frame.after.map((n) => ({ ...n, id: id(n.id) })),
  };
}

const examples = () => readdirSync(env.ORLO_EXAMPLES).filter((f) => f.endsWith(".cmd")).map((f) => readFileSync(join(env.ORLO_EXAMPLES, f)));

test("stepping through a run prints, step by step, exactly what Orlo prints", { skip }, () => {
  const runs = [...examples(), randomRun(3, 300), randomRun(4, 200, { type: "STRING" }), randomRun(5, 200, { type: "DOUBLE" }),
                "INT\nADD 1 2\nDEL 9\nADD x\nADD 5\n", "STRING\nADD a\nADDb\nADD  c d\nDEL\nXYZ e\n", "INT\nADD 99999999999\nADD 3\n"];
  for (const file of runs) {
    const orlo = engine(file);
    let printed = "";
    for (let k = 0; k <= orlo.steps; ++k) {
      const frame = orlo.go(k);
      assert.equal(frame.done, k);
      printed += frame.printed.text;
      if (k === orlo.steps) printed += frame.listing.text;
    }
    assert.equal(printed, orloPrints(file), String(file).slice(0, 40));
  }
});

test("any step reached forward, back or by a jump is the step reached from the start", { skip }, () => {
  const runs = [
    randomRun(11, 400, { range: 30, dels: 0.45 }),            // many removals of last occurrences
    randomRun(12, 300, { type: "STRING", range: 25, dels: 0.45 }),
    "INT\n" + Array.from({ length: 60 }, (_, i) => `ADD ${i}`).join("\n") + "\n" +
      Array.from({ length: 60 }, (_, i) => `DEL ${i % 2 ? i : 59 - i}`).join("\n") + "\n",  // a chain taken apart from both ends
    "STRING\nADD ab cd\nADDef\nDEL ab\nDELcd\nADD x y z\nDEL x\nDEL z\nDEL y\n",  // words across lines
    "DOUBLE\nADD 1\nADD nan\nADD 2\nDEL 1\nADD nan\nDEL 2\nADD 3\n",  // a tree that held NaN
  ];
  for (const [n, file] of runs.entries()) {
    const wandering = engine(file);
    const r = random(100 + n);
    const steps = wandering.steps;
    const order = [steps, 0, Math.floor(steps / 2), 1, steps - 1];
    for (let i = 0; i < 60; ++i) order.push(Math.floor(r() * (steps + 1)));
    for (let i = 0; i < 20; ++i) order.push(order[order.length - 1] - 1 < 0 ? 0 : order[order.length - 1] - 1);
    for (const k of order) {
      const straight = engine(file).go(k);
      assert.deepEqual(normalised(wandering.go(k)), normalised(straight), `run ${n}, step ${k}`);
    }
  }
});

test("no budget is no work, and more than the module can count is all it can", { skip }, () => {
  const orlo = engine("DOUBLE\nADD 1\nADD nan\nADD 2\nADD 3\n");
  assert.equal(orlo.move(4, Infinity), 4);
  assert.equal(orlo.move(1, 0), 4);  // a tree that held NaN goes back from the start: not for nothing
  assert.equal(orlo.move(1, 2 ** 40), 1);
  // A walk drawn with no levels of its path still draws its end.
  orlo.setPathLevels(0);
  assert.ok(orlo.go(4).after.some((n) => n.kind === "leaf"));
});

test("a long way gone in pieces is charged for a subtree a removal lifts or lowers", { skip }, () => {
  // 0 on the left of the root, 1..1000 a chain on its right: DEL 0 lifts the chain, 2,000 nodes.
  const adds = Array.from({ length: 1001 }, (_, i) => `ADD ${i}`).join("\n");
  const file = `INT\n${adds}\nDEL 0\nADD 5000\nADD 5001\n`;
  const orlo = engine(file);
  assert.equal(orlo.move(1001, 1e9), 1001);
  assert.equal(orlo.move(1004, 100), 1002);  // the budget is spent on DEL 0
  assert.equal(orlo.move(1000, 100), 1001);  // and on taking it back
  assert.deepEqual(normalised(orlo.go(1004)), normalised(engine(file).go(1004)));
});

test("the figures and subtree sizes kept step by step are those of the whole tree", { skip }, () => {
  const file = randomRun(21, 500, { range: 60, dels: 0.4 });
  const path = saved(file);
  const orlo = engine(file);
  const r = random(22);
  for (let i = 0; i < 25; ++i) {
    const k = Math.floor(r() * 501);
    const frame = orlo.go(k), f = frame.figures;
    const stats = execFileSync(env.ORLO_DOT, ["--after", String(k), "--stats", path]).toString();
    const figure = (name) => Number(stats.match(new RegExp(`^${name}: (.*)$`, "m"))[1]);
    assert.equal(f.distinct, figure("distinct values"), `step ${k}`);
    assert.equal(f.occurrences, figure("occurrences"));
    assert.equal(f.routing, figure("routing nodes"));
    assert.equal(f.height, figure("height"));
    if (f.distinct) assert.equal((f.depthSum / f.distinct).toFixed(2), stats.match(/^average leaf depth: (.*)$/m)[1]);
    const depths = [...stats.matchAll(/^leaves at depth \d+: (\d+)$/gm)].map((m) => Number(m[1]));
    assert.deepEqual(f.leavesAtDepth, depths, `step ${k}`);
    // Every drawn routing node and fold has its subtree's leaves and height,
    // as counted on the whole tree orlo-dot draws (a subtree is named by its
    // range: a child's is always narrower).
    for (const [nodes, after] of [[frame.before, k - 1], [frame.after, k]]) {
      const sizes = subtreeSizes(execFileSync(env.ORLO_DOT, ["--after", String(Math.max(after, 0)), path]).toString());
      for (const n of nodes.filter((n) => n.kind === "routing" || n.kind === "fold")) {
        const range = `${n.smallest.text} .. ${n.largest.text}`;
        assert.deepEqual({ leaves: n.leaves, height: n.height }, sizes.get(range), `after step ${after}, ${range}`);
      }
    }
  }
});

/** The leaves and height of each routing node's subtree in orlo-dot's drawing, by its range. */
function subtreeSizes(dot) {
  const label = new Map(), children = new Map();
  for (const [, id, text] of dot.matchAll(/^ {2}(n\d+) \[shape=\w+, label="([^"\\]*)/gm)) label.set(id, text);
  for (const [, from, to] of dot.matchAll(/^ {2}(n\d+) -> (n\d+)/gm)) children.set(from, [...(children.get(from) || []), to]);
  const sizes = new Map();
  const size = (id) => {
    if (!children.has(id)) return { leaves: 1, height: 1 };
    const [l, r] = children.get(id).map(size);
    const s = { leaves: l.leaves + r.leaves, height: 1 + Math.max(l.height, r.height) };
    sizes.set(label.get(id), s);
    return s;
  };
  if (label.has("n0")) size("n0");
  return sizes;
}

test("a removal's walk and change are told on the tree it ran on", { skip }, () => {
  const orlo = engine(readFileSync(join(env.ORLO_EXAMPLES, "removals.cmd")));
  const del = orlo.go(10);  // DEL 30, its last occurrence
  assert.deepEqual(del.walk.map((w) => [w.how, w.bound.text, w.right]),
                   [["leftLargest", "30", false], ["leftLargest", "10", true], ["leftLargest", "20", true], ["leaf", "", false]]);
  assert.equal(del.walk[3].holds, true);
  const before = new Map(del.before.map((n) => [n.id, n]));
  assert.ok(del.walk.every((w) => before.has(w.node)), "every node of the walk is drawn before the command");
  assert.deepEqual(del.change.map((c) => c.what).sort(), ["bound", "freed", "freed", "rose"]);
  const freed = del.change.filter((c) => c.what === "freed").map((c) => before.get(c.node));
  assert.deepEqual(freed.map((n) => [n.kind, n.smallest.text, n.largest.text]).sort(), [["leaf", "30", ""], ["routing", "20", "30"]]);
  const rose = del.change.find((c) => c.what === "rose");
  assert.equal(del.after.find((n) => n.id === rose.node).smallest.text, "20");
  const bound = del.change.find((c) => c.what === "bound");
  assert.deepEqual([bound.largest, bound.old.text, bound.now.text], [true, "30", "20"]);

  const again = orlo.go(8);  // ADD 30 again: the root compares with 50, the right side's smallest
  assert.deepEqual(again.walk.map((w) => [w.how, w.bound.text]), [["rightSmallest", "50"], ["rightSmallest", "20"], ["rightSmallest", "30"], ["leaf", ""]]);
  assert.deepEqual(again.change.map((c) => [c.what, c.before, c.after]), [["count", 1, 2]]);

  const miss = orlo.go(11);  // DEL 65: right at the root, left at 50..90, then between the leaves 50 and 70
  assert.equal(miss.change.length, 0);
  assert.deepEqual(miss.walk.map((w) => [w.how, w.bound.text]), [["leftLargest", "20"], ["leftLargest", "70"], ["betweenSides", "70"]]);

  // A NaN puts a tree out of order: a removal that finds nothing can still
  // set a bound anew. Before it, the tree is the one the step before left.
  const nan = engine("DOUBLE\nDEL 0\nDEL 6\nADD 7\nDEL 3\nADD nan\nADD 1\nADD 3\nADD 3\nADD 3\nADD 4\nADD nan\nDEL 5\n");
  const left = nan.go(11).after, reset = nan.go(12);
  assert.deepEqual(reset.change.map((c) => [c.what, c.old.text, c.now.text]), [["bound", "4", "7"]]);
  const was = (n) => [n.kind, n.smallest.text, n.largest.text];
  assert.deepEqual(reset.before.map(was), left.map(was));
  assert.equal(reset.after[0].smallest.text, "7");
  assert.match(resultOf(reset), /^Not found: 5 is not held, so nothing was removed; but a NaN/);
  // Removing NaN finds nothing and changes nothing: the tree stays in order.
  const ordered = engine("DOUBLE\nADD 1\nADD 2\nDEL nan\nADD 3\n");
  assert.deepEqual([ordered.go(3).change, ordered.go(4).unordered], [[], false]);
  assert.equal(engine("DOUBLE\nADD 1\nADD nan\n").go(2).unordered, true);
});

test("a split, an edited bound and a count are each reported, and nothing else", { skip }, () => {
  const orlo = engine("INT\nADD 5\nADD 3\nADD 5\nADD 9\nDEL 1\nDEL 4\n");
  const split = orlo.go(2);
  assert.deepEqual(split.change.map((c) => c.what).sort(), ["created", "created"]);
  assert.equal(split.depth, 2);
  const count = orlo.go(3);
  assert.deepEqual(count.change.map((c) => [c.what, c.before, c.after]), [["count", 1, 2]]);
  const widened = orlo.go(4);  // 9 is the new largest: the root's bound goes 5 -> 9
  const bound = widened.change.find((c) => c.what === "bound");
  assert.deepEqual([bound.largest, bound.old.text, bound.now.text], [true, "5", "9"]);
  const below = orlo.go(5);  // DEL 1: below the root's smallest
  assert.deepEqual(below.walk.map((w) => [w.how, w.bound.text]), [["outsideRange", "3"]]);
  const between = engine("INT\nADD 1\nADD 9\nADD 5\nDEL 4\n").go(4);  // left at 1..5 | 9, then between 1 and 5
  assert.deepEqual(between.walk.map((w) => [w.how, w.bound.text]), [["leftLargest", "5"], ["betweenSides", "5"]]);
});

test("a long walk, a step's or a search's, carries its ends and counts what it leaves out", { skip }, () => {
  let file = "INT\n";
  for (let i = 1; i <= 200; ++i) file += `ADD ${i}\n`;  // a chain: 200 is at depth 200
  const orlo = engine(file);
  const { walkHead, walkTail } = LIMITS;
  for (const f of [orlo.go(200), orlo.search("200"), orlo.search("201")]) {
    const routing = f.walk.length - 1;
    assert.equal(f.walk[routing].how, "leaf");
    assert.equal(f.walk[routing].holds, f.kind === "search" && f.countAfter > 0);  // ADD 200 reaches 199
    assert.equal(routing, walkHead + walkTail);
    assert.equal(routing + f.walkSkipped, 199 - (f.kind === "add" ? 1 : 0));  // ADD 200 ran on the tree before it
    // The first comparisons are the root's, the last the leaf's parent's.
    assert.deepEqual([f.walk[0].bound.text, f.walk[routing - 1].bound.text], f.kind === "add" ? ["2", "199"] : ["2", "200"]);
    // Told as a list: its first 5 and last 6 steps, numbered by their place in the whole walk.
    const list = walkList(f);
    assert.deepEqual(list.map((s) => s.n), [1, 2, 3, 4, 5, null, ...[5, 4, 3, 2, 1, 0].map((k) => f.walk.length + f.walkSkipped - k)]);
    assert.equal(list[5].text, `… ${list[6].n - 6} more comparisons …`);
    assert.equal(walkDepth(f), f.kind === "add" ? 199 : 200);
  }
  assert.equal(resultOf(orlo.search("201")), "Search 201: not held; the walk ends at depth 200.");
});

test("what waits in the stream is shown, and where it came from", { skip }, () => {
  const stuck = engine("INT\nADD 5\nADD x\nADD 7\n");
  const after = stuck.go(3);
  assert.equal(after.stuck, true);
  assert.equal(after.waiting.text, "x");
  assert.equal(after.waitingLine, 2);
  const left = engine("INT\nADD 1 2\nDEL 9\n");
  assert.equal(left.go(1).waiting.text, " 2");
  assert.equal(left.go(1).waitingLine, 1);
  assert.equal(left.go(2).value.text, "2");
  assert.equal(left.go(2).waiting.text, " 9");
  // Where each command's line lies, for the page to take one out: short lines are no commands.
  const file = "INT\nADD 1\n\nx\nDEL 1\r\nADD 2";
  const lines = engine(file);
  const at = (text) => file.indexOf(text);
  assert.deepEqual([1, 2, 3, 4, 0].map((k) => lines.commandLine(k)),
                   [[at("ADD 1"), at("\n\nx") + 1], [at("DEL"), at("ADD 2")], [at("ADD 2"), file.length], [0, 0], [0, 0]]);
});

test("long values are cut to their ends, and every byte of a value is kept", { skip }, () => {
  const word = "a".repeat(30000) + "Z";
  const orlo = engine(`STRING\nADD ${word}\nADD \u{feff}b\nADD b\n`);
  const big = orlo.go(1);
  assert.ok(big.value.text.length < 100 && big.value.text.endsWith("aZ"), big.value.text);
  assert.equal(big.value.whole, word.length);
  assert.ok(big.printed.text.length < 4000 && big.printed.whole > 60000);
  const bom = orlo.go(3);
  const leaves = bom.after.filter((n) => n.kind === "leaf").map((n) => n.smallest.text);
  assert.ok(leaves.includes("\u{feff}b") && leaves.includes("b"), JSON.stringify(leaves));
  // A search for a word longer than any room the module has made so far.
  const found = orlo.search("a".repeat(1 << 20) + "Z");
  assert.equal(found.value.whole, (1 << 20) + 1);
  assert.equal(found.countAfter, 0);
});

test("doubles that print alike are told apart in full", { skip }, () => {
  const orlo = engine("DOUBLE\nADD 0.1234567\nADD 0.1234568\n");
  const f = orlo.go(2);
  assert.equal(f.value.text, "0.123457");
  assert.equal(f.exact.text, "0.1234568");
  const leaves = f.after.filter((n) => n.kind === "leaf").map((n) => n.exactSmallest.text);
  assert.deepEqual(leaves, ["0.1234567", "0.1234568"]);
  const found = orlo.search("0.1234567");
  assert.equal(found.countAfter, 1);
  assert.equal(found.exact.text, "0.1234567");
});

test("a run embedded in the page: the page saves it as orlo-dot writes it, and the module reads it back", { skip }, () => {
  const r = random(77);
  const tricky = [0x25, 0x3c, 0x3e, 0x0d, 0x0a, 0x00, 0xff, 0xc3, 0xa9, 0xe2, 0x82, 0xef, 0xbb, 0xbf, 0x41, 0x2d];
  const saver = new Orlo(module), reader = new Orlo(module);
  for (let round = 0; round < 400; ++round) {
    const bytes = Uint8Array.from({ length: 1 + Math.floor(r() * 60) }, () => tricky[Math.floor(r() * tricky.length)]);
    const file = new Uint8Array([...new TextEncoder().encode("STRING\n"), ...bytes]);
    saver.load(file);
    const embedded = saver.pageData();
    if (round < 40) {
      const page = execFileSync(env.ORLO_DOT, ["--html", saved(file)], { maxBuffer: 1 << 26 }).toString("latin1");
      const written = page.slice(page.indexOf("<!--orlo-run ") + 13, page.indexOf("-->", page.indexOf("<!--orlo-run ")));
      assert.equal(Buffer.from(embedded, "utf8").toString("latin1"), written);
    }
    // Valid UTF-8 (decoding replaced nothing), which cannot end the comment it sits in
    // and holds nothing an HTML parser would change.
    assert.ok(!embedded.includes("\ufffd"));
    assert.doesNotMatch(embedded, /[<>\r\0]|%(?![0-9A-F]{2})/);
    reader.loadPageData(embedded);
    assert.deepEqual(reader.file(), file);
  }
  const escaped = (latin1) => {
    saver.load(Buffer.from(latin1, "latin1"));
    return Buffer.from(saver.pageData(), "utf8").toString("latin1");
  };
  assert.equal(escaped("A%<>\r\0\xff\xc3\xa9"), "A%25%3C%3E%0D%00%FF\xc3\xa9");
  // Overlong, surrogate, past U+10FFFF, no such lead byte, cut short: each byte as %XX.
  for (const bad of ["\xc0\x80", "\xe0\x9f\xbf", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf5\x80", "\xe2\x82"]) {
    assert.equal(escaped(bad), [...bad].map((c) => "%" + c.charCodeAt(0).toString(16).toUpperCase()).join(""));
  }
  assert.equal(escaped("\xf4\x8f\xbf\xbf\xef\xbb\xbf\n"), "\xf4\x8f\xbf\xbf\xef\xbb\xbf\n");
  // A file that begins with U+FEFF names no type; saved, it must still begin with it.
  assert.equal(escaped("\xef\xbb\xbfINT\nADD 1\n"), "\xef\xbb\xbfINT\nADD 1\n");
  reader.loadPageData(saver.pageData());
  assert.equal(Buffer.from(reader.file()).toString("latin1"), "\xef\xbb\xbfINT\nADD 1\n");
  assert.equal(reader.type, null);
  // Only % and two hexadecimal digits (either case) stand for a byte.
  reader.loadPageData("STRING\n%41%4a%4A%G1%4%%%25 100%");
  assert.equal(Buffer.from(reader.file()).toString("latin1"), "STRING\nAJJ%G1%4%%% 100%");
});
