// The page: its controls, the step's command and what it did, why the walk
// went where it went, what Orlo printed, and the tree before and after the
// command (view.js). The run comes from the page itself (orlo-dot wrote it
// in), from a link, or from what is typed, pasted, opened or dropped.
import { LIMITS } from "./frame-layout.js";
import { Orlo, OrloStopped, unpackModule } from "./engine.js";
import { scenes, foldPath } from "./scene.js";
import { TreeView } from "./view.js";
import { whole, describeNode, grouped } from "./labels.js";
import { ruleOf, walkList, walkDepth, readAs, resultOf, walkSentence, announce } from "./narrate.js";
import { packRun, unpackRun, LinkError, fragmentFor, readFragment, kLinkMostChars } from "./link.js";
import { textOf, bytesAfterEdit } from "./bytes.js";

const $ = (id) => document.getElementById(id);
const encoder = new TextEncoder();
const reducedMotion = window.matchMedia("(prefers-reduced-motion: reduce)");

let orlo;
let embedded = false;         // the run is the one the page was written with
let packed = null;            // the run as it rides in a link: { text }, text set once worked out
let frame = null;             // the step shown
let drawn = null;             // its drawn states
let showing = "after";        // which of them is shown
let searched = null;          // a search's frame, shown until the next step
let searchedDrawn = null;     // and its drawn state
let searchedFor = "";         // and the text searched for (the box may have been edited since)
let playing = 0;
let stoppedAt = Infinity;     // Orlo stopped in this step: it and those after it cannot be shown
let opened = new Set();       // folds opened, by node id
let wholeWalk = false;        // the walk drawn whole, however long (its upper part is folded otherwise)
let keptWalk = {};            // how much of each state's walk is drawn, for when a fold is opened
let fileText = null;          // the command file box's text as filled in, to tell what was edited
let template = "";            // the page as written, for saving it with another run

const view = new TreeView({
  pane: $("tree-pane"), svg: $("tree"), world: $("world"), edges: $("edges"), whys: $("whys"), boxes: $("nodes"),
  onOpen: (id) => {
    if (id === "walk") {
      wholeWalk = true;
      orlo.setPathLevels(Infinity);
    } else {
      opened.add(id);
      orlo.setOpened(opened);
    }
    // On the way to another step, the step it arrives at is drawn so.
    if (travelling) return;
    const focused = $("tree").contains(document.activeElement);
    redraw(id === "walk" ? "pathfold" : `n${id}`);
    if (focused && !$("tree").contains(document.activeElement)) {
      // The node for the walk's upper levels is gone: the keyboard goes to the highest of them drawn.
      const walk = [...$("nodes").querySelectorAll("[data-walk]")];
      const top = walk.reduce((a, b) => (a && Number(a.dataset.depth) <= Number(b.dataset.depth) ? a : b), null);
      if (top) top.focus();
    }
  },
  onDetail: (text) => { $("node-detail").textContent = text; },
});

// ---- the run -----------------------------------------------------------

function say(text, { save = false } = {}) {
  $("message").textContent = text;
  $("save-row").hidden = !save;
}

/**
 * Takes a command file (its bytes, or the page's own run as the page embeds
 * it, a string) and shows step `step` of it.
 */
function load(bytes, step, how = "replace") {
  say("");
  packed = null;
  stop();
  stoppedAt = Infinity;
  opened = new Set();
  fileText = null;
  const type = typeof bytes === "string" ? orlo.loadPageData(bytes) : orlo.load(bytes);
  if ($("file-box").open) fillFileBox();
  orlo.setOpened(opened);
  if (type === null) {
    say("The first line names no element type (INT, DOUBLE or STRING), so Orlo does nothing with this file.");
  }
  frame = null;
  show(step, { how, placement: "fit" });
}

/** The step shown, or the one the page is on its way to (a new run has no step shown until it arrives). */
function here() {
  return travelling ? travelling.k : frame ? frame.done : 0;
}

/** Runs f at the step shown: at once, or once the way under way arrives (the latest such request). */
function whenArrived(f) {
  if (travelling) travelling.then = f;
  else f();
}

/** The work of one piece of a long way (steps, the nodes their walks pass, those of subtrees removals move): some 20 ms. */
const kPiece = 1 << 20;
let travelling = null;  // the way under way, until it arrives or another starts

