// Looking at a tree: its figures (size, height, leaf depths), the path a
// query for a value takes, and the tree drawn in Graphviz DOT. Routing nodes
// are ellipses labelled with their cached smallest and largest value, leaves
// boxes with their value and multiplicity, the left edge of each routing node
// before its right one. Every walk keeps its own stack, so any height works.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Format.h"
#include "Io.h"
#include "bstset/Node.h"

namespace orlo {

/// Appends text for a DOT double-quoted string: quotes and backslashes are
/// escaped, and bytes that are not printable ASCII are shown as \xNN.
void appendDotText(std::string& out, std::string_view text);

/// Appends text with every byte that is not printable ASCII shown as \xNN
/// (and a backslash as \\), so that any value reads back unambiguously.
void appendShownText(std::string& out, std::string_view text);

/// What a tree holds and how deep its leaves lie; depths count the root as 1.
struct TreeFigures {
    long distinct = 0;           // leaves
    long long occurrences = 0;   // multiplicities added up
    long routing = 0;            // routing nodes
    int height = 0;              // levels, the deepest leaf's depth
    double averageLeafDepth = 0;
    std::vector<long> leavesAtDepth;  // [d] = leaves at depth d; [0] unused
};

template <typename T>
TreeFigures figuresOf(Node<T>* root) {
    TreeFigures f;
    long long depthSum = 0;
    std::vector<std::pair<Node<T>*, int>> stack;
    if (root != nullptr) stack.push_back({root, 1});
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        if (n->getType() == 0) {
            ++f.routing;
            stack.push_back({n->getRight(), depth + 1});
            stack.push_back({n->getLeft(), depth + 1});
            continue;
        }
        ++f.distinct;
        f.occurrences += static_cast<LeafNode<T>*>(n)->multiplicity;
        depthSum += depth;
        if (depth > f.height) f.height = depth;
        if (f.leavesAtDepth.size() <= static_cast<std::size_t>(depth)) f.leavesAtDepth.resize(depth + 1, 0);
        ++f.leavesAtDepth[depth];
    }
    if (f.distinct != 0) f.averageLeafDepth = static_cast<double>(depthSum) / static_cast<double>(f.distinct);
    return f;
}

/// The figures in one line, for a graph label or a page.
std::string figuresLine(const TreeFigures& f);

/// The nodes a query for v passes, root first, ending at the leaf where its
/// walk ends (which holds v or not). Empty for an empty tree.
template <typename T>
std::vector<Node<T>*> pathOf(Node<T>* root, const T& v) {
    std::vector<Node<T>*> path;
    for (Node<T>* n = root; n != nullptr;) {
        path.push_back(n);
        if (n->getType() != 0) break;
        n = v < n->getRight()->leftMin() ? n->getLeft() : n->getRight();
    }
    return path;
}

/// What to draw beside the tree itself.
template <typename T>
struct DotOptions {
    /// Draw only this many levels (0: all); a routing node on the last one
    /// stands for its whole subtree.
    int depth = 0;
    /// Nodes to highlight, root first (see pathOf); the last is the leaf where
    /// the walk ended, filled when it holds the value, dashed when not.
    std::vector<Node<T>*> path;
    bool found = false;
};

template <typename T>
void writeDot(Node<T>* root, LineWriter& out, const DotOptions<T>& options = {}) {
    out.line("digraph BSTSET {");
    out.line("  ordering=out;");
    out.line("  node [fontname=\"monospace\"];");
    std::string label, value;
    label.clear();
    appendDotText(label, figuresLine(figuresOf(root)));
    out.line("  labelloc=t;");
    out.line("  label=\"", label, "\";");
    const auto show = [&](const T& v) {
        value.clear();
        appendValue(value, v);
        appendDotText(label, value);
    };
    std::unordered_map<const Node<T>*, bool> onPath;
    for (std::size_t i = 0; i < options.path.size(); ++i) onPath[options.path[i]] = i + 1 == options.path.size();
    struct Pending {
        Node<T>* node;
        std::string parent;  // empty for the root
        bool isLeft;
        int depth;
    };
    // Nodes are named n0, n1, ... in pre-order.
    std::vector<Pending> stack;
    if (root != nullptr) stack.push_back({root, std::string(), true, 1});
    long next = 0;
    while (!stack.empty()) {
        Pending at = std::move(stack.back());
        stack.pop_back();
        const std::string id = "n" + std::to_string(next++);
        const auto marked = onPath.find(at.node);
        std::string style;
        if (marked != onPath.end()) {
            style = ", color=\"#c62828\", penwidth=2";
            if (marked->second) style += options.found ? ", style=filled, fillcolor=\"#ffd54f\"" : ", style=dashed";
        }
        label.clear();
        if (at.node->getType() == 1) {
            auto* leaf = static_cast<LeafNode<T>*>(at.node);
            show(leaf->value);
            label += "\\ncount " + std::to_string(leaf->multiplicity);
            out.line("  ", id, " [shape=box, label=\"", label, "\"", style, "];");
        } else if (options.depth != 0 && at.depth >= options.depth) {
            const TreeFigures below = figuresOf(at.node);
            label += std::to_string(below.distinct) + " values\\nheight " + std::to_string(below.height);
            out.line("  ", id, " [shape=box3d, label=\"", label, "\"", style, "];");
        } else {
            show(at.node->leftMin());
            label += " .. ";
            show(at.node->rightMax());
            out.line("  ", id, " [shape=ellipse, label=\"", label, "\"", style, "];");
            stack.push_back({at.node->getRight(), id, false, at.depth + 1});
            stack.push_back({at.node->getLeft(), id, true, at.depth + 1});
        }
        if (!at.parent.empty()) {
            const bool hot = marked != onPath.end();
            out.line("  ", at.parent, " -> ", id, at.isLeft ? " [label=\"L\"" : " [label=\"R\"",
                     hot ? ", color=\"#c62828\", penwidth=2];" : "];");
        }
    }
    out.line("}");
}

/// The depth to draw a large tree to: the most levels that keep the drawing
/// to about `nodes` nodes (at least two levels).
template <typename T>
int readableDepth(Node<T>* root, long nodes) {
    std::vector<long> perLevel;
    std::vector<std::pair<Node<T>*, int>> stack;
    if (root != nullptr) stack.push_back({root, 1});
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        if (perLevel.size() <= static_cast<std::size_t>(depth)) perLevel.resize(depth + 1, 0);
        ++perLevel[depth];
        if (n->getType() == 0) {
            stack.push_back({n->getLeft(), depth + 1});
            stack.push_back({n->getRight(), depth + 1});
        }
    }
    long drawn = 0;
    int depth = 0;
    for (std::size_t d = 1; d < perLevel.size(); ++d) {
        if (drawn + perLevel[d] > nodes && depth >= 2) break;
        drawn += perLevel[d];
        depth = static_cast<int>(d);
    }
    return depth;
}

}  // namespace orlo
