// The multiset and its tree: worked shapes, edge cases of single operations,
// and long randomized runs checked against std::multiset and against the
// recursive model after every change.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TreeCheck.h"
#include "bstset/BSTSET.h"

namespace orlo {
namespace {

using testing::Mirrored;
using testing::shapeOf;
using testing::treeIsSound;

template <typename T>
std::vector<T> listing(BSTSET<T>& set) {
    std::vector<T> values;
    for (auto it = set.begin(); it != set.end(); it++) values.push_back(*it);
    return values;
}

template <typename T>
InnerNode<T>* rootAsInner(BSTSET<T>& set) {
    EXPECT_NE(set.getRoot(), nullptr);
    EXPECT_EQ(set.getRoot()->getType(), 0);
    return static_cast<InnerNode<T>*>(set.getRoot());
}

// The allocator base adds nothing to a node.
static_assert(sizeof(LeafNode<int>) == sizeof(void*) + 2 * sizeof(int));
static_assert(sizeof(InnerNode<int>) == 3 * sizeof(void*) + 2 * sizeof(int));

TEST(WorkedShapes, SecondValueTurnsTheLeafIntoARoutingNode) {
    BSTSET<int> set;
    int five = 5, three = 3;
    set << five;
    set << three;
    InnerNode<int>* root = rootAsInner(set);
    EXPECT_EQ(root->minValue, 3);
    EXPECT_EQ(root->maxValue, 5);
    EXPECT_EQ(static_cast<LeafNode<int>*>(root->left)->value, 3);
    EXPECT_EQ(static_cast<LeafNode<int>*>(root->right)->value, 5);
    EXPECT_EQ(set[three], 2);
    EXPECT_EQ(set[five], 2);
}

TEST(WorkedShapes, AscendingValuesBuildARightChainAndRemovalLiftsTheSibling) {
    BSTSET<int> set;
    for (int v : {1, 2, 3}) set << v;
    int one = 1, two = 2, three = 3;
    EXPECT_EQ(set[one], 2);
    EXPECT_EQ(set[two], 3);
    EXPECT_EQ(set[three], 3);
    EXPECT_EQ(shapeOf(set.getRoot()), "[1,3](1*1 [2,3](2*1 3*1 ))");

    set >> two;
    EXPECT_EQ(shapeOf(set.getRoot()), "[1,3](1*1 3*1 )");
    EXPECT_EQ(set[three], 2);
    EXPECT_EQ(set[two], -1);
}

TEST(WorkedShapes, ValueBetweenTheSubtreesGoesLeft) {
    BSTSET<int> set;
    for (int v : {1, 10, 20, 5}) set << v;
    // 5 lies between the root's left subtree (1) and its right one (10, 20).
    EXPECT_EQ(shapeOf(set.getRoot()), "[1,20]([1,5](1*1 5*1 )[10,20](10*1 20*1 ))");
}

TEST(InvariantChecker, NoticesEachKindOfDamage) {
    // The checker is what every randomized test leans on; it must not pass
    // a broken tree.
    BSTSET<int> set;
    for (int v : {5, 1, 9, 7}) set << v;
    ASSERT_TRUE(treeIsSound(set.getRoot()));
    InnerNode<int>* root = rootAsInner(set);
    auto* lowest = static_cast<LeafNode<int>*>(root->left);

    root->maxValue = 8;  // a stale cached bound
    EXPECT_FALSE(treeIsSound(set.getRoot()));
    root->maxValue = 9;
    lowest->multiplicity = 0;
    EXPECT_FALSE(treeIsSound(set.getRoot()));
    lowest->multiplicity = 1;
    lowest->value = 6;  // out of order, though within the cached bounds below
    root->minValue = 6;
    EXPECT_FALSE(treeIsSound(set.getRoot()));
    lowest->value = 1;
    root->minValue = 1;
    EXPECT_TRUE(treeIsSound(set.getRoot()));
}

TEST(LeafNodeOperations, RepeatAndRemoveKeepTheSameNode) {
    int five = 5;
    auto* leaf = new LeafNode<int>(five);
    Node<int>* node = leaf->add(five);
    EXPECT_EQ(node, leaf);  // same value: one more occurrence, same node
    EXPECT_EQ(leaf->multiplicity, 2);
    node = node->del(five);
    EXPECT_EQ(node, leaf);
    EXPECT_EQ(leaf->multiplicity, 1);
    int other = 6;
    EXPECT_EQ(node->del(other), leaf);  // another value: unchanged
    EXPECT_EQ(node->del(five), nullptr);  // last occurrence: the leaf is gone
}

TEST(RemovalEdges, AbsentValuesChangeNothing) {
    BSTSET<int> set;
    for (int v : {10, 20, 30, 40}) set << v;
    // Below the smallest, above the largest, and in the gaps between the
    // subtrees of each routing node.
    const std::string before = shapeOf(set.getRoot());
    Node<int>* rootBefore = set.getRoot();
    for (int absent : {5, 45, 15, 25, 35}) {
        set >> absent;
        EXPECT_EQ(set.getRoot(), rootBefore) << absent;
        EXPECT_EQ(shapeOf(set.getRoot()), before) << absent;
        EXPECT_EQ(set[absent], -1);
        EXPECT_EQ(set(absent), 0);
    }
}

TEST(RemovalEdges, LastOccurrenceOfARootChildLiftsTheOtherChild) {
    BSTSET<int> set;
    for (int v : {5, 3, 8, 9}) set << v;
    int three = 3;
    Node<int>* rightChild = rootAsInner(set)->right;
    set >> three;
    EXPECT_EQ(set.getRoot(), rightChild);
    EXPECT_TRUE(treeIsSound(set.getRoot()));
}

TEST(RemovalEdges, BoundsAreRefreshedOnThePath) {
    BSTSET<int> set;
    for (int v : {1, 5, 9}) set << v;
    int nine = 9, one = 1, five = 5;
    set >> nine;
    EXPECT_EQ(rootAsInner(set)->maxValue, 5);
    set >> one;
    ASSERT_EQ(set.getRoot()->getType(), 1);
    EXPECT_EQ(set.getRoot()->leftMin(), 5);
    EXPECT_EQ(set[five], 1);
    set >> five;
    EXPECT_EQ(set.getRoot(), nullptr);
    EXPECT_EQ(set[five], -1);
    EXPECT_EQ(set(five), 0);
}

TEST(ElementTypes, StringsCompareByteWise) {
    BSTSET<std::string> set;
    for (std::string v : {"a", "B", "abc", "ab", "\xc3\xa9", "~"}) set << v;
    EXPECT_EQ(listing(set), (std::vector<std::string>{"B", "a", "ab", "abc", "~", "\xc3\xa9"}));
    EXPECT_TRUE(treeIsSound(set.getRoot()));
}

TEST(ElementTypes, ZeroAndNegativeZeroShareTheLeafOfTheFirstForm) {
    BSTSET<double> set;
    double five = 5, negativeZero = -0.0, zero = 0.0;
    set << five;
    set << negativeZero;
    set << zero;
    EXPECT_EQ(set(zero), 2);
    EXPECT_EQ(set[zero], 2);
    const std::vector<double> values = listing(set);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_TRUE(std::signbit(values[0]));
    set >> zero;
    set >> zero;
    EXPECT_EQ(listing(set), std::vector<double>{5});
}

TEST(ElementTypes, NotANumberIsAppendedAndNeverFound) {
    // The query shortcut must not answer for a value that equals nothing:
    // every answer here has to agree with a plain walk of the tree.
    BSTSET<double> set;
    double nan = std::nan(""), one = 1, two = 2;
    set << one;
    set << nan;
    EXPECT_EQ(set[nan], -1);
    EXPECT_EQ(set(nan), 0);
    set << nan;
    EXPECT_EQ(set[nan], -1);
    set << two;
    EXPECT_EQ(set[two], set.getRoot()->depth(two));
    EXPECT_EQ(set(two), set.getRoot()->count(two));
    set >> nan;
    EXPECT_EQ(set(nan), 0);
    EXPECT_EQ(listing(set).size(), 4u);

    // A moved set keeps answering by walking. Below a routing node whose
    // right subtree starts with NaN, where an insertion ends and where a
    // query walks part ways: the shortcut would claim the value is held.
    BSTSET<double> source;
    double three = 3;
    source << three;
    source << nan;
    BSTSET<double> moved(std::move(source));
    moved << one;
    EXPECT_EQ(moved[one], moved.getRoot()->depth(one));
    EXPECT_EQ(moved(one), moved.getRoot()->count(one));
    BSTSET<double> assigned;
    assigned = std::move(moved);
    assigned << one;
    EXPECT_EQ(assigned[one], assigned.getRoot()->depth(one));
    EXPECT_EQ(source.getRoot(), nullptr);
    EXPECT_EQ(source[three], -1);
}

// The same operations on BSTSET, std::multiset and the recursive model.
// After every change the tree must be sound, must have exactly the model's
// shape (so the iterative algorithms never drift from the recursive ones),
// and the two queries must agree with the model and the multiset.
class AgainstReference : public ::testing::TestWithParam<const char*> {
protected:
    struct Op {
        bool add;
        int value;
    };