/**
 * Goes to step k; `how` says what the address does: "push", "replace" or
 * "none". A long way (a jump across a large run, or steps down a tall
 * chain) is gone in pieces, between which the page answers: a later
 * request takes over.
 */
function show(k, options = {}) {
  const trip = { k: clampStep(k) };
  travelling = trip;
  const piece = () => {
    if (travelling !== trip) return;
    try {
      const before = Math.max(0, trip.k - 1);
      const at = orlo.move(before, kPiece);
      if (at !== before) {
        $("step-of").textContent = `of ${grouped(orlo.steps)}: going to step ${grouped(trip.k)}, at ${grouped(at)}`;
        setTimeout(piece, 0);
        return;
      }
    } catch (e) {
      if (!(e instanceof OrloStopped)) throw e;
      stopped(e);
      trip.k = clampStep(trip.k);
      setTimeout(piece, 0);
      return;
    }
    travelling = null;
    showNow(trip.k, options);
    if (trip.then) whenArrived(trip.then);  // showNow() may have set out again
  };
  piece();
}

function clampStep(k) {
  return Math.max(0, Math.min(Math.floor(Number(k)) || 0, orlo.steps, stoppedAt - 1));
}

/** Orlo stopped in step e.step (out of memory, say): the steps before it can still be shown. */
function stopped(e) {
  stoppedAt = Math.max(1, e.step);
  say(`Orlo stopped in step ${stoppedAt}: ${e.message}. The steps before it can be shown.`);
}

/** Goes to step k at once. */
function showNow(k, { how = "push", animate = false, placement = "follow" } = {}) {
  const from = frame && drawn ? drawn[showing === "before" && drawn.before ? "before" : "after"] : null;
  // A walk drawn whole is drawn so for the step it was opened on only.
  if (wholeWalk) orlo.setPathLevels(LIMITS.pathLevels);
  wholeWalk = false;
  try {
    frame = orlo.go(k);
  } catch (e) {
    if (!(e instanceof OrloStopped)) throw e;
    // The engine has started again on the same file: the last good step is
    // a long way from where it stands now.
    stopped(e);
    frame = null;
    show(k, { how, placement });
    return;
  }
  setSearched(null);
  keptWalk = {};
  drawn = scenes(frame, { compact: view.compact() });
  // The panels first: on a narrow screen they move the drawing's pane.
  panels();
  clearTimeout(showNow.later);
  if (animate && drawn.before) {
    // The walk on the tree the command ran on first, then the change: as
    // motion, or, where motion is not wanted, as one state and then the other.
    showing = "before";
    draw({ placement });
    const shown = drawn;
    showNow.later = setTimeout(() => {
      if (drawn !== shown || showing !== "before") return;
      showing = "after";
      draw({ from: drawn.before, animate: !reducedMotion.matches });
    }, 700);
  } else {
    showing = "after";
    draw({ placement, from, animate: false });
  }
  address(how);
}

/** Draws the state chosen: before or after the command, or the search. */
function draw({ from = null, animate = false, placement = "follow", anchor = null } = {}) {
  const chosen = searched ? searchedDrawn : drawn[showing === "before" && drawn.before ? "before" : "after"];
  view.show(searched || frame, fitted(chosen), { from: fitted(from), animate, placement, anchor });
  $("show-before").disabled = !drawn.before || Boolean(searched);
  $("show-after").disabled = !drawn.before || Boolean(searched);
  $("show-before").setAttribute("aria-pressed", String(showing === "before" && Boolean(drawn.before)));
  $("show-after").setAttribute("aria-pressed", String(showing !== "before" || !drawn.before));
  describeDrawing();
}

/**
 * A drawn state whose walk fits the pane at a readable size: the part of the
 * walk above what fits is folded (unless the reader asked for all of it).
 */
function fitted(state) {
  if (!state || wholeWalk) return state;
  // A fold opened makes the drawing wider: the walk drawn stays as long as it was.
  const which = state.role || "search";
  const keep = Math.max(view.walkThatFits(state), keptWalk[which] || 0);
  keptWalk[which] = keep;
  return foldPath(state, keep);
}

