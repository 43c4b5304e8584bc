// Draws a drawn state (scene.js) in the page's SVG: boxes, edges, the
// walk's comparisons on its edges, what changed; pans and zooms; glides
// from one state to the next. Only what lies in view is put in the
// document, so a chain thousands of levels deep costs what the screen shows.
// Every text from a run reaches the document through textContent or an
// attribute, never as markup.
import { place } from "./layout.js";
import { fitParts, describeNode, grouped, brief } from "./labels.js";
import { edgeParts } from "./narrate.js";

const SVG = "http://www.w3.org/2000/svg";
export const LEVEL = 64; // vertical room of one level, in world units
const FONT = 12;         // label size at scale 1
export const READABLE = 11 / FONT;  // the least scale at which labels are drawn: 11 px
const CHAR = 0.6 * FONT; // a monospace character's advance
const GLIDE_MS = 320;
const MARGIN = 200;      // screen pixels drawn beyond each side of the pane

function el(name, attributes, parent) {
  const e = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attributes)) e.setAttribute(k, v);
  if (parent) parent.appendChild(e);
  return e;
}

/** A line of label parts as tspans; compared bounds and old values get their own class. */
function writeLine(text, parts) {
  for (const part of parts) {
    const span = el("tspan", part.compared ? { class: "compared" } : part.old ? { class: "old" } : {}, text);
    span.textContent = part.shown;
  }
}

export class TreeView {
  /**
   * pane: the element the drawing fills; svg, world, edges, whys, boxes: its
   * parts. onOpen(id) opens a fold; onDetail(text) shows a node's whole label.
   */
  constructor({ pane, svg, world, edges, whys, boxes, onOpen, onDetail }) {
    Object.assign(this, { pane, svg, world, edges, whys, boxes, onOpen, onDetail });
    this.view = { x: 0, y: 0, scale: 1 };
    this.zoomed = false;   // the reader zoomed in: steps keep that size
    this.kept = new Map(); // node key -> { g, look }: the elements drawn
    this.state = null;     // the drawn state shown, with its layout
    this.glide = null;
    this.frame = null;
    this.rendered = null;  // the view as it was when the document was last drawn
    this.listen();
  }

  /** Lays a drawn state out (memoised on the state). */
  static layout(state) {
    if (!state.layout) {
      state.layout = place({ length: state.nodes.length, parent: state.parent, width: state.width },
                           { gap: 14, level: LEVEL, height: 44 });
      if (state.phantom) {
        // The phantom root is not drawn: everything moves up a level.
        for (let i = 0; i < state.layout.y.length; ++i) state.layout.y[i] -= LEVEL;
        state.layout.top = state.layout.y.subarray(1).reduce((a, b) => Math.min(a, b), Infinity) - 22;
        state.layout.bottom -= LEVEL;
      }
    }
    return state.layout;
  }

  /**
   * Shows a drawn state of `frame`; `from`, when given, is the state the
   * nodes glide from. `place`: "follow" keeps the walk in view, "fit" shows
   * as much as can be read.
   */
  show(frame, state, { from = null, animate = false, placement = "follow", anchor = null } = {}) {
    // A node to keep where it stands on the screen (a fold being opened).
    const old = anchor && this.state ? this.state.nodes.findIndex((d) => d.key === anchor) : -1;
    const was = old >= 0 ? this.toScreen(this.state.layout.x[old], this.state.layout.y[old]) : null;
    this.frame = frame;
    this.state = state;
    TreeView.layout(state);
    this.glide = null;
    if (animate && from) {
      const was = new Map();
      const l = TreeView.layout(from);
      from.nodes.forEach((d, i) => was.set(d.key, [l.x[i], l.y[i]]));
      this.glide = { from: was, started: performance.now() };
      this.pane.dataset.moving = "true";
    } else {
      delete this.pane.dataset.moving;
    }
    const now = was ? state.nodes.findIndex((d) => d.key === anchor) : -1;
    if (now >= 0) {
      this.view.x = was[0] - state.layout.x[now] * this.view.scale;
      this.view.y = was[1] - state.layout.y[now] * this.view.scale;
    } else if (placement === "fit") {
      this.fitOrFollow();
    } else {
      this.follow();
    }
    this.render();
    if (this.glide) requestAnimationFrame(() => this.animate());
  }

