// What the page shows: the controls, the step's command and why its walk
// went where it went, what Orlo printed, and the tree after the step, with
// what the step changed marked and the walk always in view. Every text from
// a run reaches the document through textContent or an attribute, never as
// markup.
"use strict";

(async function page() {
  const $ = (id) => document.getElementById(id);
  const SVG = "http://www.w3.org/2000/svg";
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();
  const SLOT = 112;   // horizontal room of one leaf, in world units
  const LEVEL = 64;   // vertical room of one level
  const BOX_W = 100, BOX_H = 30;
  const MOST_DRAWN = 1500;  // beyond this many nodes in view, their shape goes on a canvas
  const GLIDE_MS = 260;
  const reducedMotion = window.matchMedia("(prefers-reduced-motion: reduce)");

  let orlo;
  let run = new Uint8Array(0);  // the command file's bytes
  let embedded = false;         // the run is the one orlo-dot wrote into the page
  let edited = false;           // the text box differs from `run`
  let frame = null;             // the step shown
  let before = null;            // the step before it, for what changed
  let layout = null;
  let marks = null;             // what the step changed, by node number
  let searched = null;          // a search's walk, until the next step
  let view = { x: 0, y: 0, scale: 1 };  // screen = world * scale + (x, y)
  let glide = null;             // where nodes come from, while they glide
  let playing = 0;
  let loads = 0;                // files loaded into the engine: a frame belongs to one

  // ---- the run -------------------------------------------------------

  function say(text) {
    $("message").textContent = text;
  }

  function load(bytes, step, how = "replace") {
    run = bytes;
    say("");
    stop();
    const type = orlo.load(run);
    ++loads;
    $("file").value = decoder.decode(run);
    edited = false;
    if (type === null) {
      say("The first line names no element type (INT, DOUBLE or STRING), so Orlo does nothing with this file.");
    }
    frame = null;
    show(step, how, { fit: true });
  }

  /** Goes to step k; `how` says what the address does: push, replace, or nothing. */
  function show(k, how = "push", options = {}) {
    k = Math.max(0, Math.min(Math.floor(k) || 0, orlo.steps));
    const from = frame;
    try {
      // The step before tells what this one changed; stepping forward, it
      // is the one shown. (Not one from before the file was loaded again:
      // node ids hold within one run of it.)
      before = k === 0 ? null : from && from.run === loads && from.done === k - 1 ? from : orlo.runTo(k - 1);
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
      before = good > 0 ? orlo.runTo(good - 1) : null;
      frame = orlo.runTo(good);
      say(e.message);
    }
    frame.run = loads;
    searched = null;
    settle();
    marks = markChanges();
    layout = place(frame.nodes, marks.ghostSlot);
    // Nodes glide from where they stood on the screen to their new places.
    // Only a step to the next or the one before glides: after a jump, the
    // nodes have nothing to glide from that would mean anything.
    if (from && !reducedMotion.matches && !options.fit && Math.abs(frame.done - from.done) === 1) {
      glide = { from: positionsOf(from, currentLayoutFor(from)), started: performance.now() };
      pane().dataset.moving = "true";
    }
    if (options.fit || !from) fitOrFollow(); else follow();
    renderPanels();
    render();
    shownLayout = { frame, layout };
    if (glide) requestAnimationFrame(animate);
    const hash = addressOf(frame.done);
    if (how !== "none" && location.hash !== hash) history[how === "push" ? "pushState" : "replaceState"](null, "", hash);
  }
  let shownLayout = null;  // the layout last drawn, with the frame it belongs to
  function currentLayoutFor(f) {
    return shownLayout && shownLayout.frame === f ? shownLayout.layout : place(f.nodes);
  }

  // The address carries the step, and a small run itself, so that a link
  // reproduces what is shown. It stays in the fragment: nothing is sent.
  const kLinkedBytes = 4096;
  function addressOf(step) {
    let hash = `#step=${step}`;
    if (run.length <= kLinkedBytes && !embedded) hash += `&run=${toBase64Url(run)}`;
    return hash;
  }

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

  /** Appends a line to the run (on a run without commands, a type line replaces its own). */
  function addCommand(line) {
    if (/^(INT|DOUBLE|STRING)$/.test(line) && frame.steps === 0) {
      embedded = false;
      load(encoder.encode(line + "\n"), 0, "push");
      return;
    }
    const tail = encoder.encode((run.length > 0 && run[run.length - 1] !== 10 ? "\n" : "") + line + "\n");
    const next = new Uint8Array(run.length + tail.length);
    next.set(run);
    next.set(tail, run.length);
    embedded = false;
    run = next;
    orlo.load(run);
    ++loads;
    $("file").value = decoder.decode(run);
    edited = false;
    show(orlo.steps, "push");
  }

  // ---- where things go -----------------------------------------------

  /**
   * Leaves side by side in order, a routing node above the middle of its
   * children; `reserve`, when given, is a leaf's place left empty (the
   * removed leaf's, for its ghost).
   */
  function place(nodes, reserve = -1) {
    const n = nodes.length;
    const x = new Float64Array(n), y = new Float64Array(n), parent = new Int32Array(n).fill(-1);
    let leaves = 0, height = 0;
    for (let i = 0; i < n; ++i) {
      y[i] = (nodes.depth[i] - 0.5) * LEVEL;
      height = Math.max(height, nodes.depth[i]);
      if (nodes.leaf[i]) {
        if (leaves === reserve) ++leaves;
        x[i] = (leaves++ + 0.5) * SLOT;
      } else {
        const left = i + 1, right = i + 1 + nodes.size[i + 1];
        parent[left] = parent[right] = i;
      }
    }
    for (let i = n - 1; i >= 0; --i) {
      if (!nodes.leaf[i]) x[i] = (x[i + 1] + x[i + 1 + nodes.size[i + 1]]) / 2;
    }
    if (leaves === reserve) ++leaves;
    return { x, y, parent, width: Math.max(leaves, 1) * SLOT, height: Math.max(height, 1) * LEVEL };
  }

  function positionsOf(f, l) {
    const at = new Map();
    for (let i = 0; i < f.nodes.length; ++i) at.set(f.nodes.id[i], [l.x[i], l.y[i]]);
    return at;
  }

  /**
   * New nodes, changed ones, and the leaf a removal took: its number in the
   * step before, and its place among the leaves (the drawing keeps that place
   * for it).
   */
  function markChanges() {
    const nodes = frame.nodes;
    const out = { fresh: new Uint8Array(nodes.length), changed: new Uint8Array(nodes.length), ghost: -1, ghostSlot: -1 };
    if (!before) return out;
    const was = new Map();
    for (let i = 0; i < before.nodes.length; ++i) was.set(before.nodes.id[i], i);
    for (let i = 0; i < nodes.length; ++i) {
      const j = was.get(nodes.id[i]);
      if (j === undefined) out.fresh[i] = 1;
      else if (before.nodes.key[j] !== nodes.key[i]) out.changed[i] = 1;
      was.delete(nodes.id[i]);
    }
    if (frame.kind === "DEL" && frame.updated && frame.countBefore > 0 && frame.countAfter === 0) {
      for (const j of was.values()) if (before.nodes.leaf[j]) out.ghost = j;
      out.ghostSlot = 0;
      for (let j = 0; j < out.ghost; ++j) out.ghostSlot += before.nodes.leaf[j];
    }
    return out;
  }

  // ---- the view: pan, zoom, follow ------------------------------------

  const pane = () => $("tree-pane");
  const toScreen = (wx, wy) => [wx * view.scale + view.x, wy * view.scale + view.y];

  /** The whole tree in view, when it can be read that small; else the walk. */
  function fitOrFollow() {
    if (!fit(0.55)) follow(true);
  }

  /** Fits the whole tree, down to `least` scale; false when it would need less. */
  function fit(least = 0) {
    const w = pane().clientWidth, h = pane().clientHeight;
    const scale = Math.min(1.25, (w - 24) / layout.width, (h - 24) / layout.height);
    if (scale < least) return false;
    view.scale = Math.max(scale, 0.0005);
    view.x = (w - layout.width * view.scale) / 2;
    view.y = Math.max(12, (h - layout.height * view.scale) / 2);
    return true;
  }

  /** Keeps the walk in view: all of it where it fits, else its end and as much above it as fits. */
  function follow(centre = false) {
    const walk = searched ? searched.walk : frame.walk;
    if (walk.length === 0) return;
    const w = pane().clientWidth, h = pane().clientHeight, pad = 16;
    const end = walk[walk.length - 1];
    const half = (BOX_W / 2) * view.scale, halfH = (BOX_H / 2) * view.scale;
    const [ex, ey] = toScreen(layout.x[end], layout.y[end]);
    let top = ey, left = ex, right = ex;
    for (const i of walk) {
      const [x, y] = toScreen(layout.x[i], layout.y[i]);
      if (ey - y + 2 * halfH + 2 * pad > h || Math.abs(ex - x) + 2 * half + 2 * pad > w) continue;
      top = Math.min(top, y);
      left = Math.min(left, x);
      right = Math.max(right, x);
    }
    const endInView = ex - half >= pad && ex + half <= w - pad && ey - halfH >= pad && ey + halfH <= h - pad;
    const spanInView = endInView && top - halfH >= pad && left - half >= pad && right + half <= w - pad;
    if (centre || !spanInView) {
      // The end, and as much of the walk above it as fits, in the middle.
      view.x += w / 2 - (left + right) / 2;
      view.y += h / 2 - (top + ey) / 2;
    }
  }

  function zoomBy(factor, cx = pane().clientWidth / 2, cy = pane().clientHeight / 2) {
    const scale = Math.min(4, Math.max(0.0005, view.scale * factor));
    view.x = cx - ((cx - view.x) * scale) / view.scale;
    view.y = cy - ((cy - view.y) * scale) / view.scale;
    view.scale = scale;
    settle();
    render();
  }

  /** Ends a glide: every node at its place. */
  function settle() {
    glide = null;
    delete pane().dataset.moving;
  }

  // ---- drawing --------------------------------------------------------

  function el(name, attributes, parent) {
    const e = document.createElementNS(SVG, name);
    for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
    if (parent) parent.appendChild(e);
    return e;
  }

  function labelOf(f, i) {
    const nodes = f.nodes;
    if (nodes.leaf[i]) return `${nodes.smallest(i)} ×${nodes.count[i]}`;
    return `${nodes.smallest(i)}..${nodes.largest(i)}`;
  }

  /** The label in its box: smaller type for a long one, cut with … only past that; the whole is its title. */
  function fitLabel(textElement, text) {
    const room = BOX_W - 8;
    let size = 12;
    while (size > 8.5 && text.length * size * 0.6 > room) size -= 0.5;
    textElement.setAttribute("font-size", size);
    const chars = Math.floor(room / (size * 0.6));
    textElement.textContent = text.length <= chars ? text : text.slice(0, chars - 1) + "…";
  }

  /** Where node i of the shown step stands now (gliding from its old place). */
  function at(i, t) {
    const x = layout.x[i], y = layout.y[i];
    if (!glide || t >= 1) return [x, y];
    const from = glide.from.get(frame.nodes.id[i]);
    if (!from) return [x, y];
    return [from[0] + (x - from[0]) * t, from[1] + (y - from[1]) * t];
  }

  function progress() {
    if (!glide) return 1;
    const t = Math.min(1, (performance.now() - glide.started) / GLIDE_MS);
    return 1 - (1 - t) * (1 - t);  // eases out
  }

  function animate() {
    if (!glide) return;
    render();
    if (progress() < 1) {
      requestAnimationFrame(animate);
    } else {
      glide = null;
      delete pane().dataset.moving;
    }
  }

  function render() {
    const t = progress();
    const nodes = frame.nodes;
    const w = pane().clientWidth, h = pane().clientHeight;
    const margin = BOX_W;
    const left = (-view.x - margin) / view.scale, right = (w - view.x + margin) / view.scale;
    const top = (-view.y - margin) / view.scale, bottom = (h - view.y + margin) / view.scale;
    const walk = new Set(frame.walk);
    const search = new Set(searched ? searched.walk : []);
    const special = (i) => walk.has(i) || search.has(i);
    const inView = [];
    for (let i = 0; i < nodes.length; ++i) {
      const [x, y] = at(i, t);
      if (x >= left && x <= right && y >= top && y <= bottom) inView.push(i);
    }
    const shapeOnly = inView.length > MOST_DRAWN;
    drawShape(shapeOnly ? inView : [], t);
    const drawn = shapeOnly ? [...new Set([...walk, ...search])] : [...new Set([...inView, ...walk, ...search])];

    $("world").setAttribute("transform", `translate(${view.x} ${view.y}) scale(${view.scale})`);
    const edges = $("edges"), whys = $("whys"), boxes = $("nodes");
    edges.textContent = "";
    whys.textContent = "";
    boxes.textContent = "";
    const showText = view.scale >= 0.45;
    const end = frame.walk.length ? frame.walk[frame.walk.length - 1] : -1;
    const searchEnd = searched && searched.walk.length ? searched.walk[searched.walk.length - 1] : -1;

    // The leaf a removal took, where it stood, fading.
    if (marks.ghost >= 0 && t < 1 + 1e-9) {
      const j = marks.ghost;
      const gx = (marks.ghostSlot + 0.5) * SLOT, gy = (before.nodes.depth[j] - 0.5) * LEVEL;
      const g = el("g", { class: "node leaf ghost", transform: `translate(${gx} ${gy})` }, boxes);
      el("title", {}, g).textContent = `removed: ${labelOf(before, j)}`;
      el("rect", { x: -BOX_W / 2, y: -BOX_H / 2, width: BOX_W, height: BOX_H, rx: 3 }, g);
      if (showText) fitLabel(el("text", { x: 0, y: 0 }, g), labelOf(before, j));
    }

    for (const i of drawn) {
      const [x, y] = at(i, t);
      const p = layout.parent[i];
      if (p >= 0) {
        const [px, py] = at(p, t);
        const kind = walk.has(i) ? " walk" : search.has(i) ? " searched" : "";
        el("line", { class: `edge${kind}`, x1: px, y1: py + BOX_H / 2, x2: x, y2: y - BOX_H / 2 }, edges);
        if (kind && showText) why(whys, i, p, px, py, x, y, kind === " walk" ? frame.value : searched.value);
      }
      const leaf = nodes.leaf[i] === 1;
      const classes = ["node", leaf ? "leaf" : "routing"];
      if (walk.has(i)) classes.push("walk");
      if (search.has(i)) classes.push("searched");
      if (marks.fresh[i]) classes.push("new");
      if (marks.changed[i]) classes.push("changed");
      const g = el("g", { class: classes.join(" "), "data-depth": nodes.depth[i], transform: `translate(${x} ${y})`, tabindex: "0" }, boxes);
      const text = labelOf(frame, i);
      g.setAttribute("aria-label", (leaf ? "leaf " : "routing node ") + text);
      if (i === end) {
        // Found, not found, or (a removal that took the leaf) neither: the
        // ghost shows the leaf that went.
        g.setAttribute("data-walk", "end");
        if (frame.countAfter > 0 && leaf) g.classList.add("found");
        else if (marks.ghost < 0) g.classList.add("missing");
      }
      if (i === searchEnd) {
        g.setAttribute("data-search", "end");
        g.classList.add(searched.count > 0 && leaf ? "found" : "missing");
      }
      el("title", {}, g).textContent = text;
      el("rect", { x: -BOX_W / 2, y: -BOX_H / 2, width: BOX_W, height: BOX_H, rx: leaf ? 3 : BOX_H / 2 }, g);
      if (showText || special(i)) fitLabel(el("text", { x: 0, y: 0 }, g), text);
    }
    $("tree-empty").textContent = nodes.length === 0 ? "The set is empty." : "";
    describeDrawing();
  }

  /** The comparison at routing node `routing` that sent a walk for `value` on to `child`. */
  function comparison(nodes, routing, child, value) {
    const right = routing + 1 + nodes.size[routing + 1];
    return child === right ? `${value} ≥ ${nodes.smallest(right)} → right` : `${value} < ${nodes.smallest(right)} → left`;
  }

  /**
   * Beside a walk's edge, the comparison that chose it. The text starts just
   * above the edge's middle and runs the way the edge leans (rightwards over
   * a right edge, leftwards over a left one): the edge falls away below it,
   * so the line never crosses the text.
   */
  function why(parent, child, routing, px, py, x, y, value) {
    const text = comparison(frame.nodes, routing, child, value);
    const goesRight = x >= px;
    const label = el("text", {
      class: goesRight ? "why leans-right" : "why leans-left",
      x: (px + x) / 2 + (goesRight ? 4 : -4), y: (py + y) / 2 - 8,
    }, parent);
    label.textContent = text.length > 28 ? text.slice(0, 27) + "…" : text;
  }

  /** The shape of a crowded view: boxes as dots, edges as hairlines. */
  function drawShape(indices, t) {
    const canvas = $("shape");
    const scale = window.devicePixelRatio || 1;
    const w = pane().clientWidth, h = pane().clientHeight;
    if (canvas.width !== Math.round(w * scale) || canvas.height !== Math.round(h * scale)) {
      canvas.width = Math.round(w * scale);
      canvas.height = Math.round(h * scale);
    }
    const g = canvas.getContext("2d");
    g.setTransform(scale, 0, 0, scale, 0, 0);
    g.clearRect(0, 0, w, h);
    if (indices.length === 0) return;
    g.strokeStyle = "#b5bcc4";
    g.lineWidth = 1;
    g.beginPath();
    for (const i of indices) {
      const p = layout.parent[i];
      if (p < 0) continue;
      const [x, y] = toScreen(...at(i, t)), [px, py] = toScreen(...at(p, t));
      g.moveTo(px, py);
      g.lineTo(x, y);
    }
    g.stroke();
    const size = Math.max(1.5, BOX_H * view.scale);
    for (const i of indices) {
      const [x, y] = toScreen(...at(i, t));
      g.fillStyle = frame.nodes.leaf[i] ? "#57606a" : "#5c6bc0";
      g.fillRect(x - size / 2, y - size / 2, size, size);
    }
  }

  function describeDrawing() {
    const f = frame, nodes = f.nodes;
    const end = f.walk.length ? f.walk[f.walk.length - 1] : -1;
    $("tree-summary").textContent = nodes.length === 0 ? "The tree is empty." :
      `The tree after step ${f.done}: ${f.figures.distinct} distinct values in ${nodes.length} nodes, ${f.figures.height} levels.`;
    $("tree-walk").textContent = end < 0 ? "" :
      `The walk of ${f.value} passes ${f.walk.length} nodes and ends at the leaf ${labelOf(f, end)}, depth ${nodes.depth[end]}.`;
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
    const described = counts.length <= 60 ? counts.map((c, d) => `depth ${d + 1}: ${c}`).join(", ")
                                          : `${counts.length} depths, at most ${most} leaves at one`;
    canvas.setAttribute("aria-label", `Leaves per depth: ${described}`);
  }

  // ---- the panels -----------------------------------------------------

  /** What the walk compared at each routing node, root first. */
  function narration(f, walk, value) {
    const nodes = f.nodes, steps = [];
    for (let k = 0; k + 1 < walk.length; ++k) {
      steps.push(comparison(nodes, walk[k], walk[k + 1], value));
    }
    if (walk.length) steps.push(`reaches the leaf ${labelOf(f, walk[walk.length - 1])}`);
    return steps;
  }

  function showNarration(steps) {
    const list = $("narration");
    list.textContent = "";
    // A tall tree's walk is long: its start and its end tell the story.
    const shown = steps.length <= 12 ? steps.map((s, k) => [k, s]) :
      [...steps.slice(0, 4).map((s, k) => [k, s]), [-1, `… ${steps.length - 10} more …`],
       ...steps.slice(-6).map((s, k) => [steps.length - 6 + k, s])];
    for (const [k, s] of shown) {
      const item = list.appendChild(document.createElement("li"));
      if (k < 0) item.className = "muted";
      item.textContent = k < 0 ? s : `${k + 1}. ${s}`;
    }
  }

  function describeStep() {
    const f = frame;
    $("step-read").textContent = "";
    if (f.done === 0) {
      $("step-command").textContent = f.steps === 0 ? "(no commands yet)" : "(before the first command)";
      $("step-result").textContent = f.steps === 0 ? "Type a command, such as ADD 7, and press Enter." : "";
      showNarration([]);
      return;
    }
    $("step-command").textContent = f.line;
    const keyword = f.kind === "other" ? "" : f.kind;
    if (keyword && f.updated && f.line !== `${keyword} ${f.value}`) $("step-read").textContent = `read as ${keyword} ${f.value}`;
    let result;
    if (f.kind === "other") {
      result = "Not ADD or DEL: Orlo omits the line.";
    } else if (!f.updated) {
      result = "No value could be read: Orlo omits the line.";
    } else if (f.kind === "ADD") {
      result = f.countBefore === 0 ? `Added ${f.value}: a new leaf at depth ${f.depth}.`
                                   : `Added ${f.value} again: held ${f.countAfter} times, at depth ${f.depth}.`;
    } else if (f.countBefore === 0) {
      result = `Not found: ${f.value} is not held, nothing removed.`;
    } else {
      result = f.countAfter === 0 ? `Removed ${f.value}: its leaf is gone (drawn faded where it was).`
                                  : `Removed one ${f.value}: held ${f.countAfter} times now.`;
    }
    $("step-result").textContent = result;
    showNarration(f.updated ? narration(f, f.walk, f.value) : []);
  }

  function renderPanels() {
    const f = frame;
    $("title").textContent = f.type ? `— ${f.type}, ${f.steps} commands` : "";
    $("step").max = String(f.steps);
    $("step").value = String(f.done);
    $("step-label").textContent = `step ${f.done} of ${f.steps}`;
    describeStep();
    // The listing, printed after the last command, set apart but in the same
    // text: the region reads exactly as Orlo's output.
    const printed = $("printed");
    printed.textContent = f.printed;
    if (f.done === f.steps && f.listing) {
      const listing = printed.appendChild(document.createElement("span"));
      listing.className = "listing";
      listing.textContent = f.listing;
    }
    const figures = $("figures");
    figures.textContent = "";
    for (const [name, value] of [["distinct values", f.figures.distinct], ["occurrences", f.figures.occurrences],
                                 ["routing nodes", f.figures.routing], ["height", f.figures.height],
                                 ["average leaf depth", f.figures.averageLeafDepth.toFixed(2)]]) {
      figures.appendChild(document.createElement("dt")).textContent = name;
      figures.appendChild(document.createElement("dd")).textContent = String(value);
    }
    drawChart();
  }

  // ---- playing ---------------------------------------------------------

  function stop() {
    if (!playing) return;
    clearInterval(playing);
    playing = 0;
    $("play").textContent = "Play";
    $("play").setAttribute("aria-label", "Play");
    $("play").setAttribute("aria-pressed", "false");
  }

  function play() {
    if (playing) return stop();
    if (frame.done >= frame.steps) show(0);
    $("play").textContent = "Pause";
    $("play").setAttribute("aria-label", "Pause");
    $("play").setAttribute("aria-pressed", "true");
    const tick = () => {
      if (frame.done >= frame.steps) return stop();
      show(frame.done + 1, "replace");
      if (frame.done >= frame.steps) stop();
    };
    playing = setInterval(tick, 1000 / Number($("speed").value));
  }

  // ---- controls ------------------------------------------------------

  const go = (k) => {
    stop();
    show(k);
  };
  $("first").addEventListener("click", () => go(0));
  $("back").addEventListener("click", () => go(frame.done - 1));
  $("forward").addEventListener("click", () => go(frame.done + 1));
  $("last").addEventListener("click", () => go(frame.steps));
  $("step").addEventListener("input", () => go(Number($("step").value)));
  $("play").addEventListener("click", play);
  $("speed").addEventListener("change", () => {
    if (playing) {
      stop();
      play();
    }
  });
  $("zoom-in").addEventListener("click", () => zoomBy(1.4));
  $("zoom-out").addEventListener("click", () => zoomBy(1 / 1.4));
  $("fit").addEventListener("click", () => {
    fit();
    settle();
    render();
  });
  const typing = (e) => e.target instanceof Element && e.target.closest("input, textarea, select") !== null;
  document.addEventListener("keydown", (e) => {
    if (typing(e) || e.ctrlKey || e.metaKey || e.altKey) return;
    const to = { ArrowLeft: frame.done - 1, ArrowRight: frame.done + 1, Home: 0, End: frame.steps }[e.key];
    if (to !== undefined) {
      e.preventDefault();
      go(to);
    } else if (e.key === "+" || e.key === "=") {
      zoomBy(1.4);
    } else if (e.key === "-") {
      zoomBy(1 / 1.4);
    } else if (e.key === "0") {
      $("fit").click();
    } else if (e.key === " " && !(e.target instanceof HTMLButtonElement)) {
      e.preventDefault();
      play();
    }
  });
  window.addEventListener("popstate", () => {
    const linked = fragment();
    if (linked.run !== undefined && linked.run !== toBase64Url(run)) {
      try {
        embedded = false;
        load(fromBase64Url(linked.run), Number(linked.step) || 0, "none");
        return;
      } catch (e) {
        say("The address's run could not be read.");
      }
    }
    if (linked.step !== undefined && Number(linked.step) !== frame.done) {
      stop();
      show(Number(linked.step), "none");
    }
  });

  // Panning by dragging (one finger or the mouse), zooming by the wheel or
  // by pinching (two fingers).
  const pointers = new Map();
  let pinch = null;
  pane().addEventListener("pointerdown", (e) => {
    if (e.target instanceof Element && e.target.closest(".node")) e.target.closest(".node").focus();
    pointers.set(e.pointerId, [e.clientX, e.clientY]);
    pane().setPointerCapture(e.pointerId);
    pane().classList.add("panning");
    if (pointers.size === 2) {
      const [a, b] = [...pointers.values()];
      pinch = { distance: Math.hypot(a[0] - b[0], a[1] - b[1]) };
    }
  });
  pane().addEventListener("pointermove", (e) => {
    const last = pointers.get(e.pointerId);
    if (!last) return;
    pointers.set(e.pointerId, [e.clientX, e.clientY]);
    if (pointers.size === 2 && pinch) {
      const [a, b] = [...pointers.values()];
      const distance = Math.hypot(a[0] - b[0], a[1] - b[1]);
      const box = pane().getBoundingClientRect();
      zoomBy(distance / pinch.distance, (a[0] + b[0]) / 2 - box.left, (a[1] + b[1]) / 2 - box.top);
      pinch.distance = distance;
      return;
    }
    view.x += e.clientX - last[0];
    view.y += e.clientY - last[1];
    settle();
    render();
  });
  const release = (e) => {
    pointers.delete(e.pointerId);
    if (pointers.size < 2) pinch = null;
    if (pointers.size === 0) pane().classList.remove("panning");
  };
  pane().addEventListener("pointerup", release);
  pane().addEventListener("pointercancel", release);
  pane().addEventListener("wheel", (e) => {
    e.preventDefault();
    const box = pane().getBoundingClientRect();
    zoomBy(Math.exp(-e.deltaY * (e.ctrlKey ? 0.01 : 0.0015)), e.clientX - box.left, e.clientY - box.top);
  }, { passive: false });
  // The whole text of a node, hovered or focused by the keyboard.
  const detail = (e) => {
    const node = e.target instanceof Element ? e.target.closest(".node") : null;
    $("node-detail").textContent = node ? node.getAttribute("aria-label") : "";
  };
  $("tree").addEventListener("focusin", detail);
  $("tree").addEventListener("pointerover", detail);
  window.addEventListener("resize", () => {
    render();
    drawChart();
  });

  $("command-form").addEventListener("submit", (e) => {
    e.preventDefault();
    const line = $("command").value.replace(/[\r\n]+$/, "");
    if (line === "") return;
    $("command").value = "";
    stop();
    addCommand(line);
  });
  $("search-form").addEventListener("submit", (e) => {
    e.preventDefault();
    const text = $("search").value;
    const found = text.trim() === "" ? null : orlo.search(text);
    if (found === null) {
      say(text.trim() === "" ? "" : `No ${frame.type || "value"} can be read from “${text}”.`);
      searched = null;
    } else {
      say("");
      searched = found;
      const end = found.walk.length ? found.walk[found.walk.length - 1] : -1;
      $("step-result").textContent = end < 0 ? `Search ${found.value}: the set is empty.` :
        found.count > 0 ? `Search ${found.value}: held ${found.count} times, its leaf at depth ${found.depth}.`
                        : `Search ${found.value}: not held; its walk ends at the leaf ${labelOf(frame, end)}.`;
      showNarration(narration(frame, found.walk, found.value));
      settle();
      follow();
    }
    render();
  });
  $("file").addEventListener("input", () => { edited = true; });
  $("run").addEventListener("click", () => {
    if (edited) {
      embedded = false;
      load(encoder.encode($("file").value), frame.done, "push");
    }
  });
  async function openFile(file) {
    embedded = false;
    load(new Uint8Array(await file.arrayBuffer()), 0, "push");
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
      load(encoder.encode(text), 0, "push");
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
      say("The address's run could not be read.");
    }
  }
  if (start.length === 0) start = encoder.encode("INT\n");
  load(start, Number(linked.step) || 0, "replace");
})();
