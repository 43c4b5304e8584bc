// The in-order iterator: what a walk visits, and the fatal read past the end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <set>
#include <type_traits>

#include <string>
#include <vector>

#include "ElementTypes.h"
#include "TreeCheck.h"
#include "bstset/BSTSET.h"

namespace orlo {
namespace {

template <typename T>
std::vector<T> walk(BSTSET<T>& set) {
    std::vector<T> values;
    for (auto it = set.begin(); it != set.end(); it++) values.push_back(*it);
    return values;
}

TEST(Iterator, EmptySetBeginsAtTheEnd) {
    BSTSET<int> set;
    EXPECT_FALSE(set.begin() != set.end());
    int v = 4;
    set << v;
    set << v;
    set >> v;
    set >> v;
    EXPECT_FALSE(set.begin() != set.end());  // emptied again
}

TEST(Iterator, OneValueIsVisitedOnceWhateverItsMultiplicity) {
    BSTSET<std::string> set;
    std::string word = "only";
    for (int i = 0; i < 3; ++i) set << word;
    auto it = set.begin();
    ASSERT_TRUE(it != set.end());
    EXPECT_EQ(*it, "only");
    it++;
    EXPECT_FALSE(it != set.end());
    it++;  // advancing at the end stays there
    EXPECT_FALSE(it != set.end());
}

TEST(Iterator, VisitsDistinctValuesInAscendingOrder) {
    BSTSET<int> set;
    for (int v : {5, 1, 9, 3, 7, 3, 3}) set << v;
    EXPECT_EQ(walk(set), (std::vector<int>{1, 3, 5, 7, 9}));
}

TEST(Iterator, WalksRightChainsAndLeftChains) {
    BSTSET<int> ascending, descending, zigzag;
    std::vector<int> expected;
    for (int i = 0; i < 50; ++i) {
        int up = i, down = 49 - i, zig = i % 2 == 0 ? i : 100 - i;
        ascending << up;
        descending << down;
        zigzag << zig;
        expected.push_back(i);
    }
    EXPECT_EQ(walk(ascending), expected);
    EXPECT_EQ(walk(descending), expected);
    std::vector<int> zigzagValues = walk(zigzag);
    EXPECT_TRUE(std::is_sorted(zigzagValues.begin(), zigzagValues.end()));
    EXPECT_EQ(zigzagValues.size(), 50u);
}

// The iterator as the standard algorithms see it.
static_assert(std::is_same_v<std::iterator_traits<BSTSET<int>::iterator>::iterator_category,
                             std::forward_iterator_tag>);
static_assert(std::is_same_v<std::iterator_traits<BSTSET<int>::iterator>::value_type, int>);
// Values are read-only through an iterator, as in std::set: changing one
// would break the order the tree relies on.
static_assert(std::is_same_v<std::iterator_traits<BSTSET<std::string>::iterator>::reference, const std::string&>);
static_assert(std::is_same_v<decltype(*std::declval<BSTSET<int>::iterator&>()), const int&>);
// end() is the set's own end position; assigning to it would move every
// later comparison's end.
static_assert(!std::is_assignable_v<decltype(std::declval<BSTSET<int>&>().end()), BSTSET<int>::iterator>);

TEST(IteratorAsStandardIterator, AlgorithmsAndRangeForMatchStdMultiset) {
    std::mt19937 rng(3);
    testing::Mirrored<int> trees;
    BSTSET<int>& set = trees.set;
    for (int round = 0; round < 2000; ++round) {
        const int v = static_cast<int>(rng() % 300);
        trees.apply(rng() % 3 != 0, v);
        if (round % 50 != 0) continue;
        const std::vector<int> distinct = trees.distinct();
        std::vector<int> walked;
        for (const int& value : set) walked.push_back(value);
        ASSERT_EQ(walked, distinct);
        ASSERT_EQ(std::distance(set.begin(), set.end()), static_cast<std::ptrdiff_t>(distinct.size()));
        ASSERT_TRUE(std::is_sorted(set.begin(), set.end()));
        for (int probe : {v, v + 1, -1}) {
            const bool held = std::binary_search(distinct.begin(), distinct.end(), probe);
            ASSERT_EQ(std::find(set.begin(), set.end(), probe) != set.end(), held) << probe;
        }
    }
}

TEST(IteratorAsStandardIterator, ConstIteratorsCompare) {
    BSTSET<int> set;
    for (int v : {2, 1, 3}) set << v;
    const BSTSET<int>::iterator first = set.begin();
    const BSTSET<int>::iterator end = set.end();
    BSTSET<int>::iterator second = first;
    ++second;
    EXPECT_TRUE(first != end);
    EXPECT_FALSE(first == second);
    EXPECT_TRUE(first == set.begin());
    EXPECT_EQ(*first, 1);
    EXPECT_EQ(*second, 2);
    const BSTSET<int>::iterator past = ++(++second);
    EXPECT_TRUE(past == end);
}

TEST(IteratorAsStandardIterator, PostfixReturnsWhereItStood) {
    BSTSET<int> set;
    for (int v : {3, 1, 2}) set << v;
    auto it = set.begin();
    const auto before = it++;
    EXPECT_EQ(*before, 1);
    EXPECT_EQ(*it, 2);
    EXPECT_EQ(*it++, 2);
    EXPECT_EQ(*it, 3);
    it++;
    EXPECT_TRUE(it == set.end());
    EXPECT_TRUE(before != it);
}

TEST(IteratorAsStandardIterator, AConstSetIsIteratedAndQueried) {
    BSTSET<std::string> set;
    for (const char* w : {"pear", "apple", "fig", "apple"}) set << w;
    const BSTSET<std::string>& view = set;
    EXPECT_EQ(std::vector<std::string>(view.begin(), view.end()), (std::vector<std::string>{"apple", "fig", "pear"}));
    EXPECT_EQ(std::vector<std::string>(view.cbegin(), view.cend()), (std::vector<std::string>{"apple", "fig", "pear"}));
    EXPECT_EQ(view[std::string("apple")], view["apple"]);
    EXPECT_EQ(view(std::string("apple")), 2);
    EXPECT_EQ(view.count("apple"), 2u);
    EXPECT_TRUE(view.contains("fig"));
    EXPECT_FALSE(view.contains("kiwi"));
    EXPECT_EQ(view.size(), 4u);
    EXPECT_TRUE(view.find("kiwi") == view.end());
}

TEST(IteratorAsStandardIterator, FindStandsWhereAWalkWouldAndGoesOnFromThere) {
    // Hunts a find() whose path misses an ancestor: stepping on from it
    // would then skip or repeat values.
    for (const char* kind : {"ascending", "descending", "random"}) {
        BSTSET<int> set;
        std::mt19937 rng(9);
        std::vector<int> values;
        for (int i = 0; i < 200; ++i) {
            const int v = kind[0] == 'a' ? i : kind[0] == 'd' ? 200 - i : static_cast<int>(rng() % 1000);
            set << v;
            values.push_back(v);
        }
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
        for (std::size_t i = 0; i < values.size(); i += 7) {
            auto it = set.find(values[i]);
            ASSERT_TRUE(it != set.end());
            EXPECT_EQ(std::vector<int>(it, set.end()), std::vector<int>(values.begin() + static_cast<std::ptrdiff_t>(i), values.end())) << kind;
        }
        auto at = set.insert(values.back() + 1);
        EXPECT_EQ(*at, values.back() + 1);
        EXPECT_TRUE(++at == set.end());
        set.clear();
        EXPECT_TRUE(set.empty());
        EXPECT_TRUE(set.begin() == set.end());
    }
}

// A copyable type whose move constructor is deleted (so it has no
// assignment either): the set must copy, never move, and rebuild nodes
// where bounds change.
struct NoMove : testing::OrderedByV<NoMove> {
    int v;
    explicit NoMove(int x) : v(x) {}
    NoMove(const NoMove&) = default;
    NoMove(NoMove&&) = delete;
};

// A const member: no assignment at all.
using orlo::testing::Constant;

TEST(WhatUsersReachFor, ConstructionChainingInserterAndErase) {
    BSTSET<int> listed{5, 1, 5, 9};
    EXPECT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed(5), 2);
    const std::vector<int> from = {3, 3, 8, 1};
    BSTSET<int> ranged(from.begin(), from.end());
    EXPECT_EQ(std::vector<int>(ranged.begin(), ranged.end()), (std::vector<int>{1, 3, 8}));