  animate() {
    if (!this.glide) return;
    this.render();
    if (this.progress() < 1) {
      requestAnimationFrame(() => this.animate());
    } else {
      this.settle();
    }
  }

  settle() {
    if (!this.glide) return;
    this.glide = null;
    delete this.pane.dataset.moving;
    this.render();
  }

  progress() {
    if (!this.glide) return 1;
    const t = Math.min(1, (performance.now() - this.glide.started) / GLIDE_MS);
    return 1 - (1 - t) * (1 - t);
  }

  /** Where node i stands at progress t. */
  at(i, t) {
    const l = this.state.layout;
    const x = l.x[i], y = l.y[i];
    if (!this.glide || t >= 1) return [x, y];
    const from = this.glide.from.get(this.state.nodes[i].key);
    if (!from) return [x, y];
    return [from[0] + (x - from[0]) * t, from[1] + (y - from[1]) * t];
  }

  size() {
    return [this.pane.clientWidth, this.pane.clientHeight];
  }

  /** Whether the pane is narrow (a phone): drawn states take the compact widths. */
  compact() {
    return this.pane.clientWidth < 560;
  }

  /**
   * How many nodes of a drawn state's walk, from its end up, fit the pane at
   * the default size with a node standing for the rest above them. A
   * subtree is laid out the same wherever it hangs, so one layout answers
   * for every cut.
   */
  walkThatFits(state) {
    const l = TreeView.layout(state);
    const [w, h] = this.size();
    let i = state.nodes.findIndex((d) => d.walk === "end");
    if (i < 0) return Infinity;
    let left = Infinity, right = -Infinity, top = Infinity, bottom = -Infinity, count = 0;
    const most = Math.max(1, Math.floor((h - 32) / LEVEL) - 1);
    for (; i >= 0 && state.nodes[i].walk && count < most; i = state.parent[i], ++count) {
      const nl = Math.min(left, l.x[i] - state.width[i] / 2), nr = Math.max(right, l.x[i] + state.width[i] / 2);
      const nt = Math.min(top, l.y[i] - state.height[i] / 2 - LEVEL), nb = Math.max(bottom, l.y[i] + state.height[i] / 2);
      if (count > 0 && (nr - nl + 32 > w || nb - nt + 32 > h)) break;
      [left, right, top, bottom] = [nl, nr, nt, nb];
    }
    return Math.max(1, count);
  }

  toScreen(x, y) {
    return [x * this.view.scale + this.view.x, y * this.view.scale + this.view.y];
  }

  /** The whole drawing in view where it can be read at that size; else the walk, followed. */
  fitOrFollow() {
    if (!this.fit(READABLE)) this.follow(true);
  }

  /** Fits the whole drawing, at a scale not below `least`; false when it would need less. */
  fit(least = READABLE) {
    const [w, h] = this.size();
    const l = this.state.layout;
    const width = l.right - l.left, height = l.bottom - l.top;
    const scale = Math.min(1, (w - 24) / Math.max(width, 1), (h - 24) / Math.max(height, 1));
    if (scale < least) return false;
    this.view.scale = scale;
    this.view.x = (w - width * scale) / 2 - l.left * scale;
    this.view.y = Math.max(12, (h - height * scale) / 2) - l.top * scale;
    return true;
  }

  /** Index of the node the walk ends at, or -1. */
  walkEnd() {
    return this.state.nodes.findIndex((d) => d.walk === "end");
  }