/** A search's frame to show (null: none), and what it draws. */
function setSearched(found, text = searchedFor) {
  searched = found;
  searchedFor = found ? text : "";
  searchedDrawn = found ? scenes(found, { compact: view.compact() }).after : null;
}

/** The same step again, drawn anew (a fold opened), the node `anchor` kept where it stands. */
function redraw(anchor) {
  const k = frame.done;
  frame = orlo.go(k);
  drawn = scenes(frame, { compact: view.compact() });
  if (searched) setSearched(orlo.search(searchedFor));
  draw({ anchor });
}

// ---- the address --------------------------------------------------------

/**
 * The address names the step and, unless the page carries it, the run,
 * packed (worked out once per run, in the background: until it is ready the
 * address names the step alone).
 */
function address(how) {
  if (how === "none" || !frame) return;
  const step = frame.done;
  const hashFor = () => {
    if (embedded || !packed || packed.text === undefined) return fragmentFor({ step });
    const hash = fragmentFor({ step, run: packed.text });
    return hash.length <= kLinkMostChars ? hash : fragmentFor({ step });
  };
  const hash = hashFor();
  if (location.hash !== hash) history[how === "push" ? "pushState" : "replaceState"](null, "", hash);
  if (embedded || packed) return;
  const mine = packed = { text: undefined };
  packRun(orlo.file()).then((text) => {
    mine.text = text;
    if (packed !== mine) return;
    if (fragmentFor({ step: 0, run: text }).length > kLinkMostChars) {
      say(`This run is too long to ride in a link (${grouped(text.length)} characters packed). Save the page with the run in it to pass it on.`, { save: true });
      return;
    }
    // Only while the address is still the one written for this step: the
    // reader may have gone elsewhere meanwhile, by a link or the history.
    if (frame && frame.done === step && location.hash === hash) history.replaceState(null, "", hashFor());
  });
}

