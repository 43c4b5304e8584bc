// What the page shows: the controls, the step's command and lines, the
// tree after it with its walk, its figures. Every text from a run reaches
// the document through textContent or an attribute, never as markup.
"use strict";

(async function page() {
  const $ = (id) => document.getElementById(id);
  const SVG = "http://www.w3.org/2000/svg";
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();
  const SLOT = 112;   // horizontal room of one leaf
  const LEVEL = 64;   // vertical room of one level
  const BOX_W = 100, BOX_H = 30;

  let orlo;
  let run = new Uint8Array(0);  // the command file's bytes
  let edited = false;           // the text box differs from `run`
  let frame = null;
  let layout = null;

  // ---- the run -------------------------------------------------------

  function say(text) {
    $("message").textContent = text;
  }

  function load(bytes, step) {
    run = bytes;
    say("");
    const type = orlo.load(run);
    $("file").value = decoder.decode(run);
    edited = false;
    if (type === null) {
      say("The first line names no element type (INT, DOUBLE or STRING), so Orlo does nothing with this file.");
    }
    show(step);
  }

  function show(k) {
    k = Math.max(0, Math.min(Math.floor(k) || 0, 0x7fffffff));
    try {
      frame = orlo.runTo(k);
    } catch (e) {
      // Orlo stopped part-way (out of memory, say): show the last step it
      // finished, and why it stopped.
      let good = 0;
      try {
        for (let j = 1; j <= k; ++j) {
          orlo.runTo(j);
          good = j;
        }
      } catch (again) {
        // The step after `good` is where it stops.
      }
      frame = orlo.runTo(good);
      say(e.message);
    }
    layout = place(frame.nodes);
    centre();
    render();
    const hash = addressOf(frame.done);
    if (location.hash !== hash) history.replaceState(null, "", hash);
  }

  // The address carries the step, and a small run itself, so that a link
  // reproduces what is shown. It stays in the fragment: nothing is sent.
  const kLinkedBytes = 4096;
  function addressOf(step) {
    let hash = `#step=${step}`;
    if (run.length <= kLinkedBytes && !embedded) hash += `&run=${toBase64Url(run)}`;
    return hash;
  }
  let embedded = false;  // the run is the one orlo-dot wrote into the page

  function toBase64Url(bytes) {
    let binary = "";
    for (const b of bytes) binary += String.fromCharCode(b);
    return btoa(binary).replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "");
  }
  function fromBase64Url(text) {
    const binary = atob(text.replace(/-/g, "+").replace(/_/g, "/"));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
  }

  function fragment() {
    const out = {};
    for (const part of location.hash.slice(1).split("&")) {
      const eq = part.indexOf("=");
      if (eq > 0) out[part.slice(0, eq)] = part.slice(eq + 1);
    }
    return out;
  }

  /** Appends a line to the run (or, on a run without commands, a type line replaces its own). */
  function addCommand(line) {
    if (/^(INT|DOUBLE|STRING)$/.test(line) && frame.steps === 0) {
      load(encoder.encode(line + "\n"), 0);
      return;
    }
    const tail = encoder.encode((run.length > 0 && run[run.length - 1] !== 10 ? "\n" : "") + line + "\n");
    const next = new Uint8Array(run.length + tail.length);
    next.set(run);
    next.set(tail, run.length);
    embedded = false;
    load(next, Number.MAX_SAFE_INTEGER);
  }

  // ---- drawing -------------------------------------------------------

  /** Where each node goes: leaves side by side in order, a routing node above the middle of its children. */
  function place(nodes) {
    const n = nodes.length;
    const x = new Float64Array(n), y = new Float64Array(n), parent = new Int32Array(n).fill(-1);
    let leaves = 0, height = 0;
    for (let i = 0; i < n; ++i) {
      y[i] = (nodes.depth[i] - 0.5) * LEVEL;
      height = Math.max(height, nodes.depth[i]);
      if (nodes.leaf[i]) {
        x[i] = (leaves++ + 0.5) * SLOT;
      } else {
        const left = i + 1, right = i + 1 + nodes.size[i + 1];
        parent[left] = parent[right] = i;
      }
    }
    for (let i = n - 1; i >= 0; --i) {
      if (!nodes.leaf[i]) x[i] = (x[i + 1] + x[i + 1 + nodes.size[i + 1]]) / 2;
    }
    return { x, y, parent, width: Math.max(leaves, 1) * SLOT, height: Math.max(height, 1) * LEVEL };
  }

  /** A drawing narrower than the pane stands in its middle. */
  function centre() {
    const room = $("tree-pane").clientWidth;
    const shift = Math.max(0, (room - layout.width) / 2);
    if (shift > 0) {
      for (let i = 0; i < layout.x.length; ++i) layout.x[i] += shift;
      layout.width = room;
    }
  }

  function el(name, attributes, parent) {
    const e = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
    if (parent) parent.appendChild(e);
    return e;
  }

  /** A label that fits its box; the whole text is the node's title. */
  function fit(text, room) {
    const chars = Math.floor(room / 7.3);
    return text.length <= chars ? text : text.slice(0, chars - 1) + "…";
  }

  function labelOf(i) {
    const nodes = frame.nodes;
    if (nodes.leaf[i]) return `${nodes.smallest(i)} ×${nodes.count[i]}`;
    return `${nodes.smallest(i)}..${nodes.largest(i)}`;
  }

  function drawTree() {
    const svg = $("tree"), pane = $("tree-pane");
    const nodes = frame.nodes;
    svg.setAttribute("width", layout.width);
    svg.setAttribute("height", layout.height);
    for (const child of [...svg.childNodes]) if (child.id !== "tree-summary") child.remove();
    const walk = new Set(frame.walk);
    const end = frame.walk.length ? frame.walk[frame.walk.length - 1] : -1;
    const found = frame.updated && frame.countAfter > 0;
    // Only what is in view (and the walk) is drawn: a tree of 20,000 values
    // would be 40,000 elements.
    const margin = 200;
    const left = pane.scrollLeft - margin, right = pane.scrollLeft + pane.clientWidth + margin;
    const top = pane.scrollTop - margin, bottom = pane.scrollTop + pane.clientHeight + margin;
    const edges = el("g", {}, svg), boxes = el("g", {}, svg);
    for (let i = 0; i < nodes.length; ++i) {
      const x = layout.x[i], y = layout.y[i];
      const inView = x >= left && x <= right && y >= top && y <= bottom;
      const p = layout.parent[i];
      const edgeInView = p >= 0 && Math.max(x, layout.x[p]) >= left && Math.min(x, layout.x[p]) <= right && y >= top && layout.y[p] <= bottom;
      if (!inView && !walk.has(i) && !edgeInView) continue;
      if (p >= 0) {
        el("line", { class: walk.has(i) ? "edge walk" : "edge", x1: layout.x[p], y1: layout.y[p] + BOX_H / 2, x2: x, y2: y - BOX_H / 2 }, edges);
      }
      if (!inView && !walk.has(i)) continue;
      const leaf = nodes.leaf[i] === 1;
      const g = el("g", { class: `node ${leaf ? "leaf" : "routing"}${walk.has(i) ? " walk" : ""}`, "data-depth": nodes.depth[i] }, boxes);
      if (i === end) {
        g.setAttribute("data-walk", "end");
        g.classList.add(leaf && found ? "found" : "missing");
      }
      const text = labelOf(i);
      el("title", {}, g).textContent = text;
      el("rect", { x: x - BOX_W / 2, y: y - BOX_H / 2, width: BOX_W, height: BOX_H, rx: leaf ? 3 : BOX_H / 2 }, g);
      el("text", { x, y }, g).textContent = fit(text, BOX_W - 8);
    }
    $("tree-empty").textContent = nodes.length === 0 ? "The set is empty." : "";
    const summary = nodes.length === 0 ? "The tree is empty." :
      `The tree after step ${frame.done}: ${frame.figures.distinct} distinct values, height ${frame.figures.height}` +
      (end >= 0 ? `; the walk of ${frame.value} passes ${frame.walk.length} nodes and ends at depth ${nodes.depth[end]}.` : ".");
    $("tree-summary").textContent = summary;
  }

  /** Scrolls the tree so that the walk's end is in view. */
  function followWalk() {
    if (frame.walk.length === 0) return;
    const end = frame.walk[frame.walk.length - 1], pane = $("tree-pane");
    const x = layout.x[end], y = layout.y[end];
    const inView = x - BOX_W / 2 >= pane.scrollLeft && x + BOX_W / 2 <= pane.scrollLeft + pane.clientWidth &&
                   y - BOX_H / 2 >= pane.scrollTop && y + BOX_H / 2 <= pane.scrollTop + pane.clientHeight;
    if (!inView) {
      pane.scrollLeft = x - pane.clientWidth / 2;
      pane.scrollTop = y - pane.clientHeight / 2;
    }
  }

  function drawChart() {
    const canvas = $("chart"), counts = frame.figures.leavesAtDepth;
    const scale = window.devicePixelRatio || 1;
    const width = canvas.clientWidth || 300, height = canvas.clientHeight || 90;
    canvas.width = Math.round(width * scale);
    canvas.height = Math.round(height * scale);
    const g = canvas.getContext("2d");
    g.scale(scale, scale);
    g.clearRect(0, 0, width, height);
    const most = Math.max(1, ...counts);
    const bar = width / Math.max(counts.length, 1);
    const endDepth = frame.walk.length ? frame.nodes.depth[frame.walk[frame.walk.length - 1]] : 0;
    counts.forEach((c, d) => {
      g.fillStyle = d + 1 === endDepth ? "#c62828" : "#5c6bc0";
      const h = (c / most) * (height - 2);
      g.fillRect(d * bar, height - h, Math.max(bar - (bar > 3 ? 1 : 0), 0.5), h);
    });
    $("chart-max").textContent = counts.length ? `depth ${counts.length}` : "";
    canvas.setAttribute("aria-label", "Leaves per depth: " + counts.map((c, d) => `depth ${d + 1}: ${c}`).join(", "));
  }

  function describeStep() {
    const f = frame;
    if (f.done === 0) {
      $("step-command").textContent = f.steps === 0 ? "(no commands yet)" : "(before the first command)";
      $("step-result").textContent = "";
      return;
    }
    $("step-command").textContent = f.line;
    let result;
    if (f.kind === "other") {
      result = "Not ADD or DEL: Orlo omits the line.";
    } else if (!f.updated) {
      result = "No value could be read: Orlo omits the line.";
    } else if (f.kind === "ADD") {
      result = f.countBefore === 0 ? `${f.value} added: a new leaf at depth ${f.depth}.`
                                   : `${f.value} added again: held ${f.countAfter} times, at depth ${f.depth}.`;
    } else if (f.countBefore === 0) {
      result = `${f.value} is not held: nothing removed.`;
    } else {
      result = f.countAfter === 0 ? `${f.value} removed: its leaf is gone.` : `${f.value} removed once: held ${f.countAfter} times.`;
    }
    $("step-result").textContent = result;
  }

  function render() {
    const f = frame;
    $("title").textContent = f.type ? `— ${f.type}, ${f.steps} commands` : "";
    $("step").max = String(f.steps);
    $("step").value = String(f.done);
    $("step-label").textContent = `step ${f.done} of ${f.steps}`;
    describeStep();
    $("printed").textContent = f.printed + (f.done === f.steps && f.listing ? f.listing : "");
    const figures = $("figures");
    figures.textContent = "";
    for (const [name, value] of [["distinct values", f.figures.distinct], ["occurrences", f.figures.occurrences],
                                 ["routing nodes", f.figures.routing], ["height", f.figures.height],
                                 ["average leaf depth", f.figures.averageLeafDepth.toFixed(2)]]) {
      figures.appendChild(document.createElement("dt")).textContent = name;
      figures.appendChild(document.createElement("dd")).textContent = String(value);
    }
    drawTree();
    followWalk();
    drawTree();
    drawChart();
  }

  // ---- controls ------------------------------------------------------

  const go = (k) => show(k);
  $("first").addEventListener("click", () => go(0));
  $("back").addEventListener("click", () => go(frame.done - 1));
  $("forward").addEventListener("click", () => go(frame.done + 1));
  $("last").addEventListener("click", () => go(frame.steps));
  $("step").addEventListener("input", () => go(Number($("step").value)));
  const typing = (e) => e.target instanceof Element && e.target.closest("input, textarea, select") !== null;
  document.addEventListener("keydown", (e) => {
    if (typing(e)) return;
    const to = { ArrowLeft: frame.done - 1, ArrowRight: frame.done + 1, Home: 0, End: frame.steps }[e.key];
    if (to !== undefined) {
      e.preventDefault();
      go(to);
    }
  });
  let redraw = 0;
  $("tree-pane").addEventListener("scroll", () => {
    if (!redraw) redraw = requestAnimationFrame(() => { redraw = 0; drawTree(); });
  });
  window.addEventListener("resize", () => { drawTree(); drawChart(); });

  $("command-form").addEventListener("submit", (e) => {
    e.preventDefault();
    const line = $("command").value.replace(/[\r\n]+$/, "");
    if (line === "") return;
    $("command").value = "";
    addCommand(line);
  });
  $("file").addEventListener("input", () => { edited = true; });
  $("run").addEventListener("click", () => {
    if (edited) {
      embedded = false;
      load(encoder.encode($("file").value), frame.done);
    }
  });
  async function openFile(file) {
    embedded = false;
    load(new Uint8Array(await file.arrayBuffer()), 0);
  }
  $("open").addEventListener("change", () => { if ($("open").files[0]) openFile($("open").files[0]); });
  document.addEventListener("dragover", (e) => { e.preventDefault(); document.body.classList.add("dragging"); });
  document.addEventListener("dragleave", () => document.body.classList.remove("dragging"));
  document.addEventListener("drop", (e) => {
    e.preventDefault();
    document.body.classList.remove("dragging");
    if (e.dataTransfer.files[0]) openFile(e.dataTransfer.files[0]);
  });
  document.addEventListener("paste", (e) => {
    if (typing(e)) return;
    const text = e.clipboardData.getData("text/plain");
    if (text) {
      e.preventDefault();
      embedded = false;
      load(encoder.encode(text), 0);
    }
  });

  // ---- start ---------------------------------------------------------

  try {
    orlo = await Orlo.create();
  } catch (e) {
    say(`This browser cannot run Orlo here: ${e.message}`);
    return;
  }
  const linked = fragment();
  let start = embeddedRun();
  embedded = start.length > 0;
  if (linked.run !== undefined) {
    try {
      start = fromBase64Url(linked.run);
      embedded = false;
    } catch (e) {
      say("The link's run could not be read.");
    }
  }
  if (start.length === 0) start = encoder.encode("INT\n");
  load(start, Number(linked.step) || 0);
})();
