// The page orlo-dot --html writes, in headless Chromium: what it shows as
// printed is exactly what Orlo prints, step after step; typed commands run;
// text from a run never becomes markup; the walk stays in view on tall and
// large trees; removals, misses and values read are told apart; the address
// follows the step; a phone-sized screen does not scroll sideways; every
// control has a name; search finds; and the page asks the network for
// nothing.
//
//   node page.test.mjs ORLO_DOT ORLO EXAMPLES_DIR WORK_DIR
// with ORLO_NODE_MODULES naming the folder puppeteer-core is installed in.
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readdirSync, writeFileSync } from "node:fs";
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

/** Orlo's output for a command file's bytes. */
function orloPrints(bytes) {
  const file = join(work, `run-${Math.random().toString(36).slice(2)}.cmd`);
  writeFileSync(file, bytes);
  return execFileSync(orlo, [file]).toString("latin1");
}

/** The page orlo-dot writes for a command file's bytes (none: the empty page). */
function pageFor(bytes) {
  const html = join(work, `page-${Math.random().toString(36).slice(2)}.html`);
  if (bytes === undefined) {
    writeFileSync(html, execFileSync(orloDot, ["--html"]));
  } else {
    const file = html.replace(/\.html$/, ".cmd");
    writeFileSync(file, bytes);
    writeFileSync(html, execFileSync(orloDot, ["--html", file], { maxBuffer: 1 << 30 }));
  }
  return html;
}

async function open(html, step = 0) {
  const page = await browser.newPage();
  page.on("request", (r) => {
    if (!/^(file|data|blob):/.test(r.url())) offNetwork.push(r.url());
  });
  const problems = [];
  page.on("pageerror", (e) => problems.push(e.message));
  page.on("console", (m) => m.type() === "error" && problems.push(m.text()));
  await page.goto(`file://${html}#step=${step}`);
  await page.waitForFunction(() => document.getElementById("step-label").textContent !== "");
  page.problems = problems;
  return page;
}

const text = (page, selector) => page.$eval(selector, (e) => e.textContent);
const label = (page) => text(page, "#step-label");

/** Every step's printed lines, stepping forward from the first to the last. */
async function printedThroughout(page) {
  await page.click("aria/First step");
  let all = "";
  for (;;) {
    all += await text(page, "#printed");
    const [done, steps] = (await label(page)).match(/\d+/g).map(Number);
    if (done === steps) return all;
    await page.click("aria/Step forward");
    assert.match(await label(page), new RegExp(`^step ${done + 1} of`));
  }
}

test("every step of the shipped examples and of a random file shows Orlo's own lines", async () => {
  const files = readdirSync(examples).filter((f) => f.endsWith(".cmd")).map((f) => execFileSync("cat", [join(examples, f)]));
  let seed = 7;
  const random = () => (seed = (seed * 1103515245 + 12345) % 2147483648) / 2147483648;
  let lines = "INT\n";
  for (let i = 0; i < 60; ++i) lines += `${random() < 0.7 ? "ADD" : "DEL"} ${Math.floor(random() * 40)}\n`;
  files.push(Buffer.from(lines));
  for (const bytes of files) {
    const page = await open(pageFor(bytes));
    assert.equal(await printedThroughout(page), orloPrints(bytes));
    assert.deepEqual(page.problems, []);
    await page.close();
  }
});

test("commands typed into the empty page print what Orlo prints, and the walk ends at the printed depth", async () => {
  const page = await open(pageFor(undefined));
  assert.equal(await label(page), "step 0 of 0");
  const typed = ["ADD 5", "ADD 3", "ADD 5", "DEL 9"];
  let printed = "";
  for (const [i, command] of typed.entries()) {
    await page.type("aria/Command", command + "\n");
    await page.waitForFunction((k) => document.getElementById("step-label").textContent === `step ${k} of ${k}`, {}, i + 1);
    const lines = await text(page, "#printed");
    printed += lines.replace(/\n(\d+\n)+$/, "\n");  // the listing comes after the last command only
    const depth = Number(lines.match(/^b\[.*\] == (-?\d+)$/m)[1]);
    const end = await page.$eval('[data-walk="end"]', (e) => Number(e.getAttribute("data-depth")));
    if (depth !== -1) assert.equal(end, depth, `${command}: Orlo printed depth ${depth}`);
    // ADD 3 made a leaf and a routing node: both marked new.
    if (i === 1) assert.equal(await page.$$eval(".node.new", (e) => e.length), 2);
  }
  const file = "INT\n" + typed.join("\n") + "\n";
  const expected = orloPrints(Buffer.from(file));
  const listing = (await text(page, "#printed")).match(/\n((\d+\n)+)$/)[1];
  assert.equal(printed + listing, expected);
  assert.equal(await page.$eval("#file", (e) => e.value), file);
  await page.close();
});

