// What the page shows of a tree's shape without walking it: the leaves and
// the height of every routing node's subtree (a folded subtree shows them),
// and the leaves at each depth, from which the tree's figures come. Each
// update changes them only along its walk, so they are kept up to date from
// what the update reports, and a step costs the walk, not the tree. (The
// exception: a removal whose sibling subtree rises moves every leaf in that
// subtree up one level; the leaves-per-depth counts walk that subtree, and
// say so in the work they return, which the stepper charges to its budget.)
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "NodeTable.h"
#include "Trace.h"
#include "bstset/BSTSET.h"

namespace orlo::session {

template <typename T>
class TreeShape {
public:
    struct Size {
        std::uint32_t leaves;
        std::uint32_t height;
    };

    /// The size of n's subtree (n a node of the tree, or null: nothing).
    Size of(const Node<T>* n) const {
        if (n == nullptr) return {0, 0};
        if (isLeaf(n)) return {1, 1};
        return table_.get(n);
    }

    void clear() {
        table_.clear();
        leavesAtDepth_.assign(1, 0);
    }

    /// After an update that made a new leaf: `t` is its report. The leaf it
    /// reached (if any) and the new one now hang under a new routing node.
    void grew(const Trace<T>& t) {
        const std::uint32_t passed = static_cast<std::uint32_t>(t.walk.size());
        if (t.made.size() == 1) {  // the first leaf of an empty tree
            moveLeaves(1, 1);
            return;
        }
        const Node<T>* routing = isLeaf(t.made[0]) ? t.made[1] : t.made[0];
        table_.put(routing, {2, 2});
        oneLeafMore(passed, [&](std::size_t i) { return t.walk[i].node; }, 2);
        // The reached leaf moves one level down and the new one joins it.
        moveLeaves(passed + 1, -1);
        moveLeaves(passed + 2, 2);
    }

    /// After a removal of a last occurrence: its leaf and (unless the tree
    /// was that leaf) its parent went, and the sibling took the parent's
    /// place. The report's freed nodes are not read. Returns the nodes of
    /// the risen subtree it walked.
    std::uint64_t shrank(const Trace<T>& t) {
        const std::uint32_t passed = static_cast<std::uint32_t>(t.walk.size());
        moveLeaves(passed + 1, -1);
        if (passed == 0) return 0;
        table_.erase(t.walk[passed - 1].node);
        const Node<T>* risen = t.walk[passed - 1].other;
        // Up the walk: one leaf fewer below each node. A height can only
        // shrink, and only where the child on the walk no longer reaches
        // it; the other side is read only then.
        std::uint32_t below = of(risen).height;
        for (std::uint32_t i = passed - 1; i-- > 0;) {
            Size& s = table_.at(t.walk[i].node);
            s.leaves -= 1;
            if (below + 1 < s.height) s.height = 1 + std::max(below, of(t.walk[i].other).height);
            below = s.height;
        }
        return shiftLeaves(risen, passed, -1);
    }

    /// A removal taken back: the leaf and its routing node are in the tree
    /// again, `path` (root first) leading to the routing node, whose other
    /// child `risen` went back down under it. Returns the nodes of the
    /// subtree that went down that it walked.
    std::uint64_t restored(const std::vector<const Node<T>*>& path, const Node<T>* risen) {
        if (!path.empty()) {
            // The routing node from its two children, then the path above it.
            const Size r = of(risen);
            const std::uint32_t height = 1 + std::max<std::uint32_t>(r.height, 1);
            table_.put(path.back(), {r.leaves + 1, height});
            oneLeafMore(path.size() - 1, [&](std::size_t i) { return path[i]; }, height);
        }
        const auto level = static_cast<std::uint32_t>(path.size());  // the routing node's depth
        moveLeaves(level + 1, 1);
        return risen != nullptr ? shiftLeaves(risen, level + 1, 1) : 0;
    }

    /// [d]: leaves at depth d, d from 1; trailing zeros trimmed.
    const std::vector<std::uint32_t>& leavesAtDepth() const { return leavesAtDepth_; }
    std::size_t routingNodes() const { return table_.size(); }

private:
    /// Up a path of `n` routing nodes (nodeAt(i), root first) above a
    /// subtree that gained a leaf and is now `below` high: one leaf more
    /// below each. A height only grows, to one above the child on the path,
    /// and only while that child grew past the other side: the other child
    /// need not be read.
    template <class NodeAt>
    void oneLeafMore(std::size_t n, NodeAt nodeAt, std::uint32_t below) {
        for (std::size_t i = n; i-- > 0;) {
            Size& s = table_.at(nodeAt(i));
            s.leaves += 1;
            if (below + 1 > s.height) s.height = below + 1;
            below = s.height;
        }
    }

    static bool isLeaf(const Node<T>* n) { return const_cast<Node<T>*>(n)->getType() == 1; }


    void moveLeaves(std::uint32_t depth, int by) {
        if (leavesAtDepth_.size() <= depth) leavesAtDepth_.resize(depth + 1, 0);
        leavesAtDepth_[depth] = static_cast<std::uint32_t>(static_cast<int>(leavesAtDepth_[depth]) + by);
        while (leavesAtDepth_.size() > 1 && leavesAtDepth_.back() == 0) leavesAtDepth_.pop_back();
    }

    /// Every leaf of the subtree under n, which now stands at depth `at`,
    /// came from one level deeper (by -1) or shallower (by +1). Returns the
    /// nodes walked.
    std::uint64_t shiftLeaves(const Node<T>* n, std::uint32_t at, int by) {
        std::uint64_t walked = 0;
        std::vector<std::pair<const Node<T>*, std::uint32_t>> stack{{n, at}};
        while (!stack.empty()) {
            const auto [node, depth] = stack.back();
            stack.pop_back();
            ++walked;
            if (isLeaf(node)) {
                moveLeaves(static_cast<std::uint32_t>(static_cast<int>(depth) - by), -1);
                moveLeaves(depth, 1);
                continue;
            }
            const auto* in = static_cast<const InnerNode<T>*>(node);
            stack.push_back({in->right, depth + 1});
            stack.push_back({in->left, depth + 1});
        }
        return walked;
    }

    NodeTable<Size> table_;
    std::vector<std::uint32_t> leavesAtDepth_ = std::vector<std::uint32_t>(1, 0);
};

}  // namespace orlo::session
