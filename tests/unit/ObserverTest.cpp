// Update observers: every report an insertion or removal makes, exactly, on
// small trees whose walks are worked out by hand from the tree's algorithm;
// and what a tool that keeps the freed nodes can do with them.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "ElementTypes.h"
#include "TreeCheck.h"
#include "bstset/BSTSET.h"

namespace orlo {
namespace {

using testing::rootOf;
using testing::shapeOf;

/// A node as the reports name it: a leaf as value*count, a routing node as
/// [smallest,largest].
template <typename T>
std::string nameOf(const Node<T>* node) {
    std::ostringstream out;
    auto* n = const_cast<Node<T>*>(node);
    if (n->getType() == 1) {
        out << n->leftMin() << '*' << static_cast<LeafNode<T>*>(n)->multiplicity;
    } else {
        out << '[' << n->leftMin() << ',' << n->rightMax() << ']';
    }
    return out.str();
}

template <typename T>
std::string text(const T& v) {
    std::ostringstream out;
    out << v;
    return out.str();
}

/// Writes down every report, and checks what must hold when it comes: a
/// change is reported before it is made; created and freed nodes are
/// reported with the tree whole and stored, size() counting the update, the
/// freed nodes detached.
template <typename T, bool kKeeps = false>
struct Recorder : QuietObserver<T> {
    static constexpr bool kKeepsFreed = kKeeps;
    const BSTSET<T>* set = nullptr;
    std::size_t sizeAfter = 0;
    std::vector<std::string> log;
    std::vector<Node<T>*> freedNodes;

    void passed(const Node<T>* routing, Compared how, const T& bound, bool wentRight) noexcept {
        static const char* const kHow[] = {"RightSmallest", "LeftLargest", "OutsideRange", "BetweenSides"};
        log.push_back("passed " + nameOf(routing) + " " + kHow[static_cast<int>(how)] + " " + text(bound) +
                      (wentRight ? " right" : " left"));
    }
    void reached(const LeafNode<T>* leaf, bool holds) noexcept {
        log.push_back("reached " + nameOf<T>(leaf) + (holds ? " holds" : " misses"));
    }
    void boundChanged(const InnerNode<T>* node, bool largest, const T& before, const T& after) noexcept {
        // A rebuilt node is a copy that holds the new bound from the start.
        const T& now = largest ? node->maxValue : node->minValue;
        const bool unchangedYet = detail::kBoundsBy<T> == detail::BoundsBy::Rebuilding || now == before ||
                                  (now != now && before != before);
        log.push_back(std::string("bound ") + (largest ? "largest " : "smallest ") + text(before) + "->" + text(after) +
                      (unchangedYet ? "" : " (reported after the change)"));
    }
    void countChanged(const LeafNode<T>* leaf, int before, int after) noexcept {
        log.push_back("count " + text(leaf->value) + " " + std::to_string(before) + "->" + std::to_string(after) +
                      (leaf->multiplicity == before ? "" : " (reported after the change)"));
    }
    void created(const Node<T>* node) noexcept {
        log.push_back("created " + nameOf(node) + whole());
    }
    void freed(Node<T>* node) noexcept {
        const bool detached = node->getLeft() == nullptr && node->getRight() == nullptr;
        log.push_back("freed " + nameOf<T>(node) + whole() + (detached ? "" : " (children attached)"));
        freedNodes.push_back(node);
    }