/** The page with another run in it, as a file to save. */
function savePage() {
  let run;
  try {
    run = orlo.pageData();
  } catch (e) {
    if (!(e instanceof OrloStopped)) throw e;
    say(`The page could not be saved: ${e.message}.`, { save: true });
    return;
  }
  const html = template.replace("<!--orlo-run -->", () => `<!--orlo-run ${run}-->`);
  const link = document.createElement("a");
  link.href = URL.createObjectURL(new Blob([html], { type: "text/html" }));
  link.download = "orlo-run.html";
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// ---- the panels ----------------------------------------------------------

function panels() {
  const f = frame;
  $("title").textContent = f.type ? `— ${f.type}, ${grouped(f.steps)} commands` : "";
  const last = Math.min(f.steps, stoppedAt - 1);
  $("step").max = String(last);
  $("step").value = String(f.done);
  $("step-field").max = String(last);
  $("step-field").value = String(f.done);
  $("step-of").textContent = `of ${grouped(f.steps)}`;
  $("step-label").textContent = `step ${f.done} of ${f.steps}`;
  $("step-command").textContent = f.kind === "start" ? (f.steps === 0 ? "(no commands yet)" : "(before the first command)") : whole(f.line);
  $("step-read").textContent = readAs(f);
  $("step-result").textContent = resultOf(f);
  waiting();
  narration(f);
  const printed = $("printed");
  printed.textContent = whole(f.printed);
  if (f.listed && f.listing.text) {
    const listing = printed.appendChild(document.createElement("span"));
    listing.className = "listing";
    listing.textContent = f.listing.text;
  }
  figures(f.figures);
  $("live").textContent = announce(f);
}

/** The text still waiting in the stream, and the way out of it in the playground. */
function waiting() {
  const f = frame, box = $("waiting"), remove = $("waiting-remove");
  const text = f.waiting.text;
  box.hidden = !text || f.kind === "start";
  if (box.hidden) return;
  $("waiting-text").textContent = f.stuck
    ? `Orlo cannot read past “${whole(f.waiting)}”: it waits in the stream, and every later command reads nothing and is omitted.`
    : `Still waiting in the stream, for the next command to read: “${whole(f.waiting)}”.`;
  remove.hidden = embedded || f.waitingLine === 0;
  remove.textContent = `Remove line ${f.waitingLine}, which left it`;
}

function narration(f) {
  const shownFrame = searched || f;
  $("rule").textContent = shownFrame.walk.length ? ruleOf(shownFrame.kind) : "";
  const list = $("narration");
  list.textContent = "";
  // A tall tree's walk is long: its start and its end tell the story.
  for (const step of walkList(shownFrame)) {
    const item = list.appendChild(document.createElement("li"));
    item.textContent = step.text;
    if (step.n === null) {
      item.className = "muted";
    } else {
      item.value = step.n;
    }
  }
}

function describeDrawing() {
  const f = searched || frame;
  const fig = f.figures;
  $("tree-summary").textContent = fig.distinct === 0 ? "The tree is empty." :
    `The tree ${showing === "before" && drawn.before ? "before" : "after"} step ${frame.done}: ${grouped(fig.distinct)} leaves, ${fig.height} levels.`;
  $("tree-walk").textContent = walkSentence(f);
}

function figures(fig) {
  const list = $("figures");
  list.textContent = "";
  const average = fig.distinct ? (fig.depthSum / fig.distinct).toFixed(2) : "0";
  for (const [name, value] of [["distinct values", fig.distinct], ["occurrences", fig.occurrences],
                               ["routing nodes", fig.routing], ["height", fig.height], ["average leaf depth", average]]) {
    list.appendChild(document.createElement("dt")).textContent = name;
    list.appendChild(document.createElement("dd")).textContent = typeof value === "number" ? grouped(value) : value;
  }
  chart(fig.leavesAtDepth);
}

/** Leaves per depth: a bar each, with its number on hover and focus, and as text for screen readers. */
function chart(counts) {
  const box = $("chart");
  box.textContent = "";
  $("chart-detail").textContent = "";
  const most = counts.reduce((a, b) => Math.max(a, b), 1);  // a spread would overflow the stack on a tall tree
  const shown = searched || frame;
  const end = shown.depth > 0 ? shown.depth : walkDepth(shown);
  // A very tall tree has more depths than the panel has room: they are grouped.
  const group = Math.max(1, Math.ceil(counts.length / 120));
  for (let d = 0; d < counts.length; d += group) {
    const slice = counts.slice(d, d + group);
    const n = slice.reduce((a, b) => a + b, 0);
    const name = group === 1 ? `depth ${d + 1}` : `depths ${d + 1} to ${d + slice.length}`;
    const bar = box.appendChild(document.createElement("span"));
    bar.className = "bar" + (end >= d + 1 && end <= d + slice.length ? " walk-end" : "");
    bar.setAttribute("role", "listitem");
    bar.tabIndex = 0;
    bar.setAttribute("aria-label", `${name}: ${grouped(n)} ${n === 1 ? "leaf" : "leaves"}`);
    bar.title = bar.getAttribute("aria-label");
    bar.style.setProperty("--share", String(slice.reduce((a, b) => Math.max(a, b), 0) / most));
    const number = bar.appendChild(document.createElement("span"));
    number.className = "n";
    number.textContent = grouped(n);
    bar.addEventListener("focus", () => { $("chart-detail").textContent = bar.title; });
    bar.addEventListener("pointerover", () => { $("chart-detail").textContent = bar.title; });
  }
}

// ---- playing -------------------------------------------------------------

function stop() {
  if (!playing) return;
  clearInterval(playing);
  playing = 0;
  $("play").textContent = "Play";
  $("play").setAttribute("aria-label", "Play");
  $("play").setAttribute("aria-pressed", "false");
}

function lastStep() {
  return Math.min(orlo.steps, stoppedAt - 1);
}

function play() {
  if (playing) return stop();
  if (lastStep() === 0) return;  // nothing to play
  if (here() >= lastStep()) show(0);
  $("play").textContent = "Pause";
  $("play").setAttribute("aria-label", "Pause");
  $("play").setAttribute("aria-pressed", "true");
  const speed = Number($("speed").value);
  playing = setInterval(() => {
    if (travelling) return;  // a step that takes longer than a beat is waited for
    if (frame.done >= lastStep()) return stop();
    show(frame.done + 1, { how: "replace", animate: speed <= 1 });
    if (frame.done >= lastStep()) stop();
  }, 1000 / speed);
}

// ---- controls ----------------------------------------------------------------

const go = (k, options) => {
  stop();
  show(k, options);
};
$("first").addEventListener("click", () => go(0));
$("back").addEventListener("click", () => go(here() - 1));
$("forward").addEventListener("click", () => go(here() + 1, { animate: true }));
$("last").addEventListener("click", () => go(lastStep()));
// Dragging the slider asks for many steps: only the latest is shown, once a
// frame. The step it left is kept in the history, the steps passed are not.
let wanted = null, sliding = false, released = false;
$("step").addEventListener("input", () => {
  if (wanted === null) {
    requestAnimationFrame(() => {
      const k = wanted;
      wanted = null;
      go(k, { how: sliding ? "replace" : "push" });
      sliding = !released;
      released = false;
    });
  }
  wanted = Number($("step").value);
});
$("step").addEventListener("change", () => {
  // Let go (or a key pressed): the next move of the slider is a new one.
  if (wanted !== null) released = true;
  else sliding = false;
});
$("goto-form").addEventListener("submit", (e) => {
  e.preventDefault();
  go(Number($("step-field").value));
});
$("step-field").addEventListener("change", () => go(Number($("step-field").value)));
$("play").addEventListener("click", play);
$("speed").addEventListener("change", () => {
  if (playing) {
    stop();
    play();
  }
});
$("zoom-in").addEventListener("click", () => view.zoomBy(1.4));
$("zoom-out").addEventListener("click", () => view.zoomBy(1 / 1.4));
$("fit").addEventListener("click", () => {
  view.settle();
  view.fitOrFollow();
  view.render();
});
$("show-before").addEventListener("click", () => {
  if (!frame) return;
  showing = "before";
  draw({ from: drawn.after, animate: !reducedMotion.matches });
});
$("show-after").addEventListener("click", () => {
  if (!frame) return;
  showing = "after";
  draw({ from: drawn.before, animate: !reducedMotion.matches });
});
const typing = (e) => e.target instanceof Element && e.target.closest("input, textarea, select") !== null;
document.addEventListener("keydown", (e) => {
  if (typing(e) || e.ctrlKey || e.metaKey || e.altKey) return;
  const to = { ArrowLeft: here() - 1, ArrowRight: here() + 1, Home: 0, End: lastStep() }[e.key];
  if (to !== undefined) {
    e.preventDefault();
    go(to, { animate: e.key === "ArrowRight" });
  } else if (e.key === "+" || e.key === "=") {
    view.zoomBy(1.4);
  } else if (e.key === "-") {
    view.zoomBy(1 / 1.4);
  } else if (e.key === "0") {
    $("fit").click();
  } else if (e.key === " " && !(e.target instanceof Element && e.target.closest("button, summary, a, [role=button]"))) {
    e.preventDefault();
    play();
  }
});
window.addEventListener("popstate", () => follow(readFragment(location.hash), "none"));
let paneWidth = 0;
window.addEventListener("resize", () => {
  if (!frame || !drawn) return;
  // A phone's address bar showing or hiding changes only the height: the
  // drawing stays where the reader put it.
  const [width] = view.size();
  if (width === paneWidth) return view.render();
  paneWidth = width;
  // Across the phone's width the boxes change size: the states are made anew.
  if (view.compact() !== drawn.compact) {
    drawn = scenes(frame, { compact: view.compact() });
    if (searched) setSearched(searched);
  }
  // As much of the walk as fits the pane now, kept in view.
  keptWalk = {};
  draw();
});

/** Goes where a link points: its run (if it carries another) and its step. */
async function follow(link, how) {
  if (link.problem) {
    say(`This link names no step Orlo can show: ${link.problem}.`);
    return;
  }
  if (link.run !== undefined) {
    let bytes;
    try {
      bytes = await unpackRun(link.run);
    } catch (e) {
      if (!(e instanceof LinkError)) throw e;
      say(`This link's run cannot be read: ${e.message} The page shows no run of it; the address is kept as it was.`);
      return;
    }
    if (!sameBytes(bytes, orlo.file())) {
      embedded = false;
      load(bytes, link.step ?? 0, how);
      return;
    }
  }
  if (link.step !== undefined && link.step !== here()) go(link.step, { how });
}

function sameBytes(a, b) {
  if (a.length !== b.length) return false;
  for (let i = 0; i < a.length; ++i) if (a[i] !== b[i]) return false;
  return true;
}

// ---- typing, searching, editing ------------------------------------------

/** Appends a command to the run and goes to it. */
function addCommand(line) {
  if (/^(INT|DOUBLE|STRING)$/.test(line) && orlo.steps === 0) {
    embedded = false;
    load(encoder.encode(line + "\n"), 0, "push");
    return;
  }
  if (orlo.type === null) {
    say("The run names no element type: type INT, DOUBLE or STRING first.");
    return;
  }
  const was = here(), wasLast = was === orlo.steps;
  const run = orlo.file();
  const tail = encoder.encode((run.length > 0 && run[run.length - 1] !== 10 ? "\n" : "") + line + "\n");
  const next = new Uint8Array(run.length + tail.length);
  next.set(run);
  next.set(tail, run.length);
  embedded = false;
  // A long run is gone through in pieces: the frame comes later, so the message does not wait for it.
  load(next, orlo.steps + 1, "push");
  if (!wasLast) say(`Added at the end of the run, as step ${orlo.steps}; step ${was} was shown.`);
}

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
  // The tree searched is the step's: a search asked for on the way to a step waits for it.
  whenArrived(() => search(text));
});

