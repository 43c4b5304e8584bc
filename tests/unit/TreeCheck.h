// Test helpers for the search tree: an invariant checker, a printable form of
// a tree's exact shape, and a plain recursive model of the tree's algorithms
// written straight from their description, against which the iterative
// implementation is compared shape for shape.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bstset/BSTSET.h"

namespace orlo::testing {

/// Checks every invariant of the tree under root: routing nodes have two
/// children and cache exactly their subtree's smallest and largest value,
/// leaves hold multiplicities of at least 1, and the leaves read left to
/// right are strictly ascending (so left values are below right values and
/// no two leaves are equal). Walks without recursion, so tall trees are fine.
template <typename T>
::testing::AssertionResult treeIsSound(Node<T>* root) {
    if (root == nullptr) return ::testing::AssertionSuccess();
    std::vector<LeafNode<T>*> leaves;
    std::unordered_map<Node<T>*, std::pair<std::size_t, std::size_t>> span;  // first, last leaf
    std::vector<std::pair<Node<T>*, bool>> stack{{root, false}};
    while (!stack.empty()) {
        auto [node, childrenDone] = stack.back();
        stack.pop_back();
        if (node->getType() == 1) {
            auto* leaf = static_cast<LeafNode<T>*>(node);
            if (leaf->multiplicity < 1) {
                return ::testing::AssertionFailure() << "leaf with multiplicity " << leaf->multiplicity;
            }
            if (node->getLeft() != nullptr || node->getRight() != nullptr) {
                return ::testing::AssertionFailure() << "leaf with a child";
            }
            span[node] = {leaves.size(), leaves.size()};
            leaves.push_back(leaf);
            continue;
        }
        if (node->getType() != 0) return ::testing::AssertionFailure() << "node of type " << node->getType();
        auto* inner = static_cast<InnerNode<T>*>(node);
        if (inner->left == nullptr || inner->right == nullptr) {
            return ::testing::AssertionFailure() << "routing node with a missing child";
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
            return ::testing::AssertionFailure() << "routing node caches [" << inner->minValue << ", "
                                                 << inner->maxValue << "] over values from "
                                                 << leaves[first]->value << " to " << leaves[last]->value;
        }
    }
    for (std::size_t i = 1; i < leaves.size(); ++i) {
        if (!(leaves[i - 1]->value < leaves[i]->value)) {
            return ::testing::AssertionFailure() << "leaves out of order: " << leaves[i - 1]->value
                                                 << " before " << leaves[i]->value;
        }
    }
    return ::testing::AssertionSuccess();
}

/// The exact shape of a tree: pre-order, leaves as value*multiplicity and
/// routing nodes as [min,max](left right).
template <typename T>
std::string shapeOf(Node<T>* root) {
    std::ostringstream out;
    std::vector<Node<T>*> stack;
    if (root != nullptr) stack.push_back(root);
    while (!stack.empty()) {
        Node<T>* node = stack.back();
        stack.pop_back();
        if (node == nullptr) {
            out << ')';
        } else if (node->getType() == 1) {
            auto* leaf = static_cast<LeafNode<T>*>(node);
            out << leaf->value << '*' << leaf->multiplicity << ' ';
        } else {
            auto* inner = static_cast<InnerNode<T>*>(node);
            out << '[' << inner->minValue << ',' << inner->maxValue << "](";
            stack.push_back(nullptr);
            stack.push_back(inner->right);
            stack.push_back(inner->left);
        }
    }
    return out.str();
}

/// The tree's algorithms as described, recursively and with nothing added:
/// the yardstick for the iterative implementation on small trees.
template <typename T>
class RecursiveModel {
public:
    void add(const T& v) { root_ = root_ ? add(std::move(root_), v) : leaf(v); }
    void del(const T& v) {
        if (root_) root_ = del(std::move(root_), v);
    }
    int depth(const T& v) const { return root_ ? depth(root_.get(), v) : -1; }
    int count(const T& v) const { return root_ ? count(root_.get(), v) : 0; }

    std::string shape() const {
        std::ostringstream out;
        if (root_) shape(root_.get(), out);
        return out.str();
    }

private:
    struct N {
        bool isLeaf = true;
        T value{};
        int multiplicity = 1;
        T minValue{}, maxValue{};
        std::unique_ptr<N> left, right;
    };
    using P = std::unique_ptr<N>;

    static P leaf(const T& v) {
        P n = std::make_unique<N>();
        n->value = v;
        return n;
    }
    static const T& leftMin(const N* n) { return n->isLeaf ? n->value : n->minValue; }
    static const T& rightMax(const N* n) { return n->isLeaf ? n->value : n->maxValue; }

    static P add(P n, const T& v) {
        if (n->isLeaf) {
            if (v == n->value) {
                ++n->multiplicity;
                return n;
            }
            P inner = std::make_unique<N>();
            inner->isLeaf = false;
            if (v < n->value) {
                inner->left = leaf(v);
                inner->right = std::move(n);
            } else {
                inner->left = std::move(n);
                inner->right = leaf(v);
            }
            inner->maxValue = rightMax(inner->right.get());
            inner->minValue = leftMin(inner->left.get());
            return inner;
        }
        if (v < leftMin(n->left.get())) {
            n->minValue = v;
        } else if (v > rightMax(n->right.get())) {
            n->maxValue = v;
        }
        if (v < leftMin(n->right.get())) {
            n->left = add(std::move(n->left), v);
        } else {
            n->right = add(std::move(n->right), v);
        }
        return n;
    }

    static P del(P n, const T& v) {
        if (n->isLeaf) {
            if (v != n->value) return n;
            if (n->multiplicity == 1) return nullptr;
            --n->multiplicity;
            return n;
        }
        if (v < n->minValue || v > n->maxValue) return n;
        if (v > rightMax(n->left.get())) {
            if (v < leftMin(n->right.get())) return n;
            n->right = del(std::move(n->right), v);
            if (!n->right) return std::move(n->left);
            n->maxValue = rightMax(n->right.get());
            return n;
        }
        n->left = del(std::move(n->left), v);
        if (!n->left) return std::move(n->right);
        n->minValue = leftMin(n->left.get());
        return n;
    }

    static int count(const N* n, const T& v) {
        if (n->isLeaf) return v == n->value ? n->multiplicity : 0;
        return v < leftMin(n->right.get()) ? count(n->left.get(), v) : count(n->right.get(), v);
    }
    static int depth(const N* n, const T& v) {
        if (n->isLeaf) return v == n->value ? 1 : -1;
        const int d = v < leftMin(n->right.get()) ? depth(n->left.get(), v) : depth(n->right.get(), v);
        return d == -1 ? -1 : d + 1;
    }
    static void shape(const N* n, std::ostringstream& out) {
        if (n->isLeaf) {
            out << n->value << '*' << n->multiplicity << ' ';
            return;
        }
        out << '[' << n->minValue << ',' << n->maxValue << "](";
        shape(n->left.get(), out);
        shape(n->right.get(), out);
        out << ')';
    }

    P root_;
};

}  // namespace orlo::testing