  /**
   * Keeps the walk in view at a readable size: all of it where it fits,
   * else its end and as much above it as fits. `centre`: centre on it even
   * when it is already in view.
   */
  follow(centre = false) {
    // The default size, unless the reader zoomed in to read closer.
    if (!this.zoomed || this.view.scale < READABLE) this.view.scale = 1;
    const [w, h] = this.size();
    const nodes = this.state.nodes, l = this.state.layout;
    let end = this.walkEnd();
    const walked = end >= 0;
    if (!walked) {
      if (nodes.length === 0) return;
      end = 0;  // no walk: the root
    }
    const pad = 16, s = this.view.scale;
    const half = (i) => (this.state.width[i] / 2) * s, halfH = (i) => (this.state.height[i] / 2) * s;
    const [ex, ey] = this.toScreen(l.x[end], l.y[end]);
    let top = ey - halfH(end), bottom = ey + halfH(end), left = ex - half(end), right = ex + half(end);
    // Walk nodes above the end, as many as fit, nearest first: the end's
    // ancestors, as far up as the walk goes.
    const walk = [];
    const onWalk = (i) => nodes[i].walk === "path" || nodes[i].walk === "folded";
    if (walked) {
      for (let i = this.state.parent[end]; i >= 0 && onWalk(i); i = this.state.parent[i]) walk.push(i);
    }
    for (const i of walk) {
      const [x, y] = this.toScreen(l.x[i], l.y[i]);
      const t = Math.min(top, y - halfH(i)), lft = Math.min(left, x - half(i)), rgt = Math.max(right, x + half(i));
      if (bottom - t + 2 * pad > h || rgt - lft + 2 * pad > w) break;
      top = t;
      left = lft;
      right = rgt;
    }
    const inView = left >= pad && right <= w - pad && top >= pad && bottom <= h - pad;
    if (centre || !inView) {
      this.view.x += w / 2 - (left + right) / 2;
      this.view.y += h / 2 - (top + bottom) / 2;
    }
  }

  zoomBy(factor, cx, cy) {
    const [w, h] = this.size();
    if (cx === undefined) [cx, cy] = [w / 2, h / 2];
    const scale = Math.min(4, Math.max(0.02, this.view.scale * factor));
    this.view.x = cx - ((cx - this.view.x) * scale) / this.view.scale;
    this.view.y = cy - ((cy - this.view.y) * scale) / this.view.scale;
    this.view.scale = scale;
    this.zoomed = scale > 1;
    this.settle();
    this.render();
  }

  panBy(dx, dy) {
    this.view.x += dx;
    this.view.y += dy;
    this.settle();
    // A drag moves the drawing a few pixels at a time: while what was put in
    // the document still covers the pane (MARGIN around it), only the
    // world moves.
    const last = this.rendered, [w, h] = this.size();
    if (last && last.scale === this.view.scale && last.w === w && last.h === h &&
        Math.abs(this.view.x - last.x) < MARGIN / 2 && Math.abs(this.view.y - last.y) < MARGIN / 2) {
      this.world.setAttribute("transform", this.transform());
      return;
    }
    this.render();
  }

  transform() {
    return `translate(${this.view.x} ${this.view.y}) scale(${this.view.scale})`;
  }

  render() {
    if (!this.state) return;
    const t = this.progress();
    const { nodes, parent } = this.state;
    const [w, h] = this.size();
    const s = this.view.scale;
    const left = (-this.view.x - MARGIN) / s, right = (w - this.view.x + MARGIN) / s;
    const top = (-this.view.y - MARGIN) / s, bottom = (h - this.view.y + MARGIN) / s;
    const visible = (x, y) => x >= left && x <= right && y >= top && y <= bottom;
    this.world.setAttribute("transform", this.transform());
    this.rendered = { ...this.view, w, h };
    this.edges.textContent = "";
    this.whys.textContent = "";
    const text = s >= READABLE - 1e-9;
    this.svg.dataset.labels = text ? "shown" : "hidden";
    const items = new Map(this.frame.walk.map((item) => [item.node, item]));
    const drawn = new Set();
    for (let i = 0; i < nodes.length; ++i) {
      const d = nodes[i];
      if (d.kind === "phantom") continue;
      const [x, y] = this.at(i, t);
      const p = parent[i];
      const pd = p >= 0 ? nodes[p] : null;
      const [px, py] = p >= 0 ? this.at(p, t) : [x, y];
      // An edge is drawn when either end is in view.
      if (pd && pd.kind !== "phantom" && (visible(x, y) || visible(px, py))) {
        const walkEdge = d.walk && (pd.walk === "path" || pd.walk === "folded");
        const classes = ["edge"];
        if (walkEdge) classes.push("walk");
        if (d.marks.includes("leaving")) classes.push("leaving");
        el("line", { class: classes.join(" "), x1: px, y1: py + this.state.height[p] / 2, x2: x, y2: y - this.state.height[i] / 2 }, this.edges);
        const item = items.get(pd.id);
        if (walkEdge && text && item) this.why(item, px, py + this.state.height[p] / 2, x, y - this.state.height[i] / 2);
      }
      if (visible(x, y)) {
        this.box(i, x, y, text);
        drawn.add(d.key);
      }
    }
    // Boxes no longer in view, or no longer in the tree, go.
    for (const [key, kept] of this.kept) {
      if (!drawn.has(key)) {
        kept.g.remove();
        this.kept.delete(key);
      }
    }
  }

