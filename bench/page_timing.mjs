// Times the page in headless Chromium: from opening it to its first drawing,
// and from asking for a step to its drawing, for steps all over a run.
//   node page_timing.mjs PAGE.html      (ORLO_NODE_MODULES: puppeteer-core's folder)
import { createRequire } from "node:module";
import { mkdtempSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

const puppeteer = createRequire(join(process.env.ORLO_NODE_MODULES, "/"))("puppeteer-core");
const html = process.argv[2];
const browser = await puppeteer.launch({
  executablePath: process.env.ORLO_CHROMIUM || "/usr/bin/chromium",
  headless: true,
  userDataDir: mkdtempSync(join(tmpdir(), "orlo-timing-")),
  args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--no-first-run"],
});
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const firstDraws = [];
for (let i = 0; i < 5; ++i) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 900 });
  const started = Date.now();
  await page.goto(`file://${html}#step=0`);
  await page.waitForFunction(() => document.getElementById("step-label").textContent !== "");
  firstDraws.push(Date.now() - started);
  await page.close();
}
const page = await browser.newPage();
await page.setViewport({ width: 1400, height: 900 });
await page.goto(`file://${html}#step=0`);
await page.waitForFunction(() => document.getElementById("step-label").textContent !== "");
const steps = await page.evaluate(() => Number(document.getElementById("step").max));
let seed = 5;
const targets = Array.from({ length: 40 }, () => (seed = (seed * 48271) % 2147483647) % (steps + 1));
const reach = [];
for (const k of targets) {
  const took = await page.evaluate((k) => {
    const slider = document.getElementById("step");
    const t0 = performance.now();
    slider.value = String(k);
    slider.dispatchEvent(new Event("input"));
    return performance.now() - t0;
  }, k);
  reach.push(took);
}
console.log(`first drawing of a ${steps}-command page: median ${median(firstDraws)} ms, most ${Math.max(...firstDraws)} ms`);
console.log(`reaching a step of it (40 steps all over the run): median ${median(reach).toFixed(1)} ms, most ${Math.max(...reach).toFixed(1)} ms`);
await browser.close();