    BSTSET<int> chained;
    (chained << 4 << 2 << 4 << 7) >> 7 >> 6;
    EXPECT_EQ(std::vector<int>(chained.begin(), chained.end()), (std::vector<int>{2, 4}));
    EXPECT_EQ(chained.size(), 3u);

    BSTSET<int> copied;
    std::copy(from.begin(), from.end(), std::inserter(copied, copied.end()));
    EXPECT_EQ(copied.size(), from.size());
    EXPECT_EQ(copied(3), 2);
    // Whatever the hint, insert returns the value's position.
    for (const bool atEnd : {true, false}) {
        const auto at = copied.insert(atEnd ? copied.end() : copied.begin(), 5);
        ASSERT_TRUE(at != copied.end());
        EXPECT_EQ(*at, 5);
        EXPECT_EQ(std::vector<int>(at, copied.end()), (std::vector<int>{5, 8}));
    }
    copied >> 5 >> 5;

    // Chained on a temporary, the operators give a set, not a reference to
    // the temporary, which is gone once the range-for has begun.
    static_assert(std::is_same_v<decltype(BSTSET<int>{} << 1), BSTSET<int>>);
    static_assert(std::is_same_v<decltype(std::declval<BSTSET<int>&>() << 1), BSTSET<int>&>);
    std::vector<int> walked;
    for (int v : BSTSET<int>{3, 1} << 2 >> 1) walked.push_back(v);
    EXPECT_EQ(walked, (std::vector<int>{2, 3}));