  /**
   * The comparison on a walk's edge: from its middle, above it, running the
   * way the edge leans, so the edge falls away below the text.
   */
  why(item, px, py, x, y) {
    const parts = edgeParts(this.frame, item);
    if (!parts) return;
    const right = x >= px;
    const label = el("text", {
      class: right ? "why leans-right" : "why leans-left",
      x: (px + x) / 2 + (right ? 4 : -4), y: (py + y) / 2 - 9,
    }, this.whys);
    writeLine(label, fitParts(parts, 28));
  }

  /**
   * Draws node i at (x, y). A node's element is kept from one drawing to
   * the next while what it shows stays the same (a pan, a zoom, a glide
   * only moves it), so drawing makes little garbage.
   */
  box(i, x, y, text) {
    const d = this.state.nodes[i];
    const width = this.state.width[i], height = this.state.height[i];
    const look = JSON.stringify([d.kind, d.marks, d.walk, d.label, width, height, text, d.node ? d.node.leaves : 0]);
    let kept = this.kept.get(d.key);
    if (!kept || kept.look !== look) {
      // A node drawn anew keeps the keyboard's focus (an opened fold, say).
      const focused = kept && kept.g === document.activeElement;
      if (kept) kept.g.remove();
      kept = { g: this.makeBox(d, width, height, text), look };
      this.kept.set(d.key, kept);
      if (focused) kept.g.focus();
    }
    kept.g.setAttribute("transform", `translate(${x} ${y})`);
  }

  makeBox(d, width, height, text) {
    const kind = d.kind.replace("ghost-", "");
    const classes = ["node", kind, ...d.marks];
    if (d.walk) classes.push("walk");
    const attrs = { class: classes.join(" "), tabindex: "0", "data-key": d.key };
    if (d.walk) attrs["data-walk"] = d.walk;
    if (d.node) attrs["data-depth"] = String(d.node.depth);
    const g = el("g", attrs, this.boxes);
    const described = d.node ? describeNode(d.node) : "";
    const state = d.marks.length ? ` (${d.marks.join(", ")})` : "";
    g.setAttribute("aria-label", `${described}${state}`);
    if (kind === "fold") {
      g.setAttribute("role", "button");
      g.setAttribute("aria-label", `${described}; press Enter to open`);
    }
    if (kind === "pathfold") {
      g.setAttribute("role", "button");
      g.setAttribute("aria-label", `${d.levels} more levels of the walk, above; press Enter to show them`);
    }
    el("rect", { x: -width / 2, y: -height / 2, width, height, rx: kind === "leaf" ? 3 : kind === "fold" || kind === "pathfold" ? 4 : height / 2 }, g);
    if (kind === "fold") {
      // A folded subtree: a triangle under its range, and its size beside.
      el("path", { class: "fold-mark", d: `M ${-width / 2 + 8} ${height / 2 - 4} l 7 -9 l 7 9 z` }, g);
    }
    if (!text) return g;
    const chars = Math.floor((width - 12) / CHAR);
    const lines = d.label.length ? [...d.label] : [[{ text: "" }]];
    if (kind === "fold") {
      const leaves = chars < 21 ? brief(d.node.leaves) : grouped(d.node.leaves);
      lines.push([{ text: `${leaves} leaves, ${d.node.height} high` }]);
    }
    const step = lines.length === 1 ? 0 : Math.min(15, (height - 14) / (lines.length - 1));
    lines.forEach((parts, k) => {
      const line = el("text", { x: kind === "fold" ? 6 : 0, y: -((lines.length - 1) * step) / 2 + k * step }, g);
      writeLine(line, fitParts(parts, chars - (kind === "fold" ? 2 : 0)));
    });
    return g;
  }

