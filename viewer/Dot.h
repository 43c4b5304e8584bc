// The tree drawn in Graphviz DOT: routing nodes as ellipses labelled with
// their cached smallest and largest value, leaves as boxes with their value
// and multiplicity, the left edge of each routing node before its right
// one, the query walk of one value in red. Everything is read through
// BSTSET::visit(), which keeps its own stack, so any height works.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "Escape.h"
#include "Figures.h"
#include "Format.h"
#include "Io.h"
#include "bstset/BSTSET.h"

namespace orlo {

template <typename T>
struct DotOptions {
    /// Draw only this many levels (0: all); a routing node on the last one
    /// stands for its whole subtree.
    int depth = 0;
    /// Highlight the walk a query for this value takes, ending at the leaf
    /// where it ends: filled when the leaf holds the value, dashed when not.
    std::optional<T> walkOf;
    /// What the walk belongs to, for the graph's label ("after command line
    /// 7: DEL 9"); bytes, escaped when written.
    std::string caption;
};

/// The width and height of one node's drawing, in points, as Graphviz lays
/// out a label of `chars` characters on `lines` lines.
struct NodeExtent {
    double width;
    double height;
};
NodeExtent nodeExtent(std::size_t chars, int lines, bool ellipse);

/// Whether a drawing fits the largest bitmap Graphviz renders without
/// scaling it down: `nodes` nodes `width` points wide in all side by side,
/// on `levels` levels up to `levelHeight` points tall each.
bool fitsBitmap(double width, long nodes, int levels, double levelHeight);

namespace detail {

/// Per routing node on level `cut`: how many values its subtree holds and
/// how tall it is, in pre-order.
struct Cut {
    long values = 0;
    int height = 0;
};

template <typename T>
std::vector<Cut> cutsAt(const BSTSET<T>& set, int cut) {
    std::vector<Cut> cuts;
    bool inside = false;
    int top = 0;
    set.visit([&](const typename BSTSET<T>::NodeView& node) {
        if (node.depth <= cut) inside = false;
        if (node.depth == cut && !node.leaf) {
            cuts.emplace_back();
            inside = true;
            top = node.depth;
        }
        if (inside && node.leaf) {
            ++cuts.back().values;
            cuts.back().height = std::max(cuts.back().height, node.depth - top + 1);
        }
    });
    return cuts;
}

}  // namespace detail

template <typename T>
void writeDot(const BSTSET<T>& set, LineWriter& out, const DotOptions<T>& options = {}) {
    using View = typename BSTSET<T>::NodeView;
    std::string label, value;
    const auto show = [&](const T& v) {
        value.clear();
        appendValue(value, v);
        appendEscaped(label, value, Escape::Dot);
    };

    out.line("digraph BSTSET {");
    out.line("  ordering=out;");
    out.line("  node [fontname=\"monospace\"];");
    label.clear();
    appendEscaped(label, figuresLine(figuresOf(set)), Escape::Dot);
    if (options.walkOf) {
        label += "\\nthe walk of ";
        show(*options.walkOf);
        label += " in red";
        if (!options.caption.empty()) {
            label += ", ";
            appendEscaped(label, options.caption, Escape::Dot);
        }
    }
    out.line("  labelloc=t;");
    out.line("  label=\"", label, "\";");

    std::unordered_set<const void*> walk;
    const void* end = nullptr;
    bool found = false;
    if (options.walkOf) {
        set.visitPath(*options.walkOf, [&](const View& node) {
            walk.insert(node.id);
            end = node.id;
            found = node.leaf && node.smallest == *options.walkOf;
        });
    }
    const std::vector<detail::Cut> cuts = options.depth != 0 ? detail::cutsAt(set, options.depth) : std::vector<detail::Cut>();
    std::size_t nextCut = 0;

    // Nodes are named n0, n1, ... in pre-order; `open` holds the routing
    // nodes whose children are still to come, with how many have come.
    struct Open {
        long id;
        int depth;
        int children;
    };
    std::vector<Open> open;
    long next = 0;
    set.visit([&](const View& node) {
        while (!open.empty() && (open.back().depth >= node.depth || open.back().children == 2)) open.pop_back();
        const long id = next++;
        const bool hot = walk.count(node.id) != 0;
        std::string style;
        if (hot) {
            style = ", color=\"#c62828\", penwidth=2";
            if (node.id == end) style += found ? ", style=filled, fillcolor=\"#ffd54f\"" : ", style=dashed";
        }
        label.clear();
        const bool cut = !node.leaf && options.depth != 0 && node.depth >= options.depth;
        if (node.leaf) {
            show(node.smallest);
            label += "\\ncount " + std::to_string(node.count);
            out.line("  n", std::to_string(id), " [shape=box, label=\"", label, "\"", style, "];");
        } else if (cut) {
            const detail::Cut& below = cuts[nextCut++];
            label += std::to_string(below.values) + " values\\nheight " + std::to_string(below.height);
            out.line("  n", std::to_string(id), " [shape=box3d, label=\"", label, "\"", style, "];");
        } else {
            show(node.smallest);
            label += " .. ";
            show(node.largest);
            out.line("  n", std::to_string(id), " [shape=ellipse, label=\"", label, "\"", style, "];");
        }
        if (!open.empty()) {
            Open& parent = open.back();
            out.line("  n", std::to_string(parent.id), " -> n", std::to_string(id), parent.children++ == 0 ? " [label=\"L\"" : " [label=\"R\"",
                     hot ? ", color=\"#c62828\", penwidth=2];" : "];");
        }
        if (!node.leaf && !cut) open.push_back({id, node.depth, 0});
        return !cut;
    });
    out.line("}");
}

/// The most levels of the tree a drawing can show and still render as a
/// bitmap at its full size: 0 (all of them) when the whole tree fits, else
/// at least two. The drawing is as wide as the nodes along the edge of what
/// is drawn, side by side: the leaves above the cut and the routing nodes on
/// it, each drawn as a summary.
template <typename T>
int renderableDepth(const BSTSET<T>& set) {
    const TreeFigures f = figuresOf(set);
    const auto levels = static_cast<std::size_t>(f.height) + 1;
    std::vector<double> leafWidth(levels, 0), levelHeight(levels, 0);
    std::string text;
    set.visit([&](const typename BSTSET<T>::NodeView& node) {
        const auto d = static_cast<std::size_t>(node.depth);
        text.clear();
        appendValue(text, node.smallest);
        std::size_t chars = text.size();
        if (!node.leaf) {
            text.clear();
            appendValue(text, node.largest);
            chars += 4 + text.size();
        }
        const NodeExtent drawn = nodeExtent(chars, node.leaf ? 2 : 1, !node.leaf);
        if (node.leaf) leafWidth[d] += drawn.width;
        levelHeight[d] = std::max(levelHeight[d], drawn.height);
    });
    const NodeExtent summary = nodeExtent(16, 2, false);
    double leavesAbove = 0, tallest = 0;
    long leafCount = 0;
    int best = 2;
    for (int c = 1; c < f.height; ++c) {
        const auto d = static_cast<std::size_t>(c);
        tallest = std::max({tallest, levelHeight[d], summary.height});
        const long routing = f.nodesAtDepth[d] - f.leavesAtDepth[d];
        const double width = leavesAbove + leafWidth[d] + static_cast<double>(routing) * summary.width;
        if (!fitsBitmap(width, leafCount + f.leavesAtDepth[d] + routing, c, tallest)) return best;
        best = c;
        leavesAbove += leafWidth[d];
        leafCount += f.leavesAtDepth[d];
    }
    const auto deepest = static_cast<std::size_t>(f.height);
    tallest = std::max(tallest, levelHeight[deepest]);
    return fitsBitmap(leavesAbove + leafWidth[deepest], f.distinct, f.height, tallest) ? 0 : std::max(best, 2);
}

}  // namespace orlo