    // erase(v) has std::multiset's meaning: every occurrence goes.
    EXPECT_EQ(copied.erase(3), 2u);
    EXPECT_EQ(copied.erase(3), 0u);
    EXPECT_EQ(copied.size(), 2u);
    EXPECT_FALSE(copied.contains(3));
    EXPECT_EQ(testing::setProblem(copied), "");

    BSTSET<NoMove> unmovable;
    for (int v : {5, 1, 9, 3, 7, 3}) unmovable << NoMove(v);
    unmovable >> NoMove(9) >> NoMove(1);
    EXPECT_EQ(unmovable.erase(NoMove(3)), 2u);
    // Sets of it move and swap all the same: they touch no element.
    BSTSET<NoMove> moved(std::move(unmovable));
    BSTSET<NoMove> swapped;
    swap(moved, swapped);
    unmovable = std::move(swapped);
    std::vector<int> left;
    for (const NoMove& m : unmovable) left.push_back(m.v);
    EXPECT_EQ(left, (std::vector<int>{5, 7}));

    BSTSET<Constant> constants{Constant(4), Constant(2)};
    BSTSET<Constant> other(std::move(constants));
    swap(constants, other);
    EXPECT_EQ(constants.size(), 2u);
    EXPECT_EQ(constants.insert(Constant(1))->v, 1);
}

TEST(WhatUsersReachFor, BoundsMatchStdSetOverTheDistinctValues) {
    // Hunts a bound walk that turns the wrong way at a routing node, or
    // misses that every value lies below the one asked for.
    std::mt19937 rng(17);
    for (int round = 0; round < 40; ++round) {
        BSTSET<int> set;
        std::set<int> reference;
        const int n = 1 + static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) {
            const int v = static_cast<int>(rng() % 100) * 2;  // even: odd probes fall between
            set << v;
            reference.insert(v);
        }
        for (int probe = -2; probe <= 202; ++probe) {
            const auto low = set.lower_bound(probe);
            const auto high = set.upper_bound(probe);
            const auto wantLow = reference.lower_bound(probe);
            const auto wantHigh = reference.upper_bound(probe);
            ASSERT_EQ(low == set.end(), wantLow == reference.end()) << probe;
            ASSERT_EQ(high == set.end(), wantHigh == reference.end()) << probe;
            if (low != set.end()) {
                ASSERT_EQ(*low, *wantLow) << probe;
            }
            if (high != set.end()) {
                ASSERT_EQ(*high, *wantHigh) << probe;
            }
            if (low != set.end()) {
                ASSERT_EQ(std::distance(low, set.end()), std::distance(wantLow, reference.end())) << probe;
            }
        }
    }
}