  listen() {
    const pane = this.pane;
    const pointers = new Map();
    let pinch = null, moved = 0;
    pane.addEventListener("pointerdown", (e) => {
      pointers.set(e.pointerId, [e.clientX, e.clientY]);
      pane.setPointerCapture(e.pointerId);
      pane.classList.add("panning");
      // A touch that began a pinch is no click, whichever finger lifts last.
      moved = pointers.size === 1 ? 0 : Infinity;
      if (pointers.size === 2) {
        const [a, b] = [...pointers.values()];
        pinch = Math.hypot(a[0] - b[0], a[1] - b[1]);
      }
    });
    pane.addEventListener("pointermove", (e) => {
      const last = pointers.get(e.pointerId);
      if (!last) return;
      pointers.set(e.pointerId, [e.clientX, e.clientY]);
      if (pointers.size === 2 && pinch) {
        const [a, b] = [...pointers.values()];
        const distance = Math.hypot(a[0] - b[0], a[1] - b[1]);
        const box = pane.getBoundingClientRect();
        this.zoomBy(distance / pinch, (a[0] + b[0]) / 2 - box.left, (a[1] + b[1]) / 2 - box.top);
        pinch = distance;
        return;
      }
      moved += Math.abs(e.clientX - last[0]) + Math.abs(e.clientY - last[1]);
      this.panBy(e.clientX - last[0], e.clientY - last[1]);
    });
    const release = (e) => {
      pointers.delete(e.pointerId);
      if (pointers.size < 2) pinch = null;
      if (pointers.size === 0) pane.classList.remove("panning");
    };
    pane.addEventListener("pointerup", (e) => {
      // A click (not a drag) on a fold opens it; on a node, focuses it.
      const node = moved < 4 ? this.nodeAt(e) : null;
      release(e);
      if (!node) return;
      node.focus();
      if (node.classList.contains("fold")) this.onOpen(this.idOf(node));
      if (node.classList.contains("pathfold")) this.onOpen("walk");
    });
    pane.addEventListener("pointercancel", release);
    pane.addEventListener("wheel", (e) => {
      e.preventDefault();
      const box = pane.getBoundingClientRect();
      this.zoomBy(Math.exp(-e.deltaY * (e.ctrlKey ? 0.01 : 0.0015)), e.clientX - box.left, e.clientY - box.top);
    }, { passive: false });
    const detail = (e) => {
      const node = e.target instanceof Element ? e.target.closest(".node") : null;
      if (node) this.onDetail(node.getAttribute("aria-label"));
    };
    this.svg.addEventListener("focusin", detail);
    this.svg.addEventListener("pointerover", detail);
    this.svg.addEventListener("keydown", (e) => {
      const node = e.target instanceof Element ? e.target.closest(".node.fold, .node.pathfold") : null;
      if (node && (e.key === "Enter" || e.key === " ")) {
        e.preventDefault();
        e.stopPropagation();
        this.onOpen(node.classList.contains("pathfold") ? "walk" : this.idOf(node));
      }
    });
  }

  nodeAt(e) {
    const hit = document.elementFromPoint(e.clientX, e.clientY);
    return hit instanceof Element ? hit.closest(".node") : null;
  }

  idOf(node) {
    return Number(node.getAttribute("data-key").slice(1));
  }
}
