// Drawing a tree in Graphviz DOT: routing nodes as ellipses labelled with
// their cached smallest and largest value, leaves as boxes labelled with
// their value and multiplicity, the left edge of each routing node before
// its right one. The walk keeps its own stack, so any height can be drawn.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Format.h"
#include "Io.h"
#include "bstset/Node.h"

namespace orlo {

/// Appends text for a DOT double-quoted string: quotes and backslashes are
/// escaped, and bytes that are not printable ASCII are shown as \xNN.
void appendDotText(std::string& out, std::string_view text);

template <typename T>
void writeDot(Node<T>* root, LineWriter& out) {
    out.line("digraph BSTSET {");
    out.line("  ordering=out;");
    out.line("  node [fontname=\"monospace\"];");
    std::string label, value;
    const auto show = [&](const T& v) {
        value.clear();
        appendValue(value, v);
        appendDotText(label, value);
    };
    struct Pending {
        Node<T>* node;
        std::string parent;  // empty for the root
        bool isLeft;
    };
    // Nodes are named n0, n1, ... in pre-order.
    std::vector<Pending> stack;
    if (root != nullptr) stack.push_back({root, std::string(), true});
    long next = 0;
    while (!stack.empty()) {
        Pending at = std::move(stack.back());
        stack.pop_back();
        const std::string id = "n" + std::to_string(next++);
        label.clear();
        if (at.node->getType() == 1) {
            auto* leaf = static_cast<LeafNode<T>*>(at.node);
            show(leaf->value);
            label += "\\ncount " + std::to_string(leaf->multiplicity);
            out.line("  ", id, " [shape=box, label=\"", label, "\"];");
        } else {
            show(at.node->leftMin());
            label += " .. ";
            show(at.node->rightMax());
            out.line("  ", id, " [shape=ellipse, label=\"", label, "\"];");
            stack.push_back({at.node->getRight(), id, false});
            stack.push_back({at.node->getLeft(), id, true});
        }
        if (!at.parent.empty()) out.line("  ", at.parent, " -> ", id, at.isLeft ? " [label=\"L\"];" : " [label=\"R\"];");
    }
    out.line("}");
}

}  // namespace orlo