test("text from a run is shown as text, never as markup", async () => {
  const evil = Buffer.concat([
    Buffer.from("STRING\nADD </script><img src=x onerror=document.title='owned'>\nADD caf"),
    Buffer.from([0xc3, 0xa9, 0x0a]), Buffer.from("ADD b"), Buffer.from([0xff, 0x80, 0x0a]),
    Buffer.from("ADD 100%<!--<script>\n"),
  ]);
  const page = await open(pageFor(evil));
  assert.equal(await printedThroughout(page), orloPrints(evil).replace(/\xff\x80/g, "\\xff\\x80").replace(/\xc3\xa9/g, "é"));
  assert.equal(await page.$$eval("img", (e) => e.length), 0);
  await page.click("aria/First step");
  await page.click("aria/Step forward");
  assert.equal(await text(page, "#step-command"), "ADD </script><img src=x onerror=document.title='owned'>");
  await page.click("aria/Step forward");
  await page.click("aria/Step forward");
  assert.equal(await text(page, "#step-command"), "ADD b\\xff\\x80");

  // Pasted into the page, the same text.
  const pasted = "STRING\nADD <img src=x onerror=document.title='owned'>\nADD ünïcödé\n";
  await page.evaluate((t) => {
    const data = new DataTransfer();
    data.setData("text/plain", t);
    document.dispatchEvent(new ClipboardEvent("paste", { clipboardData: data, bubbles: true }));
  }, pasted);
  await page.click("aria/Last step");
  assert.equal(await text(page, "#step-command"), "ADD ünïcödé");
  assert.equal(await page.$$eval("img", (e) => e.length), 0);
  assert.notEqual(await page.title(), "owned");
  assert.deepEqual(page.problems, []);
  await page.close();
});

/** Whether the end of the step's walk is drawn inside the visible tree pane, once nodes stop gliding. */
async function walkEndInView(page) {
  await page.waitForFunction(() => !document.getElementById("tree-pane").dataset.moving);
  return page.evaluate(() => {
    const end = document.querySelector('[data-walk="end"]');
    if (!end) return "no walk end";
    const pane = document.getElementById("tree-pane").getBoundingClientRect();
    const box = end.getBoundingClientRect();
    const inside = box.left >= pane.left && box.right <= pane.right && box.top >= pane.top && box.bottom <= pane.bottom;
    return inside ? "in view" : `at ${Math.round(box.left)},${Math.round(box.top)} outside ${Math.round(pane.left)}..${Math.round(pane.right)} x ${Math.round(pane.top)}..${Math.round(pane.bottom)}`;
  });
}

async function goTo(page, step) {
  await page.evaluate((k) => { location.hash = `#step=${k}`; }, step);
  await page.waitForFunction((k) => document.getElementById("step-label").textContent.startsWith(`step ${k} of`), {}, step);
}

