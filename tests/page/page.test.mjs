// The page orlo-dot --html writes, in headless Chromium: what it shows as
// printed is exactly what Orlo prints; each step draws its walk on the tree
// it ran on and then what it changed, marked as the legend says; the stream
// is shown; doubles that print alike are told apart; search is a walk;
// large and tall runs draw only what is in view, folded, at a readable size,
// on a phone too; links carry any run; hostile input stays text; and the
// page asks the network for nothing.
//
//   node page.test.mjs ORLO_DOT ORLO EXAMPLES_DIR WORK_DIR
// with ORLO_NODE_MODULES naming the folder puppeteer-core is installed in.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, readFileSync, writeFileSync } from "node:fs";
import { createRequire } from "node:module";
import { join } from "node:path";

const [orloDot, orlo, examples, work] = process.argv.slice(2);
const puppeteer = createRequire(join(process.env.ORLO_NODE_MODULES, "/"))("puppeteer-core");

let browser;
const offNetwork = [];  // every request for something that is not the page itself

before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.ORLO_CHROMIUM || "/usr/bin/chromium",
    headless: true,
    userDataDir: mkdtempSync(join(work, "profile-")),
    args: ["--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run", "--disable-background-networking",
           "--disable-component-update", "--disable-sync"],
  });
});
after(async () => browser && browser.close());

let files = 0;
const fileFor = (bytes) => {
  const file = join(work, `run-${files++}.cmd`);
  writeFileSync(file, bytes);
  return file;
};

/**
 * Orlo's output for a command file's bytes, as the page shows text: valid
 * UTF-8 as it is, a backslash doubled, other bytes and control characters
 * (but the line feed) as \xNN.
 */
function orloPrints(bytes) {
  const out = execFileSync(orlo, [fileFor(bytes)], { maxBuffer: 1 << 28 });
  let shown = "";
  for (let i = 0; i < out.length;) {
    const b = out[i];
    const n = b < 0x80 ? 1 : b >= 0xc2 && b <= 0xdf ? 2 : b >= 0xe0 && b <= 0xef ? 3 : b >= 0xf0 && b <= 0xf4 ? 4 : 0;
    let valid = n > 0 && i + n <= out.length;
    for (let k = 1; valid && k < n; ++k) valid = (out[i + k] & 0xc0) === 0x80;
    if (valid && n === 3) valid = !(b === 0xe0 && out[i + 1] < 0xa0) && !(b === 0xed && out[i + 1] > 0x9f);
    if (valid && n === 4) valid = !(b === 0xf0 && out[i + 1] < 0x90) && !(b === 0xf4 && out[i + 1] > 0x8f);
    const control = (b < 0x20 && b !== 10) || b === 0x7f || (n === 2 && b === 0xc2 && out[i + 1] < 0xa0);
    if (!valid || control) {
      shown += `\\x${b.toString(16).padStart(2, "0")}`;
      ++i;
    } else if (b === 0x5c) {
      shown += "\\\\";
      ++i;
    } else {
      shown += out.subarray(i, i + n).toString("utf8");
      i += n;
    }
  }
  return shown;
}

/** What the page shows at its last step: that step's lines, then the listing. */
const lastShown = (page) => page.$eval("#printed", (e) => e.textContent);

/** The page orlo-dot writes for a command file's bytes (none: the empty page). */
function pageFor(bytes) {
  const html = join(work, `page-${files++}.html`);
  const args = bytes === undefined ? ["--html"] : ["--html", fileFor(bytes)];
  writeFileSync(html, execFileSync(orloDot, args, { maxBuffer: 1 << 30 }));
  return html;
}

