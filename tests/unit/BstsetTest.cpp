// The multiset and its tree: worked shapes, edge cases of single operations,
// and long randomized runs checked against std::multiset and against the
// recursive model after every change.
#include <gtest/gtest.h>
#include <pthread.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <ostream>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "ElementTypes.h"
#include "TreeCheck.h"
#include "bstset/BSTSET.h"
#include "bstset/ReadAhead.h"

namespace orlo {
namespace {

using testing::Mirrored;
using testing::rootOf;
using testing::shapeOf;
using testing::treeIsSound;

std::size_t walksUnderWay(const ReadAheadSet<int>& set) {
    const auto* walks = detail::Access::walks(set);
    return walks == nullptr ? 0 : walks->underWay();
}

template <typename T>
std::vector<T> listing(BSTSET<T>& set) {
    std::vector<T> values;
    for (auto it = set.begin(); it != set.end(); it++) values.push_back(*it);
    return values;
}

/// The nodes a query for v walks through, root first.
template <typename T>
std::vector<Node<T>*> pathTo(Node<T>* n, const T& v) {
    std::vector<Node<T>*> path{n};
    while (n->getType() == 0) {
        n = v < n->getRight()->leftMin() ? n->getLeft() : n->getRight();
        path.push_back(n);
    }
    return path;
}

template <typename T>
InnerNode<T>* rootAsInner(BSTSET<T>& set) {
    EXPECT_NE(rootOf(set), nullptr);
    EXPECT_EQ(rootOf(set)->getType(), 0);
    return static_cast<InnerNode<T>*>(rootOf(set));
}

// Nodes carry nothing beyond their designed fields.
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
    EXPECT_EQ(shapeOf(rootOf(set)), "[1,3](1*1 [2,3](2*1 3*1 ))");

