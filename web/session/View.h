// The part of the tree the page draws for a step: the walk's path in full,
// each path node's other child with its two children (the walk's near
// neighbourhood), and every other subtree folded into one node that stands
// for it (its range, leaves and height). A small tree is drawn whole; a fold
// the page has opened is drawn with its children. So what the session sends
// grows with the walk, not with the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "Format.h"
#include "Frame.h"
#include "FrameWriter.h"
#include "TreeShape.h"
#include "bstset/BSTSET.h"
#include "bstset/detail/Access.h"

namespace orlo::session {

/// Trees of at most this many leaves are drawn whole.
constexpr std::uint32_t kWholeLeaves = 24;

/// Folds the page asked to see opened, by node id.
using Opened = std::unordered_set<std::uintptr_t>;

/// The shortest text that reads back as the same double, where it differs
/// from what Orlo prints (six significant digits); else nothing.
void appendExact(std::string& out, double value);
inline void appendExact(std::string&, int) {}
inline void appendExact(std::string&, const std::string&) {}

/// One node as drawn, captured while the tree stands as it did.
template <typename T>
struct Drawn {
    const Node<T>* node;
    frame::NodeKind kind;
    std::uint32_t depth;
    std::uint32_t size = 1;  // records of its drawn subtree, itself included
    std::uint32_t count;
    std::uint32_t leaves;
    std::uint32_t height;
    std::string smallest, largest, exactSmallest, exactLargest;
};

/// Captures the drawn nodes around `path` (nodes of the tree, root first;
/// it may end at a leaf or at a routing node) in pre-order. Of a path longer
/// than `most` nodes, the upper part is one record (NodeKind::path) that
/// says how many levels it stands for: a chain thousands of levels tall
/// costs the page what it can show.
template <typename T>
std::vector<Drawn<T>> capture(const BSTSET<T>& set, const TreeShape<T>& shape, const std::vector<const Node<T>*>& path,
                              const Opened& opened, std::size_t most) {
    std::vector<Drawn<T>> out;
    const Node<T>* root = detail::Access::root(set);
    if (root == nullptr) return out;
    const bool whole = shape.of(root).leaves <= kWholeLeaves;
    struct Visit {
        const Node<T>* node;
        std::uint32_t depth;
        bool parentOnPath;
    };
    std::vector<Visit> stack{{root, 1, false}};
    std::vector<std::size_t> open;  // drawn nodes whose subtree is still being captured
    if (path.size() > most) {
        const auto cut = static_cast<std::uint32_t>(path.size() - most);  // levels folded
        out.push_back(Drawn<T>{nullptr, frame::NodeKind::path, cut, 1, cut, 0, 0, {}, {}, {}, {}});
        open.push_back(0);
        stack = {{path[cut], cut + 1, false}};
    }
    while (!stack.empty()) {
        const Visit v = stack.back();
        stack.pop_back();
        while (!open.empty() && out[open.back()].depth >= v.depth) {
            out[open.back()].size = static_cast<std::uint32_t>(out.size() - open.back());
            open.pop_back();
        }
        auto* node = const_cast<Node<T>*>(v.node);
        const bool leaf = node->getType() == 1;
        const bool onPath = v.depth <= path.size() && path[v.depth - 1] == v.node;
        const bool expanded = !leaf && (whole || onPath || v.parentOnPath ||
                                        opened.count(reinterpret_cast<std::uintptr_t>(v.node)) != 0);
        const typename TreeShape<T>::Size size = shape.of(v.node);
        Drawn<T> d{v.node,
                   leaf ? frame::NodeKind::leaf : expanded ? frame::NodeKind::routing : frame::NodeKind::fold,
                   v.depth, 1, leaf ? static_cast<std::uint32_t>(static_cast<LeafNode<T>*>(node)->multiplicity) : 0,
                   size.leaves, size.height, {}, {}, {}, {}};
        appendValue(d.smallest, node->leftMin());
        appendExact(d.exactSmallest, node->leftMin());
        if (!leaf) {
            appendValue(d.largest, node->rightMax());
            appendExact(d.exactLargest, node->rightMax());
        }
        open.push_back(out.size());
        out.push_back(std::move(d));
        if (expanded) {
            // The children of a path node are drawn with theirs; below where
            // the walk ended (a routing node, for a value not held), one level.
            const bool near = onPath && v.depth < path.size();
            stack.push_back({node->getRight(), v.depth + 1, near});
            stack.push_back({node->getLeft(), v.depth + 1, near});
        }
    }
    for (const std::size_t i : open) out[i].size = static_cast<std::uint32_t>(out.size() - i);
    return out;
}

/// Writes captured nodes as NodeItem records.
template <typename T>
void write(FrameWriter& frame, const std::vector<Drawn<T>>& nodes) {
    for (const Drawn<T>& d : nodes) {
        const std::size_t at = frame.record(frame::NodeItem::kWords);
        frame.word(at + frame::NodeItem::id) = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(d.node));
        frame.word(at + frame::NodeItem::kind) = static_cast<std::uint32_t>(d.kind);
        frame.word(at + frame::NodeItem::depth) = d.depth;
        frame.word(at + frame::NodeItem::size) = d.size;
        frame.word(at + frame::NodeItem::count) = d.count;
        frame.word(at + frame::NodeItem::leaves) = d.leaves;
        frame.word(at + frame::NodeItem::height) = d.height;
        frame.put(at + frame::NodeItem::smallestAt, d.smallest);
        frame.put(at + frame::NodeItem::largestAt, d.largest);
        frame.put(at + frame::NodeItem::exactSmallestAt, d.exactSmallest);
        frame.put(at + frame::NodeItem::exactLargestAt, d.exactLargest);
    }
}

}  // namespace orlo::session