async function open(html, { step = 0, width = 1400, height = 900, hash } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  page.on("request", (r) => {
    if (!/^(file|data|blob):/.test(r.url())) offNetwork.push(r.url());
  });
  const problems = [];
  page.on("pageerror", (e) => problems.push(e.message));
  page.on("console", (m) => m.type() === "error" && problems.push(m.text()));
  await page.goto(`file://${html}${hash ?? `#step=${step}`}`);
  await page.waitForFunction(() => document.getElementById("step-label").textContent !== "");
  page.problems = problems;
  return page;
}

const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
const label = (page) => text(page, "#step-label");
const settled = (page) => page.waitForFunction(() => !document.getElementById("tree-pane").dataset.moving);

async function goTo(page, step) {
  await page.evaluate((k) => { location.hash = `#step=${k}`; }, step);
  await page.waitForFunction((k) => document.getElementById("step-label").textContent.startsWith(`step ${k} of`), {}, step);
  await settled(page);
}

/** The drawn walk: for each node on it, its data-walk, its classes and its aria-label. */
const walkDrawn = (page) => page.$$eval("[data-walk]", (nodes) => nodes.map((n) => ({
  walk: n.dataset.walk, classes: n.getAttribute("class"), label: n.getAttribute("aria-label"),
  text: n.textContent,
})));

const randomRun = (seed, n, range, dels = 0.3) => {
  let s = seed;
  const r = () => (s = (s * 48271) % 2147483647) / 2147483647;
  let lines = "INT\n";
  for (let i = 0; i < n; ++i) lines += `${r() < 1 - dels ? "ADD" : "DEL"} ${Math.floor(r() * range)}\n`;
  return lines;
};

test("every step of the shipped examples and of a random file shows Orlo's own lines", async () => {
  const files = readdirSync(examples).filter((f) => f.endsWith(".cmd")).map((f) => readFileSync(join(examples, f)));
  files.push(Buffer.from(randomRun(7, 60, 40)));
  for (const bytes of files) {
    const page = await open(pageFor(bytes));
    let all = "";
    for (;;) {
      all += await text(page, "#printed");
      const [done, steps] = (await label(page)).match(/\d+/g).map(Number);
      if (done === steps) break;
      await page.click("aria/Step forward");
      await page.waitForFunction((k) => document.getElementById("step-label").textContent.startsWith(`step ${k} of`), {}, done + 1);
    }
    assert.equal(all, orloPrints(bytes));
    assert.deepEqual(page.problems, []);
    await page.close();
  }
});

test("a removal draws its walk on the tree it ran on, and what left, leaving", async () => {
  const page = await open(pageFor(readFileSync(join(examples, "removals.cmd"))), { step: 10 });
  await settled(page);
  // Settled: the walk's four nodes, ending at the leaf 30 as it leaves.
  let walk = await walkDrawn(page);
  assert.equal(walk.length, 4, JSON.stringify(walk));
  const end = walk.find((n) => n.walk === "end");
  assert.match(end.classes, /\bleaving\b/);
  assert.match(end.label, /^leaf 30\b/);
  assert.equal(await page.$$eval("#tree .node.leaving", (e) => e.length), 2);  // the leaf and its routing node
  assert.equal(await page.$$eval("#tree .node.rose", (e) => e.length), 1);
  assert.match(await text(page, "#step-result"), /^Removed 30: its leaf and the routing node above it leave/);
  assert.match(await text(page, "#narration"), /30 ≤ 30, the left side's largest → left/);
  // Before: the same walk on the tree the command ran on, nothing marked changed.
  await page.click("#show-before");
  await settled(page);
  walk = await walkDrawn(page);
  assert.equal(walk.length, 4);
  assert.match(walk.find((n) => n.walk === "end").classes, /\bfound\b/);
  assert.equal(await page.$$eval("#tree .node.leaving, #tree .node.changed, #tree .node.new", (e) => e.length), 0);
  // Step 8 (ADD 30 again): the root shows 50, the value it was compared with.
  await goTo(page, 8);
  const root = await page.$eval('[data-walk="path"]', (n) => ({
    text: n.textContent, compared: [...n.querySelectorAll(".compared")].map((c) => c.textContent),
  }));
  assert.deepEqual(root.compared, ["50"], root.text);
  assert.match(await text(page, "#rule"), /smallest value on the right side/);
  // Step 9 (DEL 30, one of two): a count that changes; step 11 (DEL 65): a miss.
  await goTo(page, 9);
  assert.deepEqual(await page.$$eval("#tree .node.changed", (e) => e.map((n) => n.getAttribute("aria-label"))), ["leaf 30, held once (changed, found)"]);
  assert.match(await text(page, "#step-result"), /^Removed one 30: held once now/);
  await goTo(page, 11);
  assert.match((await walkDrawn(page)).find((n) => n.walk === "end").classes, /\bmissing\b/);
  assert.match(await text(page, "#step-result"), /^Not found: 65/);
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("a split, an edited bound and a count are marked as the legend marks them, and nothing else", async () => {
  const page = await open(pageFor(Buffer.from("INT\nADD 5\nADD 3\nADD 5\nADD 9\n")), { step: 2 });
  await settled(page);
  const styleOf = (selector) => page.$$eval(selector, (nodes) => nodes.map((n) => {
    const rect = getComputedStyle(n.querySelector("rect"));
    return { fill: rect.fill, stroke: rect.stroke, dash: rect.strokeDasharray };
  }));
  const legend = async (entry) => (await styleOf(`#legend .node.${entry}`))[0];
  // The split: a new routing node over the leaf reached and the new leaf, both looking new.
  assert.equal(await page.$$eval("#tree .node.new", (nodes) => nodes.length), 2);
  const fresh = await styleOf("#tree .node.new:not(.found)");
  assert.ok(fresh.length > 0);
  for (const style of fresh) assert.equal(style.fill, (await legend("new")).fill);
  // A count: step 3 marks the leaf 5 changed, and nothing else new or changed.
  await goTo(page, 3);
  assert.deepEqual(await page.$$eval("#tree .node.changed, #tree .node.new, #tree .node.leaving", (e) => e.map((n) => n.getAttribute("aria-label"))),
                   ["leaf 5, held 2 times (changed, found)"]);
  const changed = (await styleOf("#tree .node.changed"))[0];
  assert.deepEqual([changed.stroke, changed.dash], [(await legend("changed")).stroke, (await legend("changed")).dash]);
  // An edited bound: 9 widens the root's largest value, old → new.
  await goTo(page, 4);
  const bounds = await page.$$eval("#tree .node.changed", (e) => e.map((n) => n.textContent));
  assert.ok(bounds.some((t) => t.includes("5→9")), JSON.stringify(bounds));
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("what waits in the stream is shown, with a way out in the playground, and a typed command says where it went", async () => {
  const page = await open(pageFor(undefined));
  for (const line of ["ADD 1 2", "ADD x", "ADD 7"]) {
    await page.type("aria/Command", line + "\n");
    await page.waitForFunction((l) => document.getElementById("step-command").textContent === l, {}, line);
  }
  assert.match(await text(page, "#waiting-text"), /cannot read past “x”/);
  assert.equal(await text(page, "#waiting-remove"), "Remove line 2, which left it");
  assert.match(await text(page, "#live"), /ADD 7\./);
  await goTo(page, 1);
  assert.match(await text(page, "#waiting-text"), /Still waiting .*“ 2”/);
  // Typed while step 1 is shown: it goes to the end, and the page says so and goes there.
  await page.type("aria/Command", "DEL 4\n");
  await page.waitForFunction(() => document.getElementById("step-label").textContent.startsWith("step 4 of 4"));
  assert.match(await text(page, "#message"), /Added at the end of the run, as step 4; step 1 was shown/);
  // The way out: the line that left the x goes, and the rest reads on (the 2
  // left by ADD 1 2 is read by ADD 7, whose 7 DEL 4 reads: not held).
  await page.click("#waiting-remove");
  await page.waitForFunction(() => document.getElementById("step-label").textContent.endsWith("of 3"));
  assert.match(await text(page, "#message"), /^Line 2 removed/);
  await page.click("aria/Last step");
  await page.waitForFunction(() => document.getElementById("step-label").textContent.startsWith("step 3 of 3"));
  assert.doesNotMatch(await text(page, "#waiting-text"), /cannot read past/);
  assert.match(await text(page, "#printed"), /^DEL 7\nb\[7\] == -1\n/);
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("doubles that print alike are told apart on focus and in search", async () => {
  const page = await open(pageFor(Buffer.from("DOUBLE\nADD 0.1234567\nADD 0.1234568\n")), { step: 2 });
  await settled(page);
  const labels = await page.$$eval("#tree .node.leaf", (nodes) => nodes.map((n) => n.getAttribute("aria-label")));
  assert.ok(labels.some((l) => l.startsWith("leaf 0.1234567,")) && labels.some((l) => l.startsWith("leaf 0.1234568,")), labels.join(" | "));
  await page.$eval("#tree .node.leaf", (e) => e.focus());
  await page.waitForFunction(() => /0\.123456[78]/.test(document.getElementById("node-detail").textContent));
  await page.$eval("#search", (e) => { e.value = "0.1234567"; });
  await page.click("aria/Search");
  assert.match(await text(page, "#step-result"), /^Search 0\.1234567: held once, its leaf at depth 2/);
  assert.match(await text(page, "#narration"), /0\.1234567 < 0\.1234568/);
  await page.close();
});

test("search is a walk like a step's, a failed search clears the answer, and the live region tells all", async () => {
  const page = await open(pageFor(Buffer.from("INT\nADD 50\nADD 20\nADD 80\nADD 20\nADD 65\n")), { step: 5 });
  assert.match(await text(page, "#live"), /^Step 5 of 5\. ADD 65\. Added 65: .* The walk of 65: 65 ≥ 50/);
  const search = async (value) => {
    await page.$eval("#search", (e, v) => { e.value = v; }, value);
    await page.click("aria/Search");
  };
  await search("20");
  assert.match(await text(page, "#step-result"), /held 2 times/);
  assert.match((await walkDrawn(page)).find((n) => n.walk === "end").classes, /\bfound\b/);
  assert.match(await text(page, "#live"), /The search for 20: 20 < 50/);
  await search("70");
  assert.match(await text(page, "#step-result"), /not held/);
  assert.match((await walkDrawn(page)).find((n) => n.walk === "end").classes, /\bmissing\b/);
  await search("x");
  assert.doesNotMatch(await text(page, "#step-result"), /not held/);
  assert.match(await text(page, "#message"), /No INT can be read from “x”/);
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("text from a run is shown as text, never as markup, and a leading U+FEFF is kept", async () => {
  const evil = Buffer.concat([
    Buffer.from("STRING\nADD </script><img src=x onerror=document.title='owned'>\nADD caf"),
    Buffer.from([0xc3, 0xa9, 0x0a]), Buffer.from("ADD b"), Buffer.from([0xff, 0x80, 0x0a]),
    Buffer.from("ADD 100%<!--<script>\n"),
  ]);
  const bom = Buffer.from("STRING\nADD a\nADD \ufeffa\n");
  let page = await open(pageFor(bom), { step: 2 });
  const leaves = await page.$$eval("#tree .node.leaf", (n) => n.map((e) => e.getAttribute("aria-label")));
  assert.deepEqual(leaves, ["leaf a, held once", "leaf \ufeffa, held once (new, found)"]);
  assert.equal(await lastShown(page), orloPrints(bom).split("\n").slice(-6).join("\n"));
  await page.close();
  page = await open(pageFor(evil), { step: 4 });
  assert.equal(await page.$$eval("img", (e) => e.length), 0);
  const shown = await lastShown(page);
  assert.ok(orloPrints(evil).endsWith(shown), shown);
  const pasted = "STRING\nADD <img src=x onerror=document.title='owned'>\nADD ünïcödé\n";
  await page.evaluate((t) => {
    const data = new DataTransfer();
    data.setData("text/plain", t);
    document.dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true }));
  }, pasted);
  await page.click("aria/Last step");
  await page.waitForFunction(() => document.getElementById("step-command").textContent === "ADD ünïcödé");
  assert.equal(await page.$$eval("img", (e) => e.length), 0);
  assert.notEqual(await page.title(), "owned");
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("editing the command file keeps every byte not edited", async () => {
  // "DE\r" is a command line only with its carriage return; 0xFE is no UTF-8.
  const original = Buffer.concat([Buffer.from("STRING\nADD \ufeffa\nDE\r\nADD b"), Buffer.from([0xfe]), Buffer.from("c\nADD d\n")]);
  const edited = Buffer.from(original.toString("latin1").replace("ADD d", "ADD e"), "latin1");
  const edit = async (page, from, to) => {
    await page.click("#file-box summary");
    await page.$eval("#file", (e, [a, b]) => { e.value = e.value.replace(a, b); }, [from, to]);
    await page.click("#run");
  };
  let page = await open(pageFor(original));
  await edit(page, "ADD d", "ADD e");
  await page.waitForFunction(() => document.getElementById("step-label").textContent.endsWith("of 4"));
  await page.click("aria/Last step");
  await page.waitForFunction(() => document.getElementById("step-label").textContent.startsWith("step 4"));
  const shown = await lastShown(page);
  assert.ok(shown.startsWith("ADD e\n") && orloPrints(edited).endsWith(shown), shown);
  // The box, still open, holds the file just run, and edits of it run in turn.
  assert.match(await page.$eval("#file", (e) => e.value), /ADD e\n$/);
  await page.$eval("#file", (e) => { e.value = e.value.replace("ADD e", "ADD f"); });
  await page.click("#run");
  await page.waitForFunction(() => document.getElementById("step-command").textContent === "ADD f");
  assert.deepEqual(page.problems, []);
  await page.close();
  // A byte-order mark before the type line is part of it: no type, before and after an edit.
  page = await open(pageFor(Buffer.from("\ufeffSTRING\nADD a\n")));
  await edit(page, "ADD a", "ADD b");
  await page.waitForFunction(() => /names no element type/.test(document.getElementById("message").textContent));
  assert.equal(await label(page), "step 0 of 0");
  await page.close();
});

test("a file without a type line, and damaged links, say so and stay put", async () => {
  let page = await open(pageFor(Buffer.from("ADD 1\nADD 2\n")));
  assert.equal(await label(page), "step 0 of 0");
  assert.match(await text(page, "#message"), /names no element type/);
  await page.click("aria/Last step");
  await page.click("aria/Play");
  assert.equal(await page.$eval("#play", (e) => e.getAttribute("aria-pressed")), "false");
  await page.close();
  const empty = pageFor(undefined);
  for (const hash of ["#step=2&run=not*base64", "#step=0&run=AAAA", "#step=x"]) {
    page = await open(empty, { hash });
    await new Promise((r) => setTimeout(r, 300));
    assert.match(await text(page, "#message"), /This link/, hash);
    assert.equal(new URL(page.url()).hash, hash);
    await page.close();
  }
});

test("a run pasted into the page rides in its link, and the link opens the same run and step", async () => {
  const run = randomRun(5, 5000, 100000);
  const page = await open(pageFor(undefined));
  await page.evaluate((t) => {
    const data = new DataTransfer();
    data.setData("text/plain", t);
    document.dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true }));
  }, run);
  await page.waitForFunction(() => document.getElementById("step-label").textContent === "step 0 of 5000");
  await page.$eval("#step-field", (e) => { e.value = "4321"; });
  await page.keyboard.press("Tab");
  await page.focus("#step-field");
  await page.keyboard.press("Enter");
  await page.waitForFunction(() => document.getElementById("step-label").textContent === "step 4321 of 5000");
  await page.waitForFunction(() => location.hash.includes("&run="));
  const link = page.url();
  const printed = await text(page, "#printed");
  const other = await browser.newPage();
  await other.goto(link);
  await other.waitForFunction(() => document.getElementById("step-label").textContent === "step 4321 of 5000");
  assert.equal(await text(other, "#printed"), printed);
  await other.close();
  await page.close();
});

test("a run too long for a link says so, and the page saved with it shows the same run", async () => {
  const run = randomRun(9, 20000, 2147483647);
  const page = await open(pageFor(undefined));
  const downloads = mkdtempSync(join(work, "saved-"));
  const cdp = await page.target().createCDPSession();
  await cdp.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await page.evaluate((t) => {
    const data = new DataTransfer();
    data.setData("text/plain", t);
    document.dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true }));
  }, run);
  await page.waitForFunction(() => /too long to ride in a link/.test(document.getElementById("message").textContent));
  assert.doesNotMatch(page.url(), /&run=/);
  await page.click("#save-page");
  let saved;
  for (let i = 0; i < 100 && !saved; ++i) {
    await new Promise((r) => setTimeout(r, 100));
    saved = readdirSync(downloads).find((f) => f.endsWith(".html"));
  }
  assert.ok(saved, "the page was saved");
  const other = await open(join(downloads, saved));
  assert.equal(await label(other), "step 0 of 20000");
  await other.click("aria/Last step");
  await other.waitForFunction(() => document.getElementById("step-label").textContent === "step 20000 of 20000");
  // The last command's lines, then the listing's first lines (a long listing is cut).
  const [lines, listing] = await other.$eval("#printed", (e) => [e.firstChild.textContent, e.querySelector(".listing").textContent]);
  const head = listing.split("\n").slice(0, 100).join("\n");
  assert.ok(orloPrints(Buffer.from(run)).includes(lines + head));
  assert.deepEqual(other.problems, []);
  await other.close();
  await page.close();
});

/** The walk's nodes and every drawn label: inside the pane, and no label smaller than 11 px. */
function measureStep(page) {
  return page.evaluate(() => {
    const pane = document.getElementById("tree-pane").getBoundingClientRect();
    const inside = (b) => b.left >= pane.left - 1 && b.right <= pane.right + 1 && b.top >= pane.top - 1 && b.bottom <= pane.bottom + 1;
    const end = document.querySelector('[data-walk="end"]');
    const walkOut = [...document.querySelectorAll("[data-walk]")].filter((n) => !inside(n.getBoundingClientRect())).length;
    const sizes = [...document.querySelectorAll("#tree text")].map((t) => t.getBoundingClientRect().height > 0 ? parseFloat(getComputedStyle(t).fontSize) * document.getElementById("world").getCTM().a : 99);
    const edges = [...document.querySelectorAll("#tree .edge")].map((e) => Math.abs(e.getBoundingClientRect().width));
    const command = document.getElementById("step-command").getBoundingClientRect();
    return {
      end: end ? inside(end.getBoundingClientRect()) && end.getBoundingClientRect().bottom <= innerHeight : null,
      walkOut, smallest: Math.min(99, ...sizes), widestEdge: Math.max(0, ...edges), pane: pane.width,
      command: command.top >= 0 && command.bottom <= innerHeight,
      wide: document.documentElement.scrollWidth, nodes: document.querySelectorAll("#tree .node").length,
    };
  });
}

test("large and tall runs: the walk in view, folded around it, readable, on a wide screen and a phone", async () => {
  const html = pageFor(Buffer.from(randomRun(11, 2000, 5000)));
  for (const [width, height] of [[1400, 900], [390, 800]]) {
    const page = await open(html, { width, height });
    let seed = 3;
    for (let k = 0; k < 20; ++k) {
      const step = 1 + ((seed = (seed * 48271) % 2147483647) % 2000);
      await goTo(page, step);
      const m = await measureStep(page);
      if (m.end === null) continue;  // an omitted line
      assert.equal(m.walkOut, 0, `${width}: step ${step}, walk nodes outside the pane`);
      assert.ok(m.smallest >= 11 - 1e-6, `${width}: step ${step}, a label of ${m.smallest} px`);
      assert.ok(m.widestEdge < m.pane * 0.9, `${width}: step ${step}, an edge ${m.widestEdge} px wide`);
      if (width === 390) assert.ok(m.command && m.end, `phone: step ${step}, the command and the walk's end on the first screen`);
      assert.ok(m.wide <= width, `${width}: the page is ${m.wide} px wide`);
    }
    // Folded subtrees open on Enter and on a click: the fold is drawn as the
    // routing node it is, and its children appear. On the phone, the walk's
    // folded top opens to the whole walk.
    if (width === 390) {
      const walk = () => page.$$eval("[data-walk]", (n) => n.length);
      const drawn = await walk();
      await page.$eval(".node.pathfold", (f) => f.focus());
      await page.keyboard.press("Enter");
      await page.waitForFunction((n) => document.querySelectorAll("[data-walk]").length > n && !document.querySelector(".node.pathfold"), {}, drawn);
      assert.ok(await page.evaluate(() => document.activeElement.matches("[data-walk]")), "the keyboard stays on the walk");
    }
    for (const how of width === 390 ? [] : ["Enter", "click"]) {
      const keys = () => page.$$eval("#tree .node", (n) => n.map((e) => e.getAttribute("data-key")));
      const before = await keys();
      const key = await page.evaluate(() => {
        const pane = document.getElementById("tree-pane").getBoundingClientRect();
        const fold = [...document.querySelectorAll("#tree .node.fold")].find((f) => {
          const b = f.getBoundingClientRect();
          return b.left > pane.left && b.right < pane.right && b.bottom < pane.bottom - 80;
        });
        return fold && fold.getAttribute("data-key");
      });
      assert.ok(key, `${width}: a fold in view`);
      const fold = await page.$(`[data-key="${key}"]`);
      if (how === "Enter") {
        await fold.evaluate((f) => f.focus());
        await page.keyboard.press("Enter");
      } else {
        await fold.click();
      }
      await page.waitForFunction((k) => document.querySelector(`[data-key="${k}"]`).classList.contains("routing"), {}, key);
      assert.ok((await keys()).some((k) => !before.includes(k)), `${width}: ${how} drew the fold's children`);
    }
    if (width === 1400) {
      // A long drag, a few pixels at a time: what comes into view is drawn,
      // as a drawing made afresh there (a zoom by 1) draws it.
      const inPane = () => page.evaluate(() => {
        const pane = document.getElementById("tree-pane").getBoundingClientRect();
        return [...document.querySelectorAll("#tree .node")].filter((n) => {
          const b = n.getBoundingClientRect();
          return b.right > pane.left && b.left < pane.right && b.bottom > pane.top && b.top < pane.bottom;
        }).map((n) => n.getAttribute("data-key")).sort();
      });
      const box = await (await page.$("#tree-pane")).boundingBox();
      await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
      await page.mouse.down();
      for (let i = 1; i <= 40; ++i) await page.mouse.move(box.x + box.width / 2 - 25 * i, box.y + box.height / 2 - 5 * i);
      await page.mouse.up();
      const dragged = await inPane();
      await page.$eval("#tree-pane", (p) => p.dispatchEvent(new WheelEvent("wheel", { deltaY: 0, clientX: 10, clientY: 10, cancelable: true })));
      assert.deepEqual(dragged, await inPane(), "what a drag brought into view");
      // A pinch whose first finger rests on a fold zooms; it opens nothing.
      const fold = await page.evaluate(() => {
        const pane = document.getElementById("tree-pane").getBoundingClientRect();
        const n = [...document.querySelectorAll("#tree .node.fold")].find((n) => {
          const b = n.getBoundingClientRect();
          return b.left > pane.left + 10 && b.right < pane.right - 10 && b.top > pane.top + 10 && b.bottom < pane.bottom - 10;
        });
        const b = n && n.getBoundingClientRect();
        return n && { key: n.getAttribute("data-key"), x: b.left + b.width / 2, y: b.top + b.height / 2 };
      });
      assert.ok(fold, "a fold in view after the drag");
      const touch = await page.createCDPSession();
      const finger = (id, x, y) => ({ id, x, y, radiusX: 1, radiusY: 1, force: 1 });
      await touch.send("Input.dispatchTouchEvent", { type: "touchStart", touchPoints: [finger(1, fold.x, fold.y)] });
      await touch.send("Input.dispatchTouchEvent", { type: "touchStart", touchPoints: [finger(1, fold.x, fold.y), finger(2, fold.x + 100, fold.y + 100)] });
      for (let i = 1; i <= 5; ++i) {
        await touch.send("Input.dispatchTouchEvent", { type: "touchMove", touchPoints: [finger(1, fold.x, fold.y), finger(2, fold.x + 100 + i, fold.y + 100 + i)] });
      }
      await touch.send("Input.dispatchTouchEvent", { type: "touchEnd", touchPoints: [finger(1, fold.x, fold.y)] });
      await touch.send("Input.dispatchTouchEvent", { type: "touchEnd", touchPoints: [] });
      await new Promise((r) => setTimeout(r, 300));
      assert.equal(await page.$$eval(`[data-key="${fold.key}"].routing`, (n) => n.length), 0, "a pinch opened a fold");
      await touch.detach();
    }
    assert.deepEqual(page.problems, []);
    await page.close();
  }
  // A wide window made narrow: the walk drawn is what fits the narrow pane, in view.
  const turned = await open(html, { step: 1234 });
  await turned.setViewport({ width: 390, height: 800 });
  // The resize event comes with the next frame.
  await turned.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
  await settled(turned);
  const m2 = await measureStep(turned);
  assert.ok(m2.end && m2.walkOut === 0, `after narrowing: ${JSON.stringify(m2)}`);
  await turned.close();
  // A chain 20,000 deep: only what is in view is drawn.
  const chain = "INT\n" + Array.from({ length: 20000 }, (_, i) => `ADD ${i}`).join("\n") + "\n";
  const page = await open(pageFor(Buffer.from(chain)), { step: 20000 });
  const m = await measureStep(page);
  assert.ok(m.end, "the walk's end in view");
  assert.ok(m.nodes < 400, `${m.nodes} nodes drawn`);
  await page.close();
});

test("long words: no sideways scroll, labels keep the operator and both ends, and a step stays small", async () => {
  const word = "w".repeat(200) + "END";
  const mega = "m".repeat(1 << 20) + "Q";
  const page = await open(pageFor(Buffer.from(`STRING\nADD ${word}\nADD a\nADD ${mega}\nADD ${word}\n`)), { step: 4, width: 390, height: 800 });
  await settled(page);
  assert.ok(await page.evaluate(() => document.documentElement.scrollWidth) <= 390);
  const whys = await page.$$eval(".why", (w) => w.map((e) => e.textContent));
  assert.ok(whys.some((w) => /^w+…w*END [≥<] /.test(w) || /[≥<] w+…w*END → (left|right)$/.test(w)), JSON.stringify(whys));
  await goTo(page, 3);
  assert.ok(await page.evaluate(() => document.body.innerText.length) < 50000, "a megabyte word is cut everywhere on the page");
  assert.match(await text(page, "#step-command"), /^ADD m+…m*Q \(1,048,581 bytes\)$/);
  await page.close();
});

test("a late stop (out of memory) shows the message and the last good step, soon", async () => {
  // 40,000 random words make a large tree; then each of 4,100 rising words is
  // the largest so far, and the last, a megabyte, becomes the largest value
  // of the 4,100 routing nodes above it: more than the 4 GB a WebAssembly
  // module can have. Finding the last good step must not cost a step for
  // each step before it (which, the tree that large, takes many minutes).
  let seed = 17;
  const r = () => (seed = (seed * 48271) % 2147483647);
  const random = Array.from({ length: 40000 }, () => `ADD r${r().toString(36)}`).join("\n");
  const rising = Array.from({ length: 4100 }, (_, i) => `ADD z${String(i).padStart(5, "0")}`).join("\n");
  const timeToLast = async (bytes, label) => {
    const page = await open(pageFor(Buffer.from(bytes)));
    const started = Date.now();
    await page.click("aria/Last step");
    await page.waitForFunction((l) => document.getElementById("step-label").textContent === l, { timeout: 300000 }, label);
    const took = Date.now() - started;
    return { page, took };
  };
  const run = await timeToLast(`STRING\n${random}\n${rising}\n`, "step 44100 of 44100");
  await run.page.close();
  const { page, took } = await timeToLast(`STRING\n${random}\n${rising}\nADD zz${"z".repeat(1 << 20)}\n`, "step 44100 of 44101");
  assert.match(await text(page, "#message"), /^Orlo stopped in step 44101: .*out of memory/);
  // The run once to where it stops (and running out of 4 GB takes a while),
  // once more from the start to the step before; not a step for each step.
  assert.ok(took < 6 * run.took + 40000, `${took} ms to stop, the run alone ${run.took} ms`);
  await page.close();
});

test("what is asked on the way to a far step waits for it or takes over, and the history keeps the steps left", async () => {
  // A chain of 3,000 values: going to its end takes several pieces of work,
  // between which the page answers.
  const chain = "INT\n" + Array.from({ length: 3000 }, (_, i) => `ADD ${i + 1}`).join("\n") + "\n";
  const page = await open(pageFor(Buffer.from(chain)));
  // A search asked for on the way is answered on the step arrived at.
  await page.evaluate(() => {
    document.getElementById("last").click();
    document.getElementById("search").value = "2999";
    document.getElementById("search-form").requestSubmit();
  });
  await page.waitForFunction(() => /^Search 2999: held once/.test(document.getElementById("step-result").textContent));
  assert.equal(await label(page), "step 3000 of 3000");
  // A command typed makes a new run, gone through in pieces; a key pressed
  // meanwhile counts from the step it is going to.
  await page.evaluate(() => {
    document.getElementById("command").value = "ADD 0";
    document.getElementById("command-form").requestSubmit();
    document.dispatchEvent(new KeyboardEvent("keydown", { key: "ArrowLeft", bubbles: true }));
  });
  await page.waitForFunction(() => document.getElementById("step-label").textContent === "step 3000 of 3001");
  // The slider, dragged from step 3: Back returns to step 3.
  await goTo(page, 3);
  for (const k of [10, 20, 40]) {
    await page.$eval("#step", (e, k) => { e.value = String(k); e.dispatchEvent(new Event("input")); }, k);
    await page.waitForFunction((k) => document.getElementById("step-label").textContent.startsWith(`step ${k} of`), {}, k);
  }
  await page.$eval("#step", (e) => e.dispatchEvent(new Event("change")));
  await page.goBack();
  await page.waitForFunction(() => document.getElementById("step-label").textContent.startsWith("step 3 of"));
  // Space on the command file's summary opens it; it does not play.
  await page.$eval("#file-box summary", (e) => e.focus());
  await page.keyboard.press("Space");
  assert.equal(await page.$eval("#file-box", (e) => e.open), true);
  assert.equal(await text(page, "#play"), "Play");
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("every control has a name, and the page asks the network for nothing", async () => {
  const page = await open(pageFor(Buffer.from("INT\nADD 5\nADD 3\n")));
  const unnamed = [];
  const walk = (node) => {
    if (["button", "textbox", "slider", "combobox", "searchbox", "spinbutton"].includes(node.role) && !node.name) unnamed.push(node.role);
    for (const child of node.children || []) walk(child);
  };
  walk(await page.accessibility.snapshot({ interestingOnly: false }));
  assert.deepEqual(unnamed, []);
  for (const name of ["First step", "Step back", "Step forward", "Last step", "Play", "Search", "Command", "Step", "Go to step", "Zoom in", "Fit the tree"]) {
    assert.ok(await page.$(`aria/${name}`), `no control named ${name}`);
  }
  await page.close();
  assert.deepEqual(offNetwork, []);
});
