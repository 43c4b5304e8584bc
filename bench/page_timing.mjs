// Times the page in headless Chromium at 1400x900: from opening it to its
// controls answering; a step forward, a step back and a jump to any step,
// each to the next drawing; Play at 30 steps a second for 5 s; and the tab's
// memory (its renderer's private memory) against the empty page's.
//
//   node page_timing.mjs EMPTY.html PAGE.html [PAGE.html ...]
//   (ORLO_NODE_MODULES: puppeteer-core's folder)
// Prints one row per page, in milliseconds and megabytes.
import { createRequire } from "node:module";
import { mkdtempSync, readFileSync, readdirSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const puppeteer = createRequire(join(process.env.ORLO_NODE_MODULES, "/"))("puppeteer-core");
const [empty, ...pages] = process.argv.slice(2);
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const most = (xs) => Math.max(...xs);

/**
 * The tab's memory: the private memory (what no other process shares) of the
 * largest renderer of a browser that has the one page open, in MB.
 */
function tabMemory() {
  let largest = 0;
  for (const pid of readdirSync("/proc").filter((p) => /^\d+$/.test(p))) {
    let cmd, rollup;
    try {
      cmd = readFileSync(`/proc/${pid}/cmdline`, "latin1");
      if (!cmd.includes("--type=renderer") || !cmd.includes("orlo-timing-")) continue;
      rollup = readFileSync(`/proc/${pid}/smaps_rollup`, "latin1");
    } catch {
      continue;  // gone meanwhile
    }
    const kb = (k) => Number(rollup.match(new RegExp(`^${k}:\\s+(\\d+)`, "m"))[1]);
    largest = Math.max(largest, (kb("Private_Clean") + kb("Private_Dirty")) / 1024);
  }
  return largest;
}

async function launch() {
  return puppeteer.launch({
    executablePath: process.env.ORLO_CHROMIUM || "/usr/bin/chromium",
    headless: true,
    userDataDir: mkdtempSync(join(tmpdir(), "orlo-timing-")),
    args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--no-first-run"],
  });
}

/** Opens a page alone in a browser; returns the browser, the page and how long until its controls answered. */
async function open(html) {
  const browser = await launch();
  for (const p of await browser.pages()) await p.close();
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  const started = Date.now();
  await page.goto(`file://${html}#step=0`, { timeout: 120000 });
  await page.waitForFunction(() => document.getElementById("step-label").textContent !== "", { timeout: 120000, polling: "raf" });
  return { browser, page, ready: Date.now() - started };
}

/** From a control's action to the drawing after it: the step label names k and a frame has been painted. */
function timed(page, action, k) {
  return page.evaluate(async (action, k) => {
    const t0 = performance.now();
    if (action === "forward") document.getElementById("forward").click();
    else if (action === "back") document.getElementById("back").click();
    else {
      const field = document.getElementById("step-field");
      field.value = String(k);
      field.dispatchEvent(new Event("change"));
    }
    while (!document.getElementById("step-label").textContent.startsWith(`step ${k} of`)) {
      await new Promise((r) => setTimeout(r, 0));
    }
    // The next frame's callbacks run before it is painted; a task queued
    // from one runs after the paint.
    await new Promise((r) => requestAnimationFrame(() => setTimeout(r, 0)));
    return performance.now() - t0;
  }, action, k);
}

const { browser: emptyBrowser, ready: emptyReady } = await open(empty);
await new Promise((r) => setTimeout(r, 1000));
const emptyMemory = tabMemory();
await emptyBrowser.close();
console.log(`empty playground: controls ready in ${emptyReady} ms, tab memory ${emptyMemory.toFixed(0)} MB` +
            ` (so the bound is 2x + 64 = ${(2 * emptyMemory + 64).toFixed(0)} MB)`);
console.log("commands | ready | forward median/most | back median/most | jump median/most | Play 30/s for 5 s | memory MB");
for (const html of pages) {
  const { browser, page, ready } = await open(html);
  const steps = await page.evaluate(() => Number(document.getElementById("step").max));
  let seed = 5;
  const anywhere = () => 1 + ((seed = (seed * 48271) % 2147483647) % steps);
  const jumps = [], forward = [], back = [];
  for (let i = 0; i < 15; ++i) {
    const k = anywhere();
    jumps.push(await timed(page, "jump", k));
    forward.push(await timed(page, "forward", Math.min(k + 1, steps)));
    back.push(await timed(page, "back", Math.min(k + 1, steps) - 1));
  }
  await timed(page, "jump", 1);
  const before = await page.evaluate(() => Number(document.getElementById("step").value));
  await page.select("#speed", "30");
  await page.click("#play");
  await new Promise((r) => setTimeout(r, 5000));
  await page.click("#play");
  const played = (await page.evaluate(() => Number(document.getElementById("step").value))) - before;
  const memory = tabMemory();
  const pair = (xs) => `${median(xs).toFixed(0)}/${most(xs).toFixed(0)}`;
  console.log(`${steps.toLocaleString("en")} | ${ready} | ${pair(forward)} | ${pair(back)} | ${pair(jumps)} | ` +
              `${(played / 5).toFixed(1)} steps/s | ${memory.toFixed(0)}`);
  await browser.close();
}