    set >> two;
    EXPECT_EQ(shapeOf(rootOf(set)), "[1,3](1*1 3*1 )");
    EXPECT_EQ(set[three], 2);
    EXPECT_EQ(set[two], -1);
}

TEST(WorkedShapes, ValueBetweenTheSubtreesGoesLeft) {
    BSTSET<int> set;
    for (int v : {1, 10, 20, 5}) set << v;
    // 5 lies between the root's left subtree (1) and its right one (10, 20).
    EXPECT_EQ(shapeOf(rootOf(set)), "[1,20]([1,5](1*1 5*1 )[10,20](10*1 20*1 ))");
}

TEST(InvariantChecker, NoticesEachKindOfDamage) {
    // The checker is what every randomized test leans on; it must not pass
    // a broken tree.
    BSTSET<int> set;
    for (int v : {5, 1, 9, 7}) set << v;
    ASSERT_TRUE(treeIsSound(rootOf(set)));
    InnerNode<int>* root = rootAsInner(set);
    auto* lowest = static_cast<LeafNode<int>*>(root->left);

    root->maxValue = 8;  // a stale cached bound
    EXPECT_FALSE(treeIsSound(rootOf(set)));
    root->maxValue = 9;
    lowest->multiplicity = 0;
    EXPECT_FALSE(treeIsSound(rootOf(set)));
    lowest->multiplicity = 1;
    lowest->value = 6;  // out of order, though within the cached bounds below
    root->minValue = 6;
    EXPECT_FALSE(treeIsSound(rootOf(set)));
    lowest->value = 1;
    root->minValue = 1;
    EXPECT_TRUE(treeIsSound(rootOf(set)));
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
    const std::string before = shapeOf(rootOf(set));
    Node<int>* rootBefore = rootOf(set);
    for (int absent : {5, 45, 15, 25, 35}) {
        set >> absent;
        EXPECT_EQ(rootOf(set), rootBefore) << absent;
        EXPECT_EQ(shapeOf(rootOf(set)), before) << absent;
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
    EXPECT_EQ(rootOf(set), rightChild);
    EXPECT_TRUE(treeIsSound(rootOf(set)));
}

TEST(RemovalEdges, BoundsAreRefreshedOnThePath) {
    BSTSET<int> set;
    for (int v : {1, 5, 9}) set << v;
    int nine = 9, one = 1, five = 5;
    set >> nine;
    EXPECT_EQ(rootAsInner(set)->maxValue, 5);
    set >> one;
    ASSERT_EQ(rootOf(set)->getType(), 1);
    EXPECT_EQ(rootOf(set)->leftMin(), 5);
    EXPECT_EQ(set[five], 1);
    set >> five;
    EXPECT_EQ(rootOf(set), nullptr);
    EXPECT_EQ(set[five], -1);
    EXPECT_EQ(set(five), 0);
}

TEST(ElementTypes, StringsCompareByteWise) {
    BSTSET<std::string> set;
    for (std::string v : {"a", "B", "abc", "ab", "\xc3\xa9", "~"}) set << v;
    EXPECT_EQ(listing(set), (std::vector<std::string>{"B", "a", "ab", "abc", "~", "\xc3\xa9"}));
    EXPECT_TRUE(treeIsSound(rootOf(set)));
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
    EXPECT_EQ(set[two], rootOf(set)->depth(two));
    EXPECT_EQ(set(two), rootOf(set)->count(two));
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
    EXPECT_EQ(moved[one], rootOf(moved)->depth(one));
    EXPECT_EQ(moved(one), rootOf(moved)->count(one));
    BSTSET<double> assigned;
    assigned = std::move(moved);
    assigned << one;
    EXPECT_EQ(assigned[one], rootOf(assigned)->depth(one));
    EXPECT_EQ(rootOf(source), nullptr);
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
        int step = 0;
        for (const Op& op : workload(GetParam(), rng)) {
            trees.apply(op.add, op.value);
            ASSERT_TRUE(trees.agreeAbout(op.value)) << (op.add ? "after ADD " : "after DEL ") << op.value;
            // A value other than the one just changed answers by walking.
            ASSERT_TRUE(trees.agreeAbout(op.value + 1));
            if (++step % 97 == 0) {
                ASSERT_TRUE(trees.moveAround(op.value));
                ASSERT_TRUE(trees.agreeAbout(op.value)) << "after moving the set around";
            }
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

// Element types that watch what the tree does with their copies.

// Counts its live copies: every copy the tree makes must die exactly once.
// It has no default constructor, which the tree must not need.
struct Counted : testing::OrderedByV<Counted> {
    int v;
    static inline long live = 0;
    explicit Counted(int x) : v(x) { ++live; }
    Counted(const Counted& o) : v(o.v) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
};

/// Values the tree stores: one per leaf, two per routing node.
template <typename T>
long storedValues(Node<T>* root) {
    long values = 0;
    std::vector<Node<T>*> stack;
    if (root != nullptr) stack.push_back(root);
    while (!stack.empty()) {
        Node<T>* n = stack.back();
        stack.pop_back();
        values += n->getType() == 1 ? 1 : 2;
        if (n->getType() == 0) {
            stack.push_back(n->getLeft());
            stack.push_back(n->getRight());
        }
    }
    return values;
}

TEST(ElementLifetimes, EveryCopyDiesExactlyOnceAndNoneOutlivesItsValue) {
    // Hunts leaks on removal (a routing node or bound not destroyed), double
    // destruction (a node freed twice), and copies kept beyond the tree: a
    // value removed must not stay alive in the set (a 64 MiB string or a
    // shared_ptr held on to after its removal and a clear()).
    Counted::live = 0;
    {
        std::mt19937 rng(11);
        BSTSET<Counted> set;
        std::multiset<int> reference;
        for (int i = 0; i < 3000; ++i) {
            const int x = static_cast<int>(rng() % 200);
            const bool add = rng() % 5 < 3;
            {
                const Counted c(x);
                if (add) {
                    set << c;
                    reference.insert(x);
                } else {
                    set >> c;
                    if (auto it = reference.find(x); it != reference.end()) reference.erase(it);
                }
            }
            ASSERT_EQ(Counted::live, storedValues(rootOf(set))) << "after step " << i;
            ASSERT_EQ(set.size(), reference.size());
        }
        set.clear();
        EXPECT_EQ(Counted::live, 0);
        set << Counted(3);
        BSTSET<Counted> other(std::move(set));
        EXPECT_EQ(Counted::live, 1);
    }
    EXPECT_EQ(Counted::live, 0);

    auto p = std::make_shared<int>(7);
    BSTSET<std::shared_ptr<int>> pointers;
    pointers << p;
    pointers >> p;
    EXPECT_EQ(p.use_count(), 1);
    pointers << p << p;
    pointers.clear();
    EXPECT_EQ(p.use_count(), 1);
}

TEST(ElementLifetimes, AHintKeepsNoCopyOfItsValue) {
    // Hunts an early walk's copy of its value that outlives the walk: a
    // shared_ptr that a hint keeps alive after the set has been cleared.
    ReadAheadSet<std::shared_ptr<int>> set;
    std::vector<std::shared_ptr<int>> held;
    for (int i = 0; i < 60000; ++i) held.push_back(std::make_shared<int>(i));
    // Pointers order by address: shuffled, they make a bushy tree, not a chain.
    std::shuffle(held.begin(), held.end(), std::mt19937(4));
    for (const auto& p : held) set << p;
    ASSERT_GT(set.contents().memoryHeld(), std::size_t{4} << 20);  // large enough for walks to pay
    const auto hinted = std::make_shared<int>(-1);
    for (int i = 0; i < 40; ++i) set.prefetch(i % 2 == 0 ? hinted : held[static_cast<std::size_t>(i) * 997]);
    EXPECT_EQ(hinted.use_count(), 1);
    set.clear();
    EXPECT_EQ(hinted.use_count(), 1);
}

// A value that reads what it names whenever it is compared, as
// std::string_view reads its characters: compared once what it names is
// gone, it would read freed memory. Here what it names stays, marked gone,
// so the test sees the read. Trivially copyable, like a view.
struct Named {
    struct Text {
        int value;
        bool gone = false;
    };
    const Text* text;
    static inline bool readGone = false;
    int read() const {
        readGone = readGone || text->gone;
        return text->value;
    }
    bool operator<(const Named& o) const { return read() < o.read(); }
    bool operator>(const Named& o) const { return read() > o.read(); }
    bool operator==(const Named& o) const { return read() == o.read(); }
    bool operator!=(const Named& o) const { return read() != o.read(); }
};
static_assert(std::is_trivially_copyable_v<Named>);

TEST(ElementLifetimes, AValueThatViewsOtherMemoryIsNotComparedAfterItsOperation) {
    // Hunts a copy of an updated or hinted value kept by the set and
    // compared later: BSTSET<std::string_view> read freed memory when an
    // absent value was kept to answer queries after its removal, and when a
    // hint's walk kept the view of a temporary string.
    std::deque<Named::Text> texts;  // even values, held
    for (int i = 0; i < 120000; ++i) texts.push_back({2 * i});
    std::vector<Named> order;
    for (const Named::Text& t : texts) order.push_back({&t});
    std::shuffle(order.begin(), order.end(), std::mt19937(8));
    ReadAheadSet<Named> set;
    for (const Named& v : order) set << v;
    ASSERT_GT(set.contents().memoryHeld(), std::size_t{4} << 20);  // large enough for walks to pay
    std::deque<Named::Text> temporaries;                          // odd values, gone after use
    Named::readGone = false;
    for (int i = 0; i < 64; ++i) {
        temporaries.push_back({2 * i + 1});
        const Named passing{&temporaries.back()};
        if (i % 2 == 0) {
            set >> passing;
        } else {
            set.prefetch(passing);
        }
        temporaries.back().gone = true;
        const Named held = order[static_cast<std::size_t>(i) * 101];
        set.prefetch(held);
        ASSERT_EQ(set(held), 1);
        ASSERT_GE(set[held], 1);
        set << held;
    }
    EXPECT_FALSE(Named::readGone);
}

// Element types whose copies, assignments and comparisons can be made to
// throw (each kind as its parameter says), at a countdown shared by all, and
// which count their live copies and every time a value is touched. INT_MIN
// stands for a value unequal to itself, as NaN is: every comparison with it
// is false, but !=.
struct Injected : std::runtime_error {
    Injected() : std::runtime_error("injected fault") {}
};
struct Faults {
    static inline int countdown = 0;  // 0: off; n: the n-th fault point from now throws
    static inline long live = 0;
    static inline long touches = 0;   // copies, assignments and moves
    static void point() {
        if (countdown > 0 && --countdown == 0) throw Injected();
    }
};
enum FaultKind : unsigned { kCopyThrows = 1, kAssignThrows = 2, kCompareThrows = 4, kNothrowMoves = 8 };

template <unsigned K>
struct Faulty {
    int v;
    explicit Faulty(int x) : v(x) { ++Faults::live; }
    Faulty(const Faulty& o) noexcept(!(K & kCopyThrows)) : v(o.v) {
        if constexpr ((K & kCopyThrows) != 0) Faults::point();
        ++Faults::live;
        ++Faults::touches;
    }
    Faulty& operator=(const Faulty& o) noexcept(!(K & kAssignThrows)) {
        if constexpr ((K & kAssignThrows) != 0) Faults::point();
        v = o.v;
        ++Faults::touches;
        return *this;
    }
    ~Faulty() { --Faults::live; }
    static bool compared() noexcept(!(K & kCompareThrows)) {
        if constexpr ((K & kCompareThrows) != 0) Faults::point();
        return true;
    }
    bool operator<(const Faulty& o) const noexcept(!(K & kCompareThrows)) { return compared() && ordered(o) && v < o.v; }
    bool operator>(const Faulty& o) const noexcept(!(K & kCompareThrows)) { return compared() && ordered(o) && v > o.v; }
    bool operator==(const Faulty& o) const noexcept(!(K & kCompareThrows)) { return compared() && ordered(o) && v == o.v; }
    bool operator!=(const Faulty& o) const noexcept(!(K & kCompareThrows)) { return compared() && !(ordered(o) && v == o.v); }
    bool ordered(const Faulty& o) const noexcept { return v != INT_MIN && o.v != INT_MIN; }
};
template <unsigned K>
std::ostream& operator<<(std::ostream& out, const Faulty<K>& f) {
    return f.v == INT_MIN ? out << "nan" : out << f.v;
}

// The same, with moves that cannot throw, as is usual for such types (the
// set can then move new bounds in).
template <unsigned K>
struct Movable : Faulty<K> {
    using Faulty<K>::Faulty;
    Movable(const Movable&) = default;
    Movable(Movable&& o) noexcept : Faulty<K>(o.v) { ++Faults::touches; }
    Movable& operator=(const Movable&) = default;
    Movable& operator=(Movable&& o) noexcept {
        this->v = o.v;
        ++Faults::touches;
        return *this;
    }
};

template <typename T>
class ExceptionSafety : public ::testing::Test {};
using FaultyTypes = ::testing::Types<Movable<kCopyThrows | kAssignThrows>,  // new bounds are moved in
                                     Faulty<kCopyThrows | kAssignThrows>,   // copy-only: nodes are rebuilt
                                     Faulty<kCompareThrows>,                // assigned; comparisons throw
                                     Faulty<kCopyThrows | kAssignThrows | kCompareThrows>>;
// Named after how each type's bounds change; naming them also gives the
// macro's variadic part an argument, which clang's -Wpedantic asks for.
struct FaultyTypeNames {
    template <typename T>
    static std::string GetName(int i) {
        static const char* const kNames[] = {"MovedIn", "Rebuilt", "AssignedComparisonsThrow", "RebuiltComparisonsThrow"};
        return kNames[i];
    }
};
TYPED_TEST_SUITE(ExceptionSafety, FaultyTypes, FaultyTypeNames);

TYPED_TEST(ExceptionSafety, AnUpdateThatThrowsChangesNothingAndLeaksNothing) {
    // Hunts an update that throws half-way and leaves something behind: a
    // bound widened (or refreshed) for a value the tree then failed to store,
    // a leaf linked in or counted that size() does not count, new nodes or
    // copies leaked when a comparison throws, and moves or swaps that touch
    // an element. Every fault point an update passes is made to throw in
    // turn; after each throw the set must be exactly as before, whole and
    // consistent, and every copy it made gone.
    using T = TypeParam;
    std::mt19937 rng(5);
    Faults::countdown = 0;
    Faults::live = 0;
    {
        BSTSET<T> set;
        testing::RecursiveModel<double> model;  // INT_MIN as NaN
        bool ordered = true;
        int throws = 0;
        for (int i = 0; i < 3000; ++i) {
            // A value unequal to itself now and then in the last third, so
            // the plain walks of an unordered tree are covered too.
            const bool unequal = i > 2000 && rng() % 40 == 0;
            const T value(unequal ? INT_MIN : static_cast<int>(rng() % 300) - 150);
            const double same = unequal ? std::nan("") : value.v;
            const unsigned kind = rng() % 10;  // 0-5 add, 6-8 remove one, 9 erase
            const std::string before = shapeOf(rootOf(set));
            const std::size_t sizeBefore = set.size();
            Faults::countdown = rng() % 2 == 0 ? 0 : 1 + static_cast<int>(rng() % 8);
            bool threw = false;
            try {
                if (kind < 6) {
                    set << value;
                } else if (kind < 9 || !ordered) {
                    set >> value;
                } else {
                    set.erase(value);
                }
            } catch (const Injected&) {
                threw = true;
            }
            Faults::countdown = 0;
            if (!threw && kind < 6 && unequal) ordered = false;
            const std::string step = "step " + std::to_string(i) + (threw ? ", which threw" : "");
            ASSERT_EQ(Faults::live, storedValues(rootOf(set)) + 1) << step;  // + 1: `value`
            if (ordered) {
                ASSERT_EQ(testing::setProblem(set), "") << step;
            }
            if (threw) {
                ++throws;
                ASSERT_EQ(shapeOf(rootOf(set)), before) << step;
                ASSERT_EQ(set.size(), sizeBefore) << step;
                continue;
            }
            if (kind < 6) {
                model.add(same);
            } else if (kind < 9 || !ordered) {
                model.del(same);
            } else {
                for (int n = model.count(same); n > 0; --n) model.del(same);
            }
            ASSERT_EQ(shapeOf(rootOf(set)), model.shape()) << step;
            if (i % 50 == 0) {
                // Moves and swaps touch no element (a copy that throws in a
                // noexcept move would end the program).
                const long touches = Faults::touches;
                BSTSET<T> moved(std::move(set));
                BSTSET<T> other;
                swap(moved, other);
                set = std::move(other);
                ASSERT_EQ(Faults::touches, touches) << step;
                ASSERT_EQ(shapeOf(rootOf(set)), model.shape()) << step;
            }
        }
        EXPECT_GT(throws, 200);
        EXPECT_GT(set.size(), 100u);  // the tree grew tall enough to widen runs of bounds
        set.clear();
        EXPECT_EQ(set.memoryHeld(), 0u);
    }
    EXPECT_EQ(Faults::live, 0);
}

TEST(ExceptionSafety, AComparisonThatThrowsLeavesNoNodeBehind) {
    // The case that leaked: 20 into {10}, with each of the first comparisons
    // throwing in turn. The new leaf and routing node must go, and once 10 is
    // removed the set must hold no memory.
    using K = Faulty<kCompareThrows>;
    Faults::live = 0;
    for (int at = 1; at <= 8; ++at) {
        BSTSET<K> set;
        set << K(10);
        Faults::countdown = at;
        try {
            set << K(20);
        } catch (const Injected&) {
        }
        Faults::countdown = 0;
        ASSERT_EQ(testing::setProblem(set), "") << "comparison " << at;
        set >> K(10);
        if (set.contains(K(20))) set >> K(20);
        EXPECT_TRUE(set.empty()) << "comparison " << at;
        EXPECT_EQ(set.memoryHeld(), 0u) << "comparison " << at;
        EXPECT_EQ(Faults::live, 0) << "comparison " << at;
    }
}

TYPED_TEST(ExceptionSafety, EveryOperationOnASmallTreeThrowsWithoutAChange) {
    // Hunts an operation that compares or allocates after its change:
    // insert(v) finding the position it returns, an update locating v
    // afterwards in a tree that has held a value unequal to itself. Each
    // fault point of each operation throws in turn, on trees small enough
    // for the last comparisons to be reached.
    using T = TypeParam;
    const std::vector<std::vector<int>> trees = {{10, 20, 30, 20}, {10, INT_MIN, 20, 30}, {INT_MIN, 10}};
    const std::vector<std::function<void(BSTSET<T>&, const T&)>> operations = {
        [](BSTSET<T>& s, const T& v) { s << v; },
        [](BSTSET<T>& s, const T& v) { s >> v; },
        [](BSTSET<T>& s, const T& v) { s.erase(v); },
        [](BSTSET<T>& s, const T& v) { s.insertAndLocate(v); },
        [](BSTSET<T>& s, const T& v) { s.removeAndLocate(v); },
        [](BSTSET<T>& s, const T& v) {
            const auto at = s.insert(v);
            Faults::countdown = 0;  // the check below is the test's
            if (at == s.end() || (*at).v != v.v) throw std::logic_error("insert(v) returned another position");
        },
        [](BSTSET<T>& s, const T& v) { s.insert(s.end(), v); },
    };
    Faults::countdown = 0;
    Faults::live = 0;
    for (const std::vector<int>& values : trees) {
        for (std::size_t op = 0; op < operations.size(); ++op) {
            for (const int x : {20, 25, 5, 35, INT_MIN}) {
                for (int at = 1;; ++at) {
                    BSTSET<T> set;
                    for (int v : values) set << T(v);
                    const std::string before = shapeOf(rootOf(set));
                    const std::size_t size = set.size();
                    const T value(x);
                    Faults::countdown = at;
                    bool threw = false;
                    try {
                        operations[op](set, value);
                    } catch (const Injected&) {
                        threw = true;
                    }
                    Faults::countdown = 0;
                    const std::string step = "operation " + std::to_string(op) + " of " + testing::text(x) + " on " +
                                             before + ", fault point " + std::to_string(at);
                    ASSERT_EQ(Faults::live, storedValues(rootOf(set)) + 1) << step;
                    if (!threw) break;
                    ASSERT_EQ(shapeOf(rootOf(set)), before) << step;
                    ASSERT_EQ(set.size(), size) << step;
                }
            }
        }
    }
}

TEST(ExceptionSafety, ACountThatWouldPassIntMaxThrowsAndChangesNothing) {
    for (const bool rootLeaf : {true, false}) {
        BSTSET<int> set;
        const std::vector<int> values = rootLeaf ? std::vector<int>{7} : std::vector<int>{5, 1, 9, 7, 8};
        for (int v : values) set << v;
        int levels;
        LeafNode<int>* leaf = detail::leafFor(rootOf(set), 7, levels);
        leaf->multiplicity = INT_MAX - 1;
        set << 7;
        EXPECT_EQ(set(7), INT_MAX);
        const std::string before = shapeOf(rootOf(set));
        const std::size_t size = set.size();
        EXPECT_THROW(set << 7, std::length_error);
        EXPECT_EQ(shapeOf(rootOf(set)), before);
        EXPECT_EQ(set.size(), size);
        EXPECT_EQ(set(7), INT_MAX);
        EXPECT_EQ(set[7], levels + 1);
        set >> 7;
        EXPECT_EQ(set(7), INT_MAX - 1);
    }
}

TEST(Aliasing, AnArgumentMayReferIntoTheSet) {
    // Hunts a removal that reads its argument after freeing the leaf that
    // holds it (under AddressSanitizer: heap-use-after-free).
    BSTSET<std::string> words;
    const std::vector<std::string> held = {"a fairly long word to leave the small buffer", "b another long word, also on the heap",
                                           "c yet another word that will not fit inline"};
    for (const std::string& w : held) words << w;
    words << *words.begin();  // the smallest, twice now
    EXPECT_EQ(words(held[0]), 2);
    words >> *words.begin();
    words >> *words.begin();  // its leaf goes with this one
    EXPECT_FALSE(words.contains(held[0]));
    EXPECT_EQ(words[held[0]], -1);
    EXPECT_EQ(words.size(), 2u);
    EXPECT_TRUE(words.removeOne(*words.find(held[2])));
    EXPECT_EQ(std::vector<std::string>(words.begin(), words.end()), std::vector<std::string>{held[1]});
    words >> *words.begin();
    EXPECT_TRUE(words.empty());
}

// Removes one occurrence of `value` from `other` when it dies: an element
// whose destructor runs code that uses another set.
struct Evicting : testing::OrderedByV<Evicting> {
    int v;
    BSTSET<int>* other;
    static constexpr int kDeep = 299;
    Evicting(int x, BSTSET<int>* o) : v(x), other(o) {}
    Evicting(const Evicting&) = default;
    Evicting& operator=(const Evicting&) = default;
    ~Evicting() {
        if (other != nullptr) *other >> kDeep;
    }
};
std::ostream& operator<<(std::ostream& out, const Evicting& e) { return out << e.v; }

TEST(Reentrancy, ARemovalMayRunCodeThatRemovesFromAnotherSet) {
    // Hunts walks that share one path buffer: the inner removal walks a
    // taller tree than the outer one, which used to reallocate the buffer
    // under the outer removal's feet.
    BSTSET<int> other;
    for (int i = 0; i <= Evicting::kDeep; ++i) other << i;
    int levels;
    detail::leafFor(rootOf(other), Evicting::kDeep, levels)->multiplicity = 1000000;
    {
        BSTSET<Evicting> outer;
        for (int i = 0; i < 100; ++i) outer << Evicting(i, &other);
        for (int i = 99; i >= 50; --i) outer >> Evicting(i, nullptr);  // each from the bottom of the chain
        EXPECT_TRUE(treeIsSound(rootOf(outer)));
        std::vector<int> left;
        for (const Evicting& e : outer) left.push_back(e.v);
        std::vector<int> expected(50);
        for (int i = 0; i < 50; ++i) expected[i] = i;
        EXPECT_EQ(left, expected);
    }
    EXPECT_TRUE(treeIsSound(rootOf(other)));
    EXPECT_LT(other(Evicting::kDeep), 1000000);
    // Every occurrence the destructors took away is gone from the size too.
    EXPECT_EQ(static_cast<long>(other.size()) - 300, static_cast<long>(other(Evicting::kDeep)) - 1000000);
}

// Its destructor, while armed, checks that the set counts exactly the
// occurrences its leaves hold. Its copy assignment may throw and its swap
// cannot, so new bounds are moved in, and an insertion that widens a bound
// destroys the old value.
struct Tallied : testing::OrderedByV<Tallied> {
    int v;
    static inline const BSTSET<Tallied>* set = nullptr;
    static inline int miscounts = 0;
    static inline int checks = 0;
    explicit Tallied(int x) : v(x) {}
    Tallied(const Tallied&) = default;
    Tallied(Tallied&&) noexcept = default;
    Tallied& operator=(const Tallied& o) noexcept(false) {
        v = o.v;
        return *this;
    }
    Tallied& operator=(Tallied&&) noexcept = default;
    ~Tallied() {
        if (set == nullptr) return;
        ++checks;
        std::size_t held = 0;
        set->visit([&](const auto& node) { held += static_cast<std::size_t>(node.count); });
        if (held != set->size()) ++miscounts;
    }
};

TEST(Reentrancy, AnElementsDestructorSeesTheUpdateCounted) {
    // Hunts a value destroyed before the set has counted the update that
    // took it out: a bound swapped out by an insertion, a leaf removed.
    BSTSET<Tallied> set;
    const std::vector<Tallied> values = {Tallied(5), Tallied(9), Tallied(1), Tallied(12), Tallied(0), Tallied(9)};
    Tallied::set = &set;
    Tallied::miscounts = Tallied::checks = 0;
    for (const Tallied& v : values) set << v;  // 9, 12 and 0 widen bounds
    for (const Tallied& v : values) set >> v;
    Tallied::set = nullptr;
    EXPECT_GT(Tallied::checks, 5);
    EXPECT_EQ(Tallied::miscounts, 0);
}

// Doubles including NaN, which equals nothing: once a tree has held one,
// every walk must take exactly the comparisons of the plain formulation.
TEST(Unordered, NotANumberFollowsThePlainComparisons) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    {
        BSTSET<double> set;
        for (double v : {1.0, nan, 5.0}) set << v;
        set >> 5.0;  // routed by the children's bounds, 5 is not reached
        EXPECT_EQ(set[5.0], 3);
        EXPECT_EQ(set(5.0), 1);
    }
    const std::vector<double> pool = {1, 2, 3, 4, 5, 6, 7, 8, -0.0, 0.0, nan};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        BSTSET<double> set;
        testing::RecursiveModel<double> model;
        for (int i = 0; i < 300; ++i) {
            // NaN only now and then, so ordered stretches come first.
            double v = pool[rng() % (pool.size() - 1)];
            if (rng() % 40 == 0) v = nan;
            if (rng() % 3 != 0) {
                set << v;
                model.add(v);
            } else {
                set >> v;
                model.del(v);
            }
            ASSERT_EQ(shapeOf(rootOf(set)), model.shape()) << "seed " << seed << ", step " << i;
            for (double probe : {v, 4.5, 1.0, 8.0}) {
                ASSERT_EQ(set[probe], model.depth(probe)) << probe;
                ASSERT_EQ(set(probe), model.count(probe)) << probe;
            }
        }
        const std::vector<double> values = model.values();
        std::vector<double> walked(set.begin(), set.end());
        ASSERT_EQ(walked.size(), values.size());
        BSTSET<double> moved(std::move(set));
        moved << 4.5;
        model.add(4.5);
        ASSERT_EQ(shapeOf(rootOf(moved)), model.shape()) << "after a move, seed " << seed;
    }
}

// Hints of upcoming values, 31 operations ahead as the interpreter gives
// them, on a tree large enough for the walks to run. Hunts a walk left
// holding a node a removal has freed (checked after every removal, and under
// AddressSanitizer a read of one is reported too), and a hint that changes a
// shape or an answer.
TEST(EarlyWalks, HintsChangeNothingAndNeverTouchFreedNodes) {
    std::mt19937 rng(11);
    auto fresh = [&rng] { return static_cast<int>(rng() >> 1); };
    ReadAheadSet<int> hinted;
    BSTSET<int> plain;
    std::vector<int> held;
    for (int i = 0; i < 150000; ++i) {
        const int v = fresh();
        hinted << v;
        plain << v;
        held.push_back(v);
    }
    struct Op {
        bool add;
        int value;
    };
    std::vector<Op> ops;
    std::vector<int> recent;  // inserted by the last few operations
    for (int i = 0; i < 40000; ++i) {
        const unsigned kind = rng() % 20;
        if (kind < 7) {
            ops.push_back({true, fresh()});
            recent.push_back(ops.back().value);
            if (recent.size() > 20) recent.erase(recent.begin());
        } else if (kind < 12 && !recent.empty()) {
            // Removes, inside the window, what the window has just added.
            const std::size_t k = rng() % recent.size();
            ops.push_back({false, recent[k]});
            recent.erase(recent.begin() + static_cast<long>(k));
        } else if (kind < 18) {
            const std::size_t k = rng() % held.size();
            ops.push_back({false, held[k]});
            held[k] = held.back();
            held.pop_back();
        } else {
            ops.push_back({kind == 18, held[rng() % held.size()]});  // a repeat, or a value already gone
        }
    }
    constexpr std::size_t kWalks = detail::EarlyWalks<int>::kWalks;
    constexpr std::size_t kAhead = kWalks - 1;
    std::size_t most = 0;
    for (std::size_t i = 0; i < ops.size(); ++i) {
        if (i + kAhead < ops.size()) {
            hinted.prefetch(ops[i + kAhead].value);
            // A second hint of a value, nearer its operation: the update ends
            // one walk, and the other, some levels short of the leaf, still
            // holds the leaf or its parent when the removal frees them.
            if (i % 3 == 0) hinted.prefetch(ops[i + 1 + rng() % kAhead].value);
        }
        if (i % 7 == 0) hinted.prefetch(fresh());  // a hint no operation follows
        most = std::max(most, walksUnderWay(hinted));
        const Op& op = ops[i];
        if (op.add) {
            hinted << op.value;
            plain << op.value;
        } else {
            // The last occurrence takes its leaf and the leaf's parent.
            std::vector<const void*> freed;
            if (hinted(op.value) == 1 && hinted.size() > 1) {
                const std::vector<Node<int>*> path = pathTo(rootOf(hinted.contents()), op.value);
                freed = {path[path.size() - 1], path[path.size() - 2]};
            }
            hinted >> op.value;
            plain >> op.value;
            for (const void* node : freed) ASSERT_FALSE(testing::walksHold(hinted, node)) << "step " << i;
        }
        ASSERT_EQ(hinted[op.value], plain[op.value]) << "step " << i;
        ASSERT_EQ(hinted(op.value), plain(op.value)) << "step " << i;
        if (i % 8000 == 0) {
            ASSERT_TRUE(treeIsSound(rootOf(hinted.contents())));
            ASSERT_EQ(shapeOf(rootOf(hinted.contents())), shapeOf(rootOf(plain))) << "step " << i;
        }
        if (i == 20000) {
            // The walks travel with the tree.
            ReadAheadSet<int> moved(std::move(hinted));
            hinted = std::move(moved);
        }
    }
    if (ReadAheadSet<int>::kReadsAhead) {
        EXPECT_GE(most, kWalks / 2) << "the early walks never got going";
    }
    EXPECT_EQ(std::vector<int>(hinted.begin(), hinted.end()), listing(plain));
    hinted.clear();  // with walks under way
    hinted.prefetch(1);
    hinted << 1;
    EXPECT_EQ(hinted[1], 1);
    EXPECT_EQ(walksUnderWay(hinted), 0u);
}

#if defined(__GLIBC__) && !defined(ORLO_ADDRESS_SANITIZER)
std::size_t heapInUse() {
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST(Memory, ADestroyedSetGivesItsMemoryBackWhileAnotherLives) {
    // Hunts node memory kept for the whole process while any set lives.
    BSTSET<int> small;
    small << 1;
    const std::size_t before = heapInUse();
    {
        BSTSET<int> big;
        std::mt19937 rng(1);
        for (int i = 0; i < 200000; ++i) big << static_cast<int>(rng());
        EXPECT_GT(heapInUse(), before + 8 * 1000 * 1000);
        EXPECT_GT(big.memoryHeld(), 8u * 1000 * 1000);
        BSTSET<int> cleared;
        for (int i = 0; i < 100000; ++i) cleared << static_cast<int>(rng());
        cleared.clear();
        EXPECT_EQ(cleared.memoryHeld(), 0u);
        for (int i = 0; i < 1000; ++i) cleared << i;
        for (int i = 0; i < 1000; ++i) cleared >> i;  // emptied by removals
        EXPECT_EQ(cleared.memoryHeld(), 0u);
    }
    EXPECT_LT(heapInUse(), before + 64 * 1024);
    EXPECT_EQ(small(1), 1);
}

TEST(Memory, ASmallSetTakesLittle) {
    // Hunts a first block of node memory sized for large trees: 20,000 sets
    // of two values took 322 MB when each set took a 4 KiB page per node
    // kind (std::multiset: 2.5 MB).
    const std::size_t before = heapInUse();
    std::size_t used = 0;
    {
        std::vector<BSTSET<int>> sets(20000);
        for (std::size_t i = 0; i < sets.size(); ++i) sets[i] << static_cast<int>(i) << static_cast<int>(i + 1);
        used = heapInUse() - before;
        EXPECT_LE(sets[7].memoryHeld(), 256u);
    }
    EXPECT_LT(used, std::size_t{12} << 20);
    EXPECT_LT(heapInUse(), before + 64 * 1024);
}

TEST(Memory, AClearedOrEmptiedSetKeepsNothingForItsWalks) {
    // Hunts room kept after the tree is gone, and kept uncounted: removals
    // from the bottom of a tall chain grow the walks' room to 256 KiB; the
    // early walks of a ReadAheadSet take 22 KB. (What the allocator keeps
    // in its own caches, up to 64 KiB, is not the set's.)
    constexpr std::size_t kAllocatorSlack = 64 * 1024;
    const std::size_t before = heapInUse();
    {
        BSTSET<int> set;
        for (int i = 0; i < 20000; ++i) set << i;
        for (int i = 19999; i >= 19000; --i) set >> i;
        // All of it counted, but what the allocator adds to each chunk.
        EXPECT_LE(heapInUse() - before, set.memoryHeld() + set.memoryHeld() / 32);
        set.clear();
        EXPECT_EQ(set.memoryHeld(), 0u);
        EXPECT_LT(heapInUse(), before + kAllocatorSlack);
        for (int i = 0; i < 20000; ++i) set << i;
        for (int i = 19999; i >= 0; --i) set >> i;
        EXPECT_EQ(set.memoryHeld(), 0u);
        EXPECT_LT(heapInUse(), before + kAllocatorSlack);
    }
    ReadAheadSet<int> hinted;
    std::mt19937 rng(3);
    for (int i = 0; i < 200000; ++i) hinted << static_cast<int>(rng());
    for (int i = 0; i < 40; ++i) hinted.prefetch(static_cast<int>(rng()));
    if (ReadAheadSet<int>::kReadsAhead) {
        EXPECT_GE(hinted.memoryHeld(), hinted.contents().memoryHeld() + 20000);
    }
    hinted.clear();
    EXPECT_EQ(hinted.memoryHeld(), 0u);
    EXPECT_LT(heapInUse(), before + kAllocatorSlack);
}

TEST(Memory, FreedNodesAreUsedAgain) {
    // Hunts freed blocks that are never handed out again: a set that never
    // empties, updated over and over on a few hundred values, must hold no
    // more than it needed for them at once.
    BSTSET<int> set;
    std::mt19937 rng(5);
    for (int i = 0; i < 300; ++i) set << static_cast<int>(rng() % 600);
    std::size_t most = 0;
    for (int round = 0; round < 40000; ++round) {
        set << static_cast<int>(rng() % 600);
        set.erase(static_cast<int>(rng() % 600));
        if (round == 1000) most = set.memoryHeld();
    }
    ASSERT_FALSE(set.empty());
    EXPECT_LE(set.memoryHeld(), 2 * most);
    EXPECT_LT(set.memoryHeld(), std::size_t{64} << 10);
}
#endif

// Every value sits where its type's alignment asks, small chunks and large
// ones alike (under UndefinedBehaviorSanitizer a misaligned one is a report
// too).
struct alignas(64) Wide : testing::OrderedByV<Wide> {
    int v;
    explicit Wide(int x) : v(x) {}
};

TEST(Memory, ValuesAreAlignedAsTheirTypeAsks) {
    BSTSET<Wide> set;
    std::mt19937 rng(6);
    for (int i = 0; i < 730; ++i) set << Wide(static_cast<int>(rng() % 5000));
    std::size_t misaligned = 0, seen = 0;
    set.visit([&](const auto& node) {
        for (const Wide* w : {&node.smallest, &node.largest}) {
            ++seen;
            misaligned += reinterpret_cast<std::uintptr_t>(w) % alignof(Wide) != 0 ? 1 : 0;
        }
    });
    EXPECT_GT(seen, 1000u);
    EXPECT_EQ(misaligned, 0u);
}

TEST(Memory, AClearedOrEmptiedSetGrowsFromSmallChunksAgain) {
    // Hunts the chunk size of a large tree kept for the next one: refilled
    // with two values, a set that was large costs what a new set costs.
    BSTSET<int> fresh;
    fresh << 1 << 2;
    BSTSET<int> cleared, emptied;
    for (int i = 0; i < 100000; ++i) {
        cleared << i * 7919 % 100003;  // in no order: a bushy tree
        emptied << i * 7919 % 100003;
    }
    cleared.clear();
    for (int i = 0; i < 100000; ++i) emptied >> i * 7919 % 100003;
    ASSERT_TRUE(emptied.empty());
    cleared << 1 << 2;
    emptied << 1 << 2;
    EXPECT_EQ(cleared.memoryHeld(), fresh.memoryHeld());
    EXPECT_EQ(emptied.memoryHeld(), fresh.memoryHeld());
}

#if defined(ORLO_ADDRESS_SANITIZER)
TEST(MemoryDeathTest, ReadingThroughAFreedNodeIsReported) {
    // A dangling pointer to a value whose leaf the removal freed (an
    // iterator would be stopped by its own check first).
    EXPECT_DEATH(
        {
            BSTSET<int> set;
            for (int v : {1, 2, 3}) set << v;
            const int* value = &*set.find(2);
            set >> 2;
            set << 4;  // a freed block must not be handed out again
            std::printf("%d\n", *value);
        },
        "AddressSanitizer");
}
#endif

TEST(Threads, SetsInDifferentThreadsShareNothing) {
    // Under ThreadSanitizer this hunts state shared between sets: node
    // memory, removal paths, caches.
    auto work = [](unsigned seed, std::vector<int>* listing) {
        std::mt19937 rng(seed);
        BSTSET<int> a;
        BSTSET<std::string> b;
        for (int i = 0; i < 20000; ++i) {
            const int v = static_cast<int>(rng() % 5000);
            if (rng() % 3 != 0) {
                a << v;
                b << std::to_string(v);
            } else {
                a >> v;
                b >> std::to_string(v);
            }
        }
        listing->assign(a.begin(), a.end());
        if (b.size() != a.size()) listing->clear();
        // Nodes made by hand come from the one arena all threads share.
        for (int i = 0; i < 2000; ++i) {
            Node<int>* hand = new LeafNode<int>(i);
            hand = hand->add(i + 1);
            hand = hand->add(i - 1);
            delete hand;
        }
    };
    std::vector<int> first, second;
    std::thread one(work, 1u, &first), two(work, 2u, &second);
    one.join();
    two.join();
    std::vector<int> again;
    work(1u, &again);
    EXPECT_EQ(first, again);
    EXPECT_FALSE(second.empty());
    EXPECT_TRUE(std::is_sorted(second.begin(), second.end()));
}

}  // namespace
}  // namespace orlo
