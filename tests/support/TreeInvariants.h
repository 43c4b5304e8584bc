// The search tree's invariants, checked without recursion: used by the unit
// tests after every change and by the fuzz target after every run.
#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bstset/BSTSET.h"
#include "bstset/detail/Access.h"

namespace orlo::testing {

/// The root of a set's tree, for checks that look inside it.
template <typename T>
Node<T>* rootOf(const BSTSET<T>& set) {
    return detail::Access::root(set);
}

template <typename... Parts>
std::string text(const Parts&... parts) {
    std::ostringstream out;
    (out << ... << parts);
    return out.str();
}

/// What is wrong with the tree under root, or nothing. Routing nodes must
/// have two children and cache exactly their subtree's smallest and largest
/// value, leaves must hold multiplicities of at least 1, and the leaves read
/// left to right must be strictly ascending (so left values are below right
/// values and no two leaves are equal). Walks without recursion, so tall
/// trees are fine.
template <typename T>
std::string treeProblem(Node<T>* root) {
    if (root == nullptr) return std::string();
    std::vector<LeafNode<T>*> leaves;
    std::unordered_map<Node<T>*, std::pair<std::size_t, std::size_t>> span;  // first, last leaf
    std::vector<std::pair<Node<T>*, bool>> stack{{root, false}};
    while (!stack.empty()) {
        auto [node, childrenDone] = stack.back();
        stack.pop_back();
        if (node->getType() == 1) {
            auto* leaf = static_cast<LeafNode<T>*>(node);
            if (leaf->multiplicity < 1) {
                return text("leaf with multiplicity ", leaf->multiplicity);
            }
            if (node->getLeft() != nullptr || node->getRight() != nullptr) {
                return text("leaf with a child");
            }
            span[node] = {leaves.size(), leaves.size()};
            leaves.push_back(leaf);
            continue;
        }
        if (node->getType() != 0) return text("node of type ", node->getType());
        auto* inner = static_cast<InnerNode<T>*>(node);
        if (inner->left == nullptr || inner->right == nullptr) {
            return text("routing node with a missing child");
        }
        if (!childrenDone) {
            stack.push_back({node, true});
            stack.push_back({inner->right, false});
            stack.push_back({inner->left, false});
            continue;
        }
        const std::size_t first = span[inner->left].first;
        const std::size_t last = span[inner->right].second;
        span[node] = {first, last};
        if (!(inner->minValue == leaves[first]->value) || !(inner->maxValue == leaves[last]->value)) {
            return text("routing node caches [", inner->minValue, ", ", inner->maxValue, "] over values from ", leaves[first]->value, " to ", leaves[last]->value);
        }
    }
    for (std::size_t i = 1; i < leaves.size(); ++i) {
        if (!(leaves[i - 1]->value < leaves[i]->value)) {
            return text("leaves out of order: ", leaves[i - 1]->value, " before ", leaves[i]->value);
        }
    }
    return std::string();
}

/// Whether one of the set's early walks under way holds `node`. A walk may
/// hold only nodes of the tree: asked right after a removal about the nodes
/// it freed, before an insertion can reuse their blocks, this tells a walk
/// left holding a freed node without waiting for it to crash.
template <typename T>
bool walksHold(const ReadAheadSet<T>& set, const void* node) {
    bool held = false;
    if (const auto* walks = detail::Access::walks(set)) walks->forEachHeld([&](const void* n) { held = held || n == node; });
    return held;
}

/// What is wrong with the whole set, or nothing: its tree (treeProblem),
/// size() against the leaves' counts, the walk of its iterator against the
/// leaves, and both queries against where each leaf stands. Called after
/// every change by the tests of small sets, as a set must hold all of this
/// whatever was thrown.
template <typename T>
std::string setProblem(const BSTSET<T>& set) {
    Node<T>* root = rootOf(set);
    if (std::string problem = treeProblem(root); !problem.empty()) return problem;
    std::vector<std::pair<LeafNode<T>*, int>> leaves;  // left to right, with depths
    std::vector<std::pair<Node<T>*, int>> stack;
    if (root != nullptr) stack.emplace_back(root, 1);
    while (!stack.empty()) {
        auto [n, depth] = stack.back();
        stack.pop_back();
        if (n->getType() == 1) {
            leaves.emplace_back(static_cast<LeafNode<T>*>(n), depth);
        } else {
            stack.emplace_back(n->getRight(), depth + 1);
            stack.emplace_back(n->getLeft(), depth + 1);
        }
    }
    std::size_t occurrences = 0;
    for (const auto& leaf : leaves) occurrences += static_cast<std::size_t>(leaf.first->multiplicity);
    if (set.size() != occurrences) return text("size() is ", set.size(), ", the leaves hold ", occurrences);
    if (set.empty() != (root == nullptr)) return text("empty() is ", set.empty(), " with ", leaves.size(), " leaves");
    std::size_t i = 0;
    for (auto it = set.begin(); it != set.end(); ++it, ++i) {
        if (i == leaves.size() || &*it != &leaves[i].first->value) return text("the iterator's value ", i, " is not leaf ", i);
    }
    if (i != leaves.size()) return text("the iterator visits ", i, " of ", leaves.size(), " leaves");
    for (const auto& [leaf, depth] : leaves) {
        if (set(leaf->value) != leaf->multiplicity || set[leaf->value] != depth) {
            return text("queries about ", leaf->value, ": count ", set(leaf->value), ", depth ", set[leaf->value],
                        "; the leaf holds ", leaf->multiplicity, " at depth ", depth);
        }
    }
    if (root == nullptr && set.memoryHeld() != 0) return text("an empty set holds ", set.memoryHeld(), " bytes");
    return std::string();
}

/// Returns what is wrong with the listing of set, or nothing: each distinct
/// value must come exactly once, in strictly ascending order.
template <typename T>
std::string listingProblem(const BSTSET<T>& set) {
    const T* previous = nullptr;
    for (auto it = set.begin(); it != set.end(); ++it) {
        if (previous != nullptr && !(*previous < *it)) {
            return text("listing not ascending: ", *previous, " then ", *it);
        }
        previous = &*it;
    }
    return std::string();
}

}  // namespace orlo::testing
