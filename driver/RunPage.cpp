// The step-through page's HTML, style and script; see RunPage.h. Plain
// JavaScript, no network, no files beside it. Every text from the run goes
// into the page through textContent, never as markup.
#include "RunPage.h"

#include <cstdio>

namespace orlo {

void appendJsonText(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || c == '<' || c == '>' || c == '&') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
}

namespace {

constexpr std::string_view kHead = R"page(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Orlo run</title>
<style>
body { font: 14px/1.4 system-ui, sans-serif; margin: 0; color: #222; background: #fafafa; }
header { padding: 10px 16px; background: #fff; border-bottom: 1px solid #ddd; display: flex; flex-wrap: wrap; gap: 12px; align-items: center; }
header h1 { font-size: 16px; margin: 0 12px 0 0; }
button { font: inherit; padding: 2px 10px; }
#slider { flex: 1 1 240px; }
main { display: grid; grid-template-columns: minmax(220px, 300px) 1fr; gap: 12px; padding: 12px 16px; }
section { background: #fff; border: 1px solid #ddd; border-radius: 6px; padding: 8px 12px; }
h2 { font-size: 13px; text-transform: uppercase; letter-spacing: .05em; color: #666; margin: 4px 0 6px; }
#command, #printed { font-family: ui-monospace, monospace; white-space: pre-wrap; word-break: break-all; margin: 0; }
#command { font-size: 16px; font-weight: 600; }
#figures { margin: 0; }
#figures dt { float: left; clear: left; width: 9.5em; color: #555; }
#figures dd { margin: 0 0 0 10em; font-family: ui-monospace, monospace; }
#bars { display: flex; align-items: flex-end; gap: 1px; height: 90px; border-bottom: 1px solid #999; }
#bars div { background: #5c6bc0; flex: 1 1 0; min-width: 1px; }
#bars div.hl { background: #c62828; }
#bar-axis { display: flex; justify-content: space-between; color: #666; font-size: 11px; }
#tree-box { overflow: auto; max-height: calc(100vh - 90px); }
#tree text { font-family: ui-monospace, monospace; font-size: 11px; text-anchor: middle; dominant-baseline: middle; }
#tree line { stroke: #999; }
#tree line.hl { stroke: #c62828; stroke-width: 2.5; }
#tree .inner ellipse { fill: #e8eaf6; stroke: #5c6bc0; }
#tree .leaf rect { fill: #fff; stroke: #555; }
#tree .hl ellipse, #tree .hl rect { stroke: #c62828; stroke-width: 2.5; }
#tree .end.found rect { fill: #ffd54f; }
#tree .end.missing rect { stroke-dasharray: 4 3; }
.muted { color: #777; }
</style>
</head>
<body>
<header>
<h1 id="title"></h1>
<button id="first" title="first step (Home)">|&#x25C0;</button>
<button id="prev" title="step back (Left arrow)">&#x25C0;</button>
<button id="next" title="step forward (Right arrow)">&#x25B6;</button>
<button id="last" title="last step (End)">&#x25B6;|</button>
<input id="slider" type="range" min="0" value="0" aria-label="step">
<span id="step-label"></span>
<span class="muted">drawn in <span id="draw-ms"></span> ms</span>
</header>
<main>
<div>
<section><h2>Command</h2><p id="command"></p></section>
<section><h2>Orlo printed</h2><pre id="printed"></pre></section>
<section><h2>The tree</h2><dl id="figures"></dl></section>
<section><h2>Leaves per depth</h2><div id="bars"></div><div id="bar-axis"><span>1</span><span id="bar-max"></span></div></section>
</div>
<section id="tree-box"><svg id="tree" xmlns="http://www.w3.org/2000/svg"></svg></section>
</main>
<script id="orlo-data" type="application/json">)page";

constexpr std::string_view kTail = R"page(</script>
<script>
"use strict";
const data = JSON.parse(document.getElementById("orlo-data").textContent);
const steps = data.steps;
const SVG = "http://www.w3.org/2000/svg";
const $ = (id) => document.getElementById(id);
$("title").textContent = "Orlo run \u2014 " + data.type + ", " + steps.length + " commands";
$("slider").max = String(steps.length);

// The tree after step k (0: before any command) as a Map id -> record, from
// the nearest state kept on the way; every 64th state is kept.
const kept = new Map([[0, { root: -1, nodes: new Map() }]]);
function stateAt(k) {
  let from = k - (k % 64);
  while (!kept.has(from)) from -= 64;
  const base = kept.get(from);
  let root = base.root;
  const nodes = new Map(base.nodes);
  for (let i = from; i < k; ++i) {
    const s = steps[i];
    for (const id of s.gone) nodes.delete(id);
    for (const r of s.set) nodes.set(r[0], r);
    root = s.root;
    if ((i + 1) % 64 === 0 && !kept.has(i + 1)) kept.set(i + 1, { root, nodes: new Map(nodes) });
  }
  return { root, nodes };
}

function el(name, attrs, parent) {
  const e = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
  if (parent) parent.appendChild(e);
  return e;
}
function clip(text, n) { return text.length > n ? text.slice(0, n - 1) + "\u2026" : text; }

function draw(k) {
  const t0 = performance.now();
  const { root, nodes } = stateAt(k);
  const step = k > 0 ? steps[k - 1] : null;
  $("command").textContent = step ? step.cmd : "(before the first command)";
  $("printed").textContent = step ? step.out.join("\n") : "";
  $("step-label").textContent = "step " + k + " of " + steps.length;
  $("slider").value = String(k);

  // Layout: leaves left to right in order, each routing node above the
  // middle of its children, one row per level.
  const pos = new Map();
  const perDepth = [];
  let leaves = 0, routing = 0, occurrences = 0, height = 0, depthSum = 0;
  if (root !== -1) {
    const stack = [[root, 1, false]];
    while (stack.length) {
      const [id, depth, done] = stack.pop();
      const r = nodes.get(id);
      if (r[1] === 1) {
        pos.set(id, { x: leaves++, depth });
        occurrences += r[3];
        depthSum += depth;
        height = Math.max(height, depth);
        perDepth[depth] = (perDepth[depth] || 0) + 1;
      } else if (done) {
        pos.set(id, { x: (pos.get(r[4]).x + pos.get(r[5]).x) / 2, depth });
      } else {
        ++routing;
        stack.push([id, depth, true], [r[5], depth + 1, false], [r[4], depth + 1, false]);
      }
    }
  }
  const figures = [
    ["distinct values", leaves], ["occurrences", occurrences], ["routing nodes", routing], ["height", height],
    ["average leaf depth", leaves ? (depthSum / leaves).toFixed(2) : "0"], ["largest leaf depth", height]];
  const dl = $("figures");
  dl.replaceChildren();
  for (const [name, value] of figures) {
    const dt = document.createElement("dt"); dt.textContent = name;
    const dd = document.createElement("dd"); dd.textContent = String(value);
    dl.append(dt, dd);
  }

  const path = step && step.path ? step.path : [];
  const onPath = new Set(path);
  const end = path.length ? path[path.length - 1] : -1;
  const bars = $("bars");
  bars.replaceChildren();
  const most = Math.max(1, ...perDepth.filter((n) => n));
  for (let d = 1; d <= height; ++d) {
    const bar = document.createElement("div");
    bar.style.height = (100 * (perDepth[d] || 0) / most) + "%";
    bar.title = "depth " + d + ": " + (perDepth[d] || 0) + " leaves";
    if (end !== -1 && d === path.length) bar.className = "hl";
    bars.appendChild(bar);
  }
  $("bar-max").textContent = String(height);

  // Large trees are drawn small, with text on the highlighted path only.
  const big = leaves > 120;
  const dx = big ? 16 : 76, dy = big ? 28 : 64, pad = 40;
  const svg = $("tree");
  svg.replaceChildren();
  const width = Math.max(1, leaves) * dx + 2 * pad, heightPx = Math.max(1, height) * dy + 2 * pad;
  svg.setAttribute("width", width);
  svg.setAttribute("height", heightPx);
  svg.setAttribute("viewBox", "0 0 " + width + " " + heightPx);
  const X = (id) => pad + dx / 2 + pos.get(id).x * dx, Y = (id) => pad + (pos.get(id).depth - 1) * dy;
  // Edges and the nodes drawn without text go into one path each; nodes
  // with text, and those on the highlighted walk, get elements of their own.
  let edgePath = "", dotPath = "";
  const edges = el("g", {}, svg), shapes = el("g", {}, svg);
  const edgeLines = el("path", { stroke: "#bbb", fill: "none" }, edges), dots = el("path", { fill: "#7986cb" }, shapes);
  let endX = 0;
  for (const [id, r] of nodes) {
    if (!pos.has(id)) continue;
    const x = X(id), y = Y(id);
    if (r[1] === 0) {
      for (const child of [r[4], r[5]]) {
        if (onPath.has(id) && onPath.has(child)) {
          el("line", { x1: x, y1: y, x2: X(child), y2: Y(child), class: "hl" }, edges);
        } else {
          edgePath += "M" + x + " " + y + "L" + X(child) + " " + Y(child);
        }
      }
    }
    const labelled = !big || onPath.has(id);
    if (!labelled) {
      dotPath += "M" + (x - 3) + " " + (y - 3) + "h6v6h-6z";
      continue;
    }
    const g = el("g", { "data-id": id, "data-depth": pos.get(id).depth }, shapes);
    const cls = [r[1] === 1 ? "node leaf" : "node inner"];
    if (onPath.has(id)) cls.push("hl");
    if (id === end) { cls.push("end", step.found ? "found" : "missing"); endX = x; }
    g.setAttribute("class", cls.join(" "));
    const title = el("title", {}, g);
    if (r[1] === 1) {
      title.textContent = r[2] + " \u00d7" + r[3] + " (depth " + pos.get(id).depth + ")";
      el("rect", { x: x - 34, y: y - 17, width: 68, height: 34, rx: 3 }, g);
      el("text", { x, y: y - 7 }, g).textContent = clip(r[2], 10);
      el("text", { x, y: y + 8 }, g).textContent = "\u00d7" + r[3];
    } else {
      title.textContent = r[2] + " .. " + r[3];
      el("ellipse", { cx: x, cy: y, rx: 34, ry: 14 }, g);
      el("text", { x, y }, g).textContent = clip(r[2] + ".." + r[3], 12);
    }
  }
  edgeLines.setAttribute("d", edgePath);
  dots.setAttribute("d", dotPath);
  if (end !== -1) $("tree-box").scrollLeft = Math.max(0, endX - $("tree-box").clientWidth / 2);
  svg.getBoundingClientRect();  // the layout is part of drawing
  $("draw-ms").textContent = (performance.now() - t0).toFixed(1);
  history.replaceState(null, "", "#step=" + k);
}

let current = 0;
function go(k) { current = Math.max(0, Math.min(steps.length, k)); draw(current); }
$("first").onclick = () => go(0);
$("prev").onclick = () => go(current - 1);
$("next").onclick = () => go(current + 1);
$("last").onclick = () => go(steps.length);
$("slider").oninput = (e) => go(Number(e.target.value));
document.addEventListener("keydown", (e) => {
  const to = { ArrowLeft: current - 1, ArrowRight: current + 1, Home: 0, End: steps.length }[e.key];
  if (to !== undefined) { e.preventDefault(); go(to); }
});
const asked = /step=(\d+)/.exec(location.hash);
go(asked ? Number(asked[1]) : 0);
</script>
</body>
</html>
)page";

}  // namespace

void writeRunPage(LineWriter& out, std::string_view data) {
    out.raw(kHead);
    out.raw(data);
    out.raw(kTail);
}

}  // namespace orlo