test("the walk's end stays in view: a tall chain and a large random run", async () => {
  const rising = "INT\n" + Array.from({ length: 300 }, (_, i) => `ADD ${i}`).join("\n") + "\n";
  let page = await open(pageFor(Buffer.from(rising)));
  await page.setViewport({ width: 1400, height: 900 });
  for (const step of [1, 150, 300]) {
    await goTo(page, step);
    assert.equal(await walkEndInView(page), "in view", `ascending file, step ${step}`);
  }
  await page.close();
  let seed = 11;
  const random = () => (seed = (seed * 48271) % 2147483647) / 2147483647;
  let lines = "INT\n";
  for (let i = 0; i < 2000; ++i) lines += `${random() < 0.7 ? "ADD" : "DEL"} ${Math.floor(random() * 5000)}\n`;
  page = await open(pageFor(Buffer.from(lines)));
  await page.setViewport({ width: 1400, height: 900 });
  for (let k = 0; k < 20; ++k) {
    const step = 1 + Math.floor(random() * 2000);
    await goTo(page, step);
    const updated = await page.$eval("#printed", (e) => /^b\[/m.test(e.textContent));
    if (updated) assert.equal(await walkEndInView(page), "in view", `random run, step ${step}`);
  }
  assert.deepEqual(page.problems, []);
  await page.close();
});

test("a removal, a miss and the value a line was read as are told apart", async () => {
  const page = await open(pageFor(Buffer.from("INT\nADD 5\nADD 3\nDEL 3\nDEL 9\nADD 1 2\nDEL 9\n")));
  const endClass = () => page.$eval('[data-walk="end"]', (e) => e.getAttribute("class"));
  await goTo(page, 3);  // DEL 3: its leaf goes
  assert.equal(await page.$$eval(".ghost", (e) => e.length), 1);
  assert.doesNotMatch(await endClass(), /missing/);
  assert.match(await text(page, "#step-result"), /^Removed 3/);
  await goTo(page, 4);  // DEL 9: not held
  assert.equal(await page.$$eval(".ghost", (e) => e.length), 0);
  assert.match(await endClass(), /missing/);
  assert.match(await text(page, "#step-result"), /^Not found/);
  await goTo(page, 6);  // DEL 9 reads the 2 left over from ADD 1 2
  assert.equal(await text(page, "#step-command"), "DEL 9");
  assert.equal(await text(page, "#step-read"), "read as DEL 2");
  await goTo(page, 5);
  assert.equal(await page.$$eval(".node.new", (e) => e.length), 1 + 1);  // the new leaf and its routing node
  await page.close();
});

test("the address follows the step, and the browser's back and forward step", async () => {
  const page = await open(pageFor(Buffer.from("INT\nADD 5\nADD 3\nADD 8\n")));
  await goTo(page, 2);
  await page.click("aria/Step forward");
  assert.match(page.url(), /#step=3/);
  await page.goBack();
  await page.waitForFunction(() => document.getElementById("step-label").textContent.startsWith("step 2 of"));
  await page.goForward();
  await page.waitForFunction(() => document.getElementById("step-label").textContent.startsWith("step 3 of"));
  await page.click("aria/Play");
  await page.click("aria/Pause");
  await page.close();
});

test("a phone-sized screen does not scroll sideways, and every control has a name", async () => {
  const tall = "INT\n" + Array.from({ length: 2000 }, (_, i) => `ADD ${i}`).join("\n") + "\n";
  for (const bytes of [Buffer.from(tall), Buffer.from("STRING\nADD a-rather-long-word-that-needs-room\nADD b\n")]) {
    const page = await open(pageFor(bytes));
    await page.setViewport({ width: 390, height: 800 });
    for (const step of [0, 1, 2]) {
      await goTo(page, step);
      const wide = await page.evaluate(() => document.documentElement.scrollWidth);
      assert.ok(wide <= 390, `${wide} px wide at step ${step}`);
      const tree = await page.$eval("#tree-pane", (e) => e.getBoundingClientRect().height);
      assert.ok(tree >= 300, `the tree gets ${tree} px`);
    }
    await page.close();
  }
  const page = await open(pageFor(Buffer.from("INT\nADD 5\nADD 3\n")));
  const unnamed = [];
  const walk = (node) => {
    if (["button", "textbox", "slider", "combobox", "searchbox", "spinbutton"].includes(node.role) && !node.name) {
      unnamed.push(node.role);
    }
    for (const child of node.children || []) walk(child);
  };
  walk(await page.accessibility.snapshot({ interestingOnly: false }));
  assert.deepEqual(unnamed, []);
  for (const name of ["First step", "Step back", "Step forward", "Last step", "Play", "Search", "Command", "Step", "Zoom in", "Fit the tree"]) {
    assert.ok(await page.$(`aria/${name}`), `no control named ${name}`);
  }
  await page.close();
});

test("search shows a held value's leaf and where an absent value's walk ends", async () => {
  const page = await open(pageFor(Buffer.from("INT\nADD 50\nADD 20\nADD 80\nADD 20\nADD 65\n")), 5);
  const search = async (value) => {
    await page.$eval("#search", (e, v) => { e.value = v; }, value);
    await page.click("aria/Search");
    return page.$eval('[data-search="end"]', (e) => [e.getAttribute("class"), e.getAttribute("aria-label")]);
  };
  const [held, heldLabel] = await search("20");
  assert.match(held, /found/);
  assert.equal(heldLabel, "leaf 20 ×2");
  assert.match(await text(page, "#step-result"), /held 2 times/);
  const [absent, absentLabel] = await search("70");
  assert.match(absent, /missing/);
  assert.equal(absentLabel, "leaf 65 ×1");  // 70 < 80, then 70 ≥ 50, then 70 ≥ 65
  assert.match(await text(page, "#step-result"), /not held; its walk ends at the leaf 65 ×1/);
  await page.close();
});

test("the page asks the network for nothing", () => {
  assert.deepEqual(offNetwork, []);
});