function search(text) {
  const found = text.trim() === "" ? null : orlo.search(text);
  // A failed search clears the answer before it.
  setSearched(found && found.extracted ? found : null, text);
  say(found && !found.extracted ? `No ${orlo.type || "value"} can be read from “${text}”.` : "");
  draw();
  panels();
  if (!found) return;
  $("step-result").textContent = resultOf(found);
  if (!searched) return;
  $("live").textContent = announce(found);
  const end = found.walk[found.walk.length - 1];
  const leaf = end && searchedDrawn.nodes.find((d) => d.id === end.node);
  $("node-detail").textContent = leaf && leaf.node ? describeNode(leaf.node) : "";
}

$("waiting-remove").addEventListener("click", () => {
  const k = frame ? frame.waitingLine : 0;
  if (!k) return;
  const [from, to] = orlo.commandLine(k);
  if (to === 0) return;
  const run = orlo.file();
  const next = new Uint8Array(run.length - (to - from));
  next.set(run.subarray(0, from));
  next.set(run.subarray(to), from);
  const step = Math.min(frame.done, k - 1);
  load(next, step, "push");
  say(`Line ${k} removed; showing step ${step}.`);
});

function fillFileBox() {
  fileText = textOf(orlo.file());
  $("file").value = fileText;
}
$("file-box").addEventListener("toggle", () => {
  if ($("file-box").open && fileText === null) fillFileBox();
});
$("run").addEventListener("click", () => {
  if (fileText === null) return;
  const edited = $("file").value;
  if (edited === fileText) return;
  embedded = false;
  load(bytesAfterEdit(orlo.file(), fileText, edited), here(), "push");
});
$("save-page").addEventListener("click", savePage);

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

