// The page orlo-dot --html writes, in headless Chromium: what it shows as
// printed is exactly what Orlo prints, step after step; typed commands run;
// text from a run never becomes markup; and the page asks the network for
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

test("the page asks the network for nothing", () => {
  assert.deepEqual(offNetwork, []);
});