    static std::vector<Op> workload(const std::string& kind, std::mt19937& rng) {
        std::vector<Op> ops;
        const int n = 400;
        if (kind == "sorted" || kind == "reverse") {
            for (int i = 0; i < n; ++i) ops.push_back({true, kind == "sorted" ? i : n - i});
            for (int i = 0; i < n; ++i) ops.push_back({false, kind == "sorted" ? n - i : i});
        } else if (kind == "random") {
            std::uniform_int_distribution<int> value(-1000, 1000);
            std::bernoulli_distribution add(0.6);
            for (int i = 0; i < 3 * n; ++i) ops.push_back({add(rng), value(rng)});
        } else {  // duplicates: few values, many occurrences
            std::uniform_int_distribution<int> value(0, 9);
            std::bernoulli_distribution add(0.55);
            for (int i = 0; i < 3 * n; ++i) ops.push_back({add(rng), value(rng)});
        }
        return ops;
    }
};

TEST_P(AgainstReference, EveryStepMatches) {
    for (unsigned seed = 1; seed <= 5; ++seed) {
        std::mt19937 rng(seed);
        Mirrored<int> trees;
        for (const Op& op : workload(GetParam(), rng)) {
            trees.apply(op.add, op.value);
            ASSERT_TRUE(trees.agreeAbout(op.value)) << (op.add ? "after ADD " : "after DEL ") << op.value;
            // A value other than the one just changed answers by walking.
            ASSERT_TRUE(trees.agreeAbout(op.value + 1));
        }
        EXPECT_EQ(listing(trees.set), trees.distinct());
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, AgainstReference, ::testing::Values("sorted", "reverse", "random", "duplicates"),
                         [](const auto& info) { return std::string(info.param); });

TEST(AgainstReferenceStrings, RandomWordsMatch) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> length(0, 4), letter('A', 'c');
    Mirrored<std::string> trees;
    for (int i = 0; i < 1500; ++i) {
        std::string v;
        for (int k = length(rng); k > 0; --k) v.push_back(static_cast<char>(letter(rng)));
        trees.apply(rng() % 3 != 0, v);
        ASSERT_TRUE(trees.agreeAbout(v));
    }
    EXPECT_EQ(listing(trees.set), trees.distinct());
}

// Runs body on a thread whose whole stack is 64 KiB.
void onSmallStack(const std::function<void()>& body) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, 64 * 1024), 0);
    pthread_t thread;
    auto run = [](void* arg) -> void* {
        (*static_cast<const std::function<void()>*>(arg))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(TallTrees, EveryOperationRunsInSmallStack) {
    // A recursive operation, iterator step or destructor would overflow this
    // stack long before the chain of 30,000 routing nodes is walked.
    constexpr int n = 30000;
    bool finished = false;
    onSmallStack([&] {
        auto set = std::make_unique<BSTSET<int>>();
        for (int i = 0; i < n; ++i) *set << i;
        int deepest = n - 1;
        if ((*set)[deepest] != n || (*set)(deepest) != 1) return;
        int count = 0;
        for (auto it = set->begin(); it != set->end(); it++) ++count;
        if (count != n) return;
        for (int i = n - 1; i >= n / 2; --i) *set >> i;  // each from the bottom of the chain
        auto reversed = std::make_unique<BSTSET<int>>();
        for (int i = n; i > 0; --i) *reversed << i;  // a left chain this time
        set.reset();
        reversed.reset();
        finished = true;
    });
    EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace orlo