// ---- start ---------------------------------------------------------------

async function start() {
  // The run the page was written with, read once, straight into the module:
  // the page keeps no copy, and the page as written (without it) is what
  // "save" fills with a run.
  const marker = "orlo-run ";
  const comment = $("orlo-run").firstChild;
  let written = comment && comment.data.startsWith(marker) ? comment.data.slice(marker.length) : "";
  if (comment) comment.data = marker;
  template = "<!DOCTYPE html>\n" + document.documentElement.outerHTML;
  if (comment) comment.data = "";
  embedded = written.length > 0;
  try {
    const module = await unpackModule($("orlo-module").textContent);
    $("orlo-module").textContent = "";
    orlo = new Orlo(module);
  } catch (e) {
    say(`This browser cannot run Orlo here: ${e.message}`);
    return;
  }
  const link = readFragment(location.hash);
  let start = written;
  written = null;
  if (link.run !== undefined) {
    try {
      start = await unpackRun(link.run);
      embedded = false;
    } catch (e) {
      if (!(e instanceof LinkError)) throw e;
      load(encoder.encode("INT\n"), 0, "none");
      say(`This link's run cannot be read: ${e.message} The address is kept as it was.`);
      return;
    }
  }
  if (start.length === 0) start = encoder.encode("INT\n");
  load(start, link.step ?? 0, link.problem ? "none" : "replace");
  if (link.problem) say(`This link names no step Orlo can show: ${link.problem}.`);
}
start();
