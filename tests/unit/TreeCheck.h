// Test helpers for the search tree: the invariant checker as an assertion, a printable form of
// a tree's exact shape, and a plain recursive model of the tree's algorithms
// written straight from their description, against which the iterative
// implementation is compared shape for shape.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "TreeInvariants.h"
#include "bstset/BSTSET.h"

namespace orlo::testing {

/// The tree's invariants as a test assertion.
template <typename T>
::testing::AssertionResult treeIsSound(Node<T>* root) {
    const std::string problem = treeProblem(root);
    if (problem.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << problem;
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

/// A BSTSET, a std::multiset and the recursive model driven through the
/// same operations, and compared after each.
template <typename T>
struct Mirrored {
    BSTSET<T> set;
    std::multiset<T> reference;
    RecursiveModel<T> model;

    void apply(bool add, T v) {
        if (add) {
            set << v;
            reference.insert(v);
            model.add(v);
        } else {
            set >> v;
            if (auto it = reference.find(v); it != reference.end()) reference.erase(it);
            model.del(v);
        }
    }

    /// The tree is sound and has the model's exact shape, and the queries
    /// about v agree with the model and the multiset.
    ::testing::AssertionResult agreeAbout(T v) {
        if (auto sound = treeIsSound(set.getRoot()); !sound) return sound;
        if (shapeOf(set.getRoot()) != model.shape()) {
            return ::testing::AssertionFailure() << "shape " << shapeOf(set.getRoot()) << ", model " << model.shape();
        }
        if (set[v] != model.depth(v) || set(v) != static_cast<int>(reference.count(v))) {
            return ::testing::AssertionFailure() << "queries about " << v << ": depth " << set[v] << " (model "
                                                 << model.depth(v) << "), count " << set(v) << " (multiset "
                                                 << reference.count(v) << ")";
        }
        return ::testing::AssertionSuccess();
    }

    /// The distinct values of the multiset, ascending.
    std::vector<T> distinct() const {
        const std::set<T> values(reference.begin(), reference.end());
        return std::vector<T>(values.begin(), values.end());
    }
};

}  // namespace orlo::testing