    /// The tree as the set holds it must be whole (every routing node with
    /// both children) and counted by size().
    std::string whole() const {
        if (set == nullptr) return "";
        bool twoChildren = true;
        std::size_t occurrences = 0;
        std::vector<Node<T>*> stack;
        if (rootOf(*set) != nullptr) stack.push_back(rootOf(*set));
        while (!stack.empty()) {
            Node<T>* n = stack.back();
            stack.pop_back();
            if (n->getType() == 1) {
                occurrences += static_cast<std::size_t>(static_cast<LeafNode<T>*>(n)->multiplicity);
            } else if (n->getLeft() == nullptr || n->getRight() == nullptr) {
                twoChildren = false;
            } else {
                stack.push_back(n->getLeft());
                stack.push_back(n->getRight());
            }
        }
        if (!twoChildren) return " (tree not whole)";
        if (set->size() != sizeAfter || occurrences != sizeAfter) {
            return " (size() is " + std::to_string(set->size()) + ", the leaves hold " + std::to_string(occurrences) + ")";
        }
        return "";
    }
};

/// The reports of one update, and where it says v stands.
template <typename T>
struct Reported {
    std::vector<std::string> log;
    typename BSTSET<T>::Where where;
};

template <typename T>
Reported<T> insertWatched(BSTSET<T>& set, const T& v) {
    Recorder<T> r;
    r.set = &set;
    r.sizeAfter = set.size() + 1;
    const auto where = set.insertAndLocate(v, r);
    return {r.log, where};
}

template <typename T>
Reported<T> removeWatched(BSTSET<T>& set, const T& v, std::size_t removed) {
    Recorder<T> r;
    r.set = &set;
    r.sizeAfter = set.size() - removed;
    const auto where = set.removeAndLocate(v, r);
    return {r.log, where};
}

using Log = std::vector<std::string>;

/// Whether routing nodes whose bound changes are rebuilt as copies (T
/// cannot assign a bound without a throw, or the optimisation that assigns
/// is switched off): then the reports name the copies made and the
/// originals freed too.
template <typename T>
constexpr bool kRebuilds = detail::kBoundsBy<T> == detail::BoundsBy::Rebuilding;

TEST(Observer, AnInsertionReportsItsWalkThenEachChange) {
    BSTSET<int> set{10, 20};  // [10,20](10 20)

    // A split, widening the root's largest bound.
    Reported<int> r = insertWatched(set, 25);
    if (kRebuilds<int>) {
        EXPECT_EQ(r.log, (Log{"passed [10,20] RightSmallest 20 right", "reached 20*1 misses", "bound largest 20->25",
                              "created 25*1", "created [20,25]", "created [10,25]", "freed [10,20]"}));
    } else {
        EXPECT_EQ(r.log, (Log{"passed [10,20] RightSmallest 20 right", "reached 20*1 misses", "bound largest 20->25",
                              "created 25*1", "created [20,25]"}));
    }
    EXPECT_EQ(r.where.depth, 3);
    EXPECT_EQ(r.where.count, 1);

    // A split between the subtrees, which goes left and widens nothing.
    r = insertWatched(set, 15);
    EXPECT_EQ(r.log, (Log{"passed [10,25] RightSmallest 20 left", "reached 10*1 misses", "created 15*1", "created [10,15]"}));

    // A new smallest, widening every node on the way.
    r = insertWatched(set, 5);
    if (kRebuilds<int>) {
        EXPECT_EQ(r.log, (Log{"passed [10,25] RightSmallest 20 left", "passed [10,15] RightSmallest 15 left",
                              "reached 10*1 misses", "bound smallest 10->5", "bound smallest 10->5", "created 5*1",
                              "created [5,10]", "created [5,25]", "created [5,15]", "freed [10,25]", "freed [10,15]"}));
    } else {
        EXPECT_EQ(r.log, (Log{"passed [10,25] RightSmallest 20 left", "passed [10,15] RightSmallest 15 left",
                              "reached 10*1 misses", "bound smallest 10->5", "bound smallest 10->5", "created 5*1",
                              "created [5,10]"}));
    }

    // Again: the count, and nothing else.
    r = insertWatched(set, 20);
    EXPECT_EQ(r.log, (Log{"passed [5,25] RightSmallest 20 right", "passed [20,25] RightSmallest 25 left",
                          "reached 20*1 holds", "count 20 1->2"}));
    EXPECT_EQ(r.where.depth, 3);
    EXPECT_EQ(r.where.count, 2);

    // The first value of an empty set: no walk, one leaf made.
    BSTSET<int> empty;
    r = insertWatched(empty, 7);
    EXPECT_EQ(r.log, (Log{"created 7*1"}));
    EXPECT_EQ(r.where.depth, 1);
}

TEST(Observer, ARemovalReportsItsWalkThenEachChange) {
    BSTSET<int> set{10, 20, 30, 30};  // [10,30](10 [20,30](20 30*2))

    // One of two occurrences.
    Reported<int> r = removeWatched(set, 30, 1);
    EXPECT_EQ(r.log, (Log{"passed [10,30] LeftLargest 10 right", "passed [20,30] LeftLargest 20 right",
                          "reached 30*2 holds", "count 30 2->1"}));
    EXPECT_EQ(r.where.depth, 3);
    EXPECT_EQ(r.where.count, 1);

    // The last one: the leaf and its parent go, the sibling rises, and the
    // root's largest bound is refreshed.
    r = removeWatched(set, 30, 1);
    if (kRebuilds<int>) {
        EXPECT_EQ(r.log, (Log{"passed [10,30] LeftLargest 10 right", "passed [20,30] LeftLargest 20 right",
                              "reached 30*1 holds", "bound largest 30->20", "created [10,20]", "freed 30*1",
                              "freed [20,30]", "freed [10,30]"}));
    } else {
        EXPECT_EQ(r.log, (Log{"passed [10,30] LeftLargest 10 right", "passed [20,30] LeftLargest 20 right",
                              "reached 30*1 holds", "bound largest 30->20", "freed 30*1", "freed [20,30]"}));
    }
    EXPECT_EQ(r.where.depth, -1);
    EXPECT_EQ(r.where.count, 0);
    EXPECT_EQ(shapeOf(rootOf(set)), "[10,20](10*1 20*1 )");

    // Misses: outside the root's range, below and above; between the sides.
    r = removeWatched(set, 5, 0);
    EXPECT_EQ(r.log, (Log{"passed [10,20] OutsideRange 10 left"}));
    r = removeWatched(set, 40, 0);
    EXPECT_EQ(r.log, (Log{"passed [10,20] OutsideRange 20 left"}));
    r = removeWatched(set, 15, 0);
    EXPECT_EQ(r.log, (Log{"passed [10,20] BetweenSides 20 left"}));
    EXPECT_EQ(r.where.depth, -1);

    // The last value of all.
    set >> 10;
    r = removeWatched(set, 20, 1);
    EXPECT_EQ(r.log, (Log{"reached 20*1 holds", "freed 20*1"}));
    EXPECT_TRUE(set.empty());
}

TEST(Observer, ATreeThatHeldNotANumberIsReportedAsTheAlgorithmWalksIt) {
    // In [1,nan](1 [nan,5](nan 5)) a removal of 5 is routed by the left
    // child's largest: at the lower node 5 > nan is false, so it goes left
    // and misses at the leaf nan; on the way back every node passed
    // refreshes its bound, and the root's largest changes from nan to 5.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    BSTSET<double> set;
    set << 1.0;
    Reported<double> r = insertWatched(set, nan);
    EXPECT_EQ(r.log, (Log{"reached 1*1 misses", "created nan*1", "created [1,nan]"}));
    EXPECT_EQ(r.where.depth, -1);
    EXPECT_EQ(r.where.count, 0);
    r = insertWatched(set, 5.0);
    EXPECT_EQ(r.log, (Log{"passed [1,nan] RightSmallest nan right", "reached nan*1 misses", "created 5*1", "created [nan,5]"}));
    EXPECT_EQ(r.where.depth, 3);

    r = removeWatched(set, 5.0, 0);
    if (kRebuilds<double>) {
        EXPECT_EQ(r.log, (Log{"passed [1,nan] LeftLargest 1 right", "passed [nan,5] LeftLargest nan left",
                              "reached nan*1 misses", "bound largest nan->5", "bound smallest nan->nan", "created [1,5]",
                              "created [nan,5]", "freed [1,nan]", "freed [nan,5]"}));
    } else {
        EXPECT_EQ(r.log, (Log{"passed [1,nan] LeftLargest 1 right", "passed [nan,5] LeftLargest nan left",
                              "reached nan*1 misses", "bound largest nan->5", "bound smallest nan->nan"}));
    }
    EXPECT_EQ(r.where.depth, 3);  // a query for 5 still finds it
    EXPECT_EQ(r.where.count, 1);
    EXPECT_EQ(set.size(), 3u);
}

// Copies only, no assignment: bounds are changed by rebuilding the node.
using Fixed = orlo::testing::Constant;

TEST(Observer, ARebuiltNodeIsACopyCreatedAndTheOriginalFreed) {
    BSTSET<Fixed> set;
    set << Fixed(10) << Fixed(20);
    const Node<Fixed>* root = rootOf(set);
    Reported<Fixed> r = insertWatched(set, Fixed(25));
    EXPECT_EQ(r.log, (Log{"passed [10,20] RightSmallest 20 right", "reached 20*1 misses", "bound largest 20->25",
                          "created 25*1", "created [20,25]", "created [10,25]", "freed [10,20]"}));
    EXPECT_NE(rootOf(set), root);
    EXPECT_EQ(shapeOf(rootOf(set)), "[10,25](10*1 [20,25](20*1 25*1 ))");
}

TEST(Observer, AToolThatKeepsTheFreedNodesCanPutThemBack) {
    // What a journal does to take a removal back: the reports name every
    // node and bound it needs, and detail::Access gives it the rest.
    BSTSET<int> set{10, 20, 30};
    const std::string before = shapeOf(rootOf(set));
    Recorder<int, true> r;
    set.removeAndLocate(30, r);
    ASSERT_EQ(r.freedNodes.size(), kRebuilds<int> ? 3u : 2u);
    auto* leaf = static_cast<LeafNode<int>*>(r.freedNodes[0]);
    auto* parent = static_cast<InnerNode<int>*>(r.freedNodes[1]);
    EXPECT_EQ(leaf->value, 30);  // still readable: not destroyed
    EXPECT_EQ(parent->maxValue, 30);

    // The root's bound change, taken back: the original put back in its
    // copy's place, or the old value assigned again.
    auto* root = static_cast<InnerNode<int>*>(detail::Access::root(set));
    if (kRebuilds<int>) {
        auto* original = static_cast<InnerNode<int>*>(r.freedNodes[2]);
        original->left = root->left;
        original->right = root->right;
        root->left = root->right = nullptr;
        detail::Access::destroy(set, root);
        detail::Access::root(set) = root = original;
    } else {
        root->maxValue = 30;
    }
    // The walk went right twice: the parent hung on the root's right, where
    // the sibling rose, and the leaf was its right child.
    parent->left = root->right;
    parent->right = leaf;
    root->right = parent;
    ++detail::Access::size(set);
    detail::Access::invalidateIterators(set);
    EXPECT_EQ(shapeOf(rootOf(set)), before);
    EXPECT_EQ(testing::setProblem(set), "");

    // And a removal taken back for good: its nodes destroyed in the arena.
    Recorder<int, true> again;
    set.removeAndLocate(30, again);
    for (Node<int>* n : again.freedNodes) detail::Access::destroy(set, n);
    set.clear();
    EXPECT_EQ(set.memoryHeld(), 0u);
}

TEST(Observer, AnUpdateThatThrowsReportsNoChange) {
    BSTSET<int> set{7};
    int levels;
    detail::leafFor(rootOf(set), 7, levels)->multiplicity = INT_MAX;
    Recorder<int> r;
    EXPECT_THROW(set.insertAndLocate(7, r), std::length_error);
    EXPECT_EQ(r.log, (Log{"reached 7*2147483647 holds"}));
}

}  // namespace
}  // namespace orlo
