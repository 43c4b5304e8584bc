// What the page's Node tests share: where the modules under test are (the
// build's folder, ORLO_PAGE_MODULES, which holds the generated
// frame-layout.js too; else web/page/), and a seeded random source, so a
// failing case comes back.
import { pathToFileURL } from "node:url";

export const moduleDir = process.env.ORLO_PAGE_MODULES
  ? pathToFileURL(process.env.ORLO_PAGE_MODULES + "/").href
  : new URL("../../../web/page/", import.meta.url).href;

/** Numbers in [0, 1) from a seed (mulberry32). */
export function random(seed) {
  return () => {
    seed = (seed + 0x6d2b79f5) | 0;
    let t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}
