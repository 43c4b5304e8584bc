// Where the drawn nodes of a tree go: a tidy layout in the manner of
// Reingold and Tilford, as Walker refined it and Buchheim, Jünger and Leipert
// made it run in linear time. Nothing here recurses: the drawn tree can be a
// chain a hundred thousand levels deep, and every walk below is a loop over
// the pre-order numbering (a parent's number is below its children's).

/** Each node's depth; the root (node 0) is at depth 0. */
export function depthsOf(parent) {
  const depth = new Int32Array(parent.length);
  for (let i = 1; i < parent.length; i++) depth[i] = depth[parent[i]] + 1;
  return depth;
}

/**
 * place(tree, options) -> { x, y, left, right, top, bottom }
 * tree: { length, parent: Int32Array, width: Float64Array }, nodes numbered in
 * pre-order (parent[0] === -1, 0 <= parent[i] < i, siblings left to right in
 * the order of their numbers).
 * options: gap (least room between two boxes on one level), level (distance
 * between levels), height (box height).
 * x[i] and y[i] are the centre of box i: the root at x = 0, y = depth * level.
 * left/right/top/bottom bound every box, edges included.
 */
export function place(tree, options = {}) {
  const { gap = 12, level = 64, height = 30 } = options;
  const n = tree.length;
  const { parent, width } = tree;
  const x = new Float64Array(n);
  const y = new Float64Array(n);
  if (n === 0) return { x, y, left: 0, right: 0, top: 0, bottom: 0 };
  checkTree(n, parent, width);

  // Children of v are kids[first[v]] .. kids[first[v + 1] - 1], left to right;
  // number[c] is c's place among its siblings (what spreads a shift evenly).
  const first = new Int32Array(n + 1);
  for (let i = 1; i < n; i++) first[parent[i] + 1]++;
  for (let v = 0; v < n; v++) first[v + 1] += first[v];
  const kids = new Int32Array(n);
  const number = new Int32Array(n);
  const cursor = first.slice(0, n);
  for (let i = 1; i < n; i++) {
    const p = parent[i];
    number[i] = cursor[p] - first[p];
    kids[cursor[p]++] = i;
  }

  // prelim: x relative to the parent's subtree; mod: what a node adds to the x
  // of everything below it; thread: the next node on a contour where the node
  // has no children (-1: none); shift/change: pending moves of siblings,
  // settled by executeShifts; mid: a node's x over its children, relative to
  // them. ancestor[] names, for a node on the right contour of the siblings
  // placed so far, which of those siblings it belongs to (once it is stale,
  // the sibling check below finds the default one instead).
  const prelim = new Float64Array(n);
  const mod = new Float64Array(n);
  const shift = new Float64Array(n);
  const change = new Float64Array(n);
  const mid = new Float64Array(n);
  const thread = new Int32Array(n).fill(-1);
  const ancestor = new Int32Array(n);
  for (let i = 0; i < n; i++) ancestor[i] = i;

  const hasKids = (v) => first[v] < first[v + 1];
  const nextLeft = (v) => (hasKids(v) ? kids[first[v]] : thread[v]);
  const nextRight = (v) => (hasKids(v) ? kids[first[v + 1] - 1] : thread[v]);
  const apart = (a, b) => (width[a] + width[b]) / 2 + gap;

  function moveSubtree(wm, wp, by) {
    const per = by / (number[wp] - number[wm]);
    change[wp] -= per;
    shift[wp] += by;
    change[wm] += per;
    prelim[wp] += by;
    mod[wp] += by;
  }

  // Pushes v's subtree right until no level of it comes nearer than gap to the
  // siblings left of it, and threads the shorter contour onto the longer one
  // so later siblings can follow either to the full depth.
  function apportion(v, leftSibling, leftmost, defaultAncestor) {
    let vip = v, vop = v, vim = leftSibling, vom = leftmost;
    let sip = mod[vip], sop = mod[vop], sim = mod[vim], som = mod[vom];
    let rightOfLeft = nextRight(vim), leftOfV = nextLeft(vip);
    while (rightOfLeft >= 0 && leftOfV >= 0) {
      vim = rightOfLeft;
      vip = leftOfV;
      vom = nextLeft(vom);
      vop = nextRight(vop);
      ancestor[vop] = v;
      const by = prelim[vim] + sim - (prelim[vip] + sip) + apart(vim, vip);
      if (by > 0) {
        const a = ancestor[vim];
        moveSubtree(parent[a] === parent[v] ? a : defaultAncestor, v, by);
        sip += by;
        sop += by;
      }
      sim += mod[vim];
      sip += mod[vip];
      som += mod[vom];
      sop += mod[vop];
      rightOfLeft = nextRight(vim);
      leftOfV = nextLeft(vip);
    }
    if (rightOfLeft >= 0 && nextRight(vop) < 0) {
      thread[vop] = rightOfLeft;
      mod[vop] += sim - sop;
    }
    if (leftOfV >= 0 && nextLeft(vom) < 0) {
      thread[vom] = leftOfV;
      mod[vom] += sip - som;
      defaultAncestor = v;
    }
    return defaultAncestor;
  }

  // Children before parents: every subtree below v is laid out by the time v
  // is reached. A child's own offset among its siblings is set here, by its
  // parent, left to right, because it depends on the sibling before it.
  for (let v = n - 1; v >= 0; v--) {
    const a = first[v], b = first[v + 1];
    if (a === b) continue;
    let defaultAncestor = kids[a];
    for (let k = a; k < b; k++) {
      const c = kids[k];
      prelim[c] = k === a ? mid[c] : prelim[kids[k - 1]] + apart(kids[k - 1], c);
      if (hasKids(c)) mod[c] = prelim[c] - mid[c];
      if (k > a) defaultAncestor = apportion(c, kids[k - 1], kids[a], defaultAncestor);
    }
    let by = 0, rate = 0;
    for (let k = b - 1; k >= a; k--) {
      const c = kids[k];
      prelim[c] += by;
      mod[c] += by;
      rate += change[c];
      by += shift[c] + rate;
    }
    mid[v] = (prelim[kids[a]] + prelim[kids[b - 1]]) / 2;
  }

  // Absolute positions, parents before children: sum[v] is what v's ancestors'
  // mods add to v's prelim.
  const sum = new Float64Array(n);
  sum[0] = -mid[0];
  prelim[0] = mid[0];
  let left = Infinity, right = -Infinity, deepest = 0;
  const depth = depthsOf(parent.subarray(0, n));
  for (let v = 0; v < n; v++) {
    if (v > 0) sum[v] = sum[parent[v]] + mod[parent[v]];
    x[v] = prelim[v] + sum[v];
    y[v] = depth[v] * level;
    left = Math.min(left, x[v] - width[v] / 2);
    right = Math.max(right, x[v] + width[v] / 2);
    deepest = Math.max(deepest, depth[v]);
  }
  return { x, y, left, right, top: -height / 2, bottom: deepest * level + height / 2 };
}

// Every loop above reads a parent before its children (or after them, going
// down the numbers); a parent numbered after its child would be read unset.
function checkTree(n, parent, width) {
  if (parent.length < n || width.length < n) throw new RangeError("place: parent and width need one entry per node");
  if (parent[0] !== -1) throw new RangeError("place: node 0 must be the root (parent -1)");
  for (let i = 1; i < n; i++) {
    if (!(parent[i] >= 0 && parent[i] < i)) {
      throw new RangeError(`place: node ${i} has parent ${parent[i]}; nodes must be numbered in pre-order`);
    }
  }
}