TEST(WhatUsersReachFor, AClearedSetIsEmptyAndFillsAgain) {
    // Hunts state clear() forgets to reset: size, the remembered last
    // update, the memory.
    BSTSET<int> set;
    for (int v = 0; v < 300; ++v) set << v % 50;
    set >> 7;
    set.clear();
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(set.size(), 0u);
    EXPECT_EQ(set[7], -1);
    EXPECT_EQ(set(7), 0);
    EXPECT_EQ(set[8], -1);
    EXPECT_TRUE(set.begin() == set.end());
    EXPECT_EQ(set.memoryHeld(), 0u);
    for (int v : {8, 7, 8}) set << v;
    EXPECT_EQ(set.size(), 3u);
    EXPECT_EQ(set(8), 2);
    EXPECT_EQ(set[7], 2);
    EXPECT_EQ(testing::setProblem(set), "");
}

// Its destructor, while armed, walks the set it sits in and notes what it
// saw: an element's destructor that uses its set.
struct Watching : testing::OrderedByV<Watching> {
    int v;
    static inline const BSTSET<Watching>* set = nullptr;
    static inline std::vector<std::vector<int>> seen;
    explicit Watching(int x) : v(x) {}
    Watching(const Watching&) = default;
    Watching& operator=(const Watching&) = default;
    ~Watching() {
        if (set == nullptr) return;
        std::vector<int> values;
        for (const Watching& w : *set) values.push_back(w.v);
        seen.push_back(values);
    }
};

TEST(WhatUsersReachFor, AnElementsDestructorSeesTheSetWhole) {
    // Hunts elements destroyed while the set still points at the nodes being
    // taken away: a removal at the root, and clear().
    BSTSET<Watching> set;
    const Watching one(1), two(2), three(3);
    set << one;
    Watching::set = &set;
    Watching::seen.clear();
    set >> one;  // the root leaf goes
    Watching::set = nullptr;
    ASSERT_FALSE(Watching::seen.empty());
    for (const auto& values : Watching::seen) EXPECT_TRUE(values.empty());

    set << one << two << three;
    Watching::set = &set;
    Watching::seen.clear();
    set >> one;  // the root routing node gives way
    Watching::set = nullptr;
    ASSERT_FALSE(Watching::seen.empty());
    for (const auto& values : Watching::seen) EXPECT_EQ(values, (std::vector<int>{2, 3}));

    Watching::set = &set;
    Watching::seen.clear();
    set.clear();
    Watching::set = nullptr;
    ASSERT_FALSE(Watching::seen.empty());
    for (const auto& values : Watching::seen) EXPECT_TRUE(values.empty());
}

TEST(IteratorDeathTest, ReadingTheEndPrintsSakraAndExitsWithOne) {
    BSTSET<int> set;
    // Standard output is sent to standard error so the death test sees it.
    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            *set.end();
        },
        ::testing::ExitedWithCode(1), "^Sakra\n$");
    int v = 1;
    set << v;
    auto it = set.begin();
    it++;
    EXPECT_EXIT(
        {
            ::dup2(STDERR_FILENO, STDOUT_FILENO);
            *it;
        },
        ::testing::ExitedWithCode(1), "^Sakra\n$");
}

}  // namespace
}  // namespace orlo
