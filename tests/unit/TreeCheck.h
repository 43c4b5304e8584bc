// Test helpers for the search tree: the invariant checker as an assertion, a printable form of
// a tree's exact shape, and a plain recursive model of the tree's algorithms
// written straight from their description, against which the iterative
// implementation is compared shape for shape.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "RecursiveModel.h"
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

/// A BSTSET, a std::multiset and the recursive model driven through the
/// same operations, and compared after each.
template <typename T>
struct Mirrored {
    BSTSET<T> set;
    std::multiset<T> reference;
    RecursiveModel<T> model;

    /// Every other update through insertAndLocate()/removeAndLocate(), whose
    /// answer must be what the queries answer after it.
    void apply(bool add, T v) {
        std::optional<typename BSTSET<T>::Where> where;
        if (add) {
            if (++updates_ % 2 == 0) {
                where = set.insertAndLocate(v);
            } else {
                set << v;
            }
            reference.insert(v);
            model.add(v);
        } else {
            if (++updates_ % 2 == 0) {
                where = set.removeAndLocate(v);
            } else {
                set >> v;
            }
            if (auto it = reference.find(v); it != reference.end()) reference.erase(it);
            model.del(v);
        }
        located = where && (where->depth != model.depth(v) || where->count != model.count(v))
                      ? ::testing::AssertionFailure() << "located at depth " << where->depth << " with count " << where->count
                                                      << ", the model says " << model.depth(v) << " and " << model.count(v)
                      : ::testing::AssertionSuccess();
    }

    /// Whether the last update's own answer agreed with the model.
    ::testing::AssertionResult located = ::testing::AssertionSuccess();

    /// Moves the set out and back through a second set, using the emptied
    /// one on the way: a move must carry everything and leave a usable set.
    ::testing::AssertionResult moveAround(const T& probe) {
        BSTSET<T> elsewhere(std::move(set));
        if (!set.empty() || set.size() != 0 || set.begin() != set.end() || set[probe] != -1) {
            return ::testing::AssertionFailure() << "a moved-from set is not empty";
        }
        set << probe;
        set >> probe;
        if (!set.empty()) return ::testing::AssertionFailure() << "a moved-from set did not take and give back a value";
        BSTSET<T> assigned;
        assigned << probe;
        assigned = std::move(elsewhere);
        set = std::move(assigned);
        return ::testing::AssertionSuccess();
    }

    /// The tree is sound and has the model's exact shape, and the queries
    /// about v agree with the model and the multiset, by the operators and
    /// by the standard names.
    ::testing::AssertionResult agreeAbout(T v) {
        if (!located) return located;
        if (auto sound = treeIsSound(rootOf(set)); !sound) return sound;
        if (set.size() != reference.size() || set.empty() != reference.empty()) {
            return ::testing::AssertionFailure() << "size " << set.size() << ", multiset " << reference.size();
        }
        const std::size_t held = reference.count(v);
        const auto found = set.find(v);
        if (set.count(v) != held || set.contains(v) != (held != 0) || (found != set.end()) != (held != 0) ||
            (found != set.end() && !(*found == v))) {
            return ::testing::AssertionFailure() << "count/contains/find disagree about " << v;
        }
        if (shapeOf(rootOf(set)) != model.shape()) {
            return ::testing::AssertionFailure() << "shape " << shapeOf(rootOf(set)) << ", model " << model.shape();
        }
        if (set[v] != model.depth(v) || set(v) != static_cast<int>(reference.count(v))) {
            return ::testing::AssertionFailure() << "queries about " << v << ": depth " << set[v] << " (model "
                                                 << model.depth(v) << "), count " << set(v) << " (multiset "
                                                 << reference.count(v) << ")";
        }
        return ::testing::AssertionSuccess();
    }

    int updates_ = 0;

    /// The distinct values of the multiset, ascending.
    std::vector<T> distinct() const {
        const std::set<T> values(reference.begin(), reference.end());
        return std::vector<T>(values.begin(), values.end());
    }
};

}  // namespace orlo::testing
