// BSTSET: an ordered multiset over the leaf-oriented search tree of Node.h,
// and its iterator, which visits each distinct value once in ascending order.
//
// The operations are operators: `set << v` inserts one occurrence, `set >> v`
// removes one (both return the set, so they chain), `set[v]` is the depth of
// v's leaf (-1 when absent) and `set(v)` its multiplicity (0 when absent).
// Beside them the standard names: empty(), size(), count(), contains(),
// find(), lower_bound(), upper_bound(), insert(), erase(), clear(); and
// removeOne(v), insertAndLocate(v), removeAndLocate(v), visit() and
// visitPath(), below. ReadAheadSet (ReadAhead.h) is a set that reads ahead.
//
// What it promises
// ----------------
// The element type T needs (each missing piece is a compile error that
// names it):
//   - a < b, a > b, a == b, a != b on const operands, each giving a result
//     implicitly convertible to bool, ordering the values strictly;
//   - copy construction, and a destructor that does not throw.
// It needs no default constructor, no assignment and no move: a T with a
// const member, or with its moves deleted, is held, moved and swapped.
//
// Exceptions. An insertion, removal or erase that throws (out of memory, a
// copy or a comparison of T that throws, std::length_error for a value
// already held INT_MAX times) leaves the set exactly as it was, for every T,
// and so do insert(v) and insert(hint, v), which find the position they
// return without comparing anything after the change: every comparison and
// every allocation and copy comes before the first change, and the changes
// cannot fail. Nothing leaks. Queries and iteration throw only what a
// comparison of T or an allocation throws, and change nothing. clear() never
// throws. Built without exceptions (-fno-exceptions), the library compiles,
// and what would have thrown ends the process instead (std::length_error
// with its message on standard error; running out of memory as operator new
// does without exceptions).
//
// Iterators. Any insertion, removal, erase or clear invalidates every
// iterator of the set, and so do moving and swapping sets (the set an
// iterator was made from no longer holds its tree). Using an invalidated
// iterator that stands on a value stops the process with a message that
// says so, in every build (code built with and without NDEBUG shares one
// iterator); end() stays valid. An iterator of a destroyed set is stopped
// the same way once another set stands in its place (no two sets share a
// version); reading one whose set's memory went back to the system is
// undefined, as for any dangling pointer. The iterator carries its path
// from the root: copying one costs time in the depth of its leaf, so step
// with prefix ++. Dereferencing the end position prints "Sakra" on standard
// output and ends the process with status 1.
//
// Complexity. Every operation and query walks one path from the root, and
// the tree is not balanced: a path is as long as the number of distinct
// values for sorted input, and about 2 ln n for random input. insert(v)
// walks its path twice.
//
// Memory. Each set owns the memory of its nodes, taken in chunks that grow
// geometrically from room for two nodes of each kind, and aligned as T
// asks; blocks freed by removals are used again first. A set of a few
// values costs a few hundred bytes. memoryHeld() counts everything the set
// holds: its nodes and the room its walks keep for tall trees. All of it
// goes back to the system when the set is destroyed, cleared or emptied, and
// a set refilled then grows from the smallest chunks again.
//
// Threads. Sets share nothing: different sets may be used from different
// threads at once, and a set may move between threads. Const members never
// write, so any number of threads may read one set while none changes it.
//
// Values unequal to themselves (NaN) break the ordering. The set stays
// memory-safe and the program's output for such input stays what the plain
// algorithms give, but once one has been inserted, the answers for other
// values follow the tree's plain algorithms and are not what an ordered
// container would give. Such a tree is walked exactly as the algorithms of
// Node.h state, until the set is cleared or emptied.
//
// An argument may refer into the set itself (`s >> *s.begin()`), and an
// element's destructor may use the set that held it: no element is destroyed
// before the tree is whole and stored and size() counts the update.
//
// Chaining on a temporary set (`BSTSET<int>{3, 1} << 2`) gives a set, not a
// reference to the temporary, so `for (int v : BSTSET<int>{3, 1} << 2)` is
// safe.
//
// RTTI: not needed. With it, the walks tell node kinds apart by typeid,
// which is faster than the virtual call they make without it.
//
// Observers. insertAndLocate(v, o) and removeAndLocate(v, o) report the
// update to o, an object of a type derived from QuietObserver<T>
// (Observer.h) that hides the hooks it needs. Every other update reports to
// nobody, at no cost. Hooks must not throw. What they are told:
//   - passed(node, how, bound, wentRight), for every routing node the walk
//     passes, root first, with the comparison the tree's algorithm makes
//     there and the bound it compares v with, whatever comparison a faster
//     walk would decide by (an observer that hides passed() or reached()
//     makes the walk read the stated bounds). An insertion: RightSmallest,
//     bound = the right child's smallest, wentRight = !(v < bound). A
//     removal: OutsideRange when v is outside the node's own bounds (bound =
//     its smallest when v is below it, else its largest); else BetweenSides
//     when v > the left child's largest and v < the right child's smallest
//     (bound = that smallest); both end the walk at that node, with
//     wentRight false. Otherwise LeftLargest, bound = the left child's
//     largest, wentRight = v > bound. In a tree that has held a value
//     unequal to itself, the reports follow the algorithm's walk exactly.
//   - reached(leaf, holds), for the leaf where the walk ends (not when a
//     removal's walk ends at a routing node); holds: the leaf holds v.
//   - Then, once nothing can throw any more, each change just before it is
//     made: boundChanged(node, largest, before, after) for each bound that
//     takes a new value, top-down (in a tree that has held a value unequal
//     to itself, a removal refreshes, as the algorithm does, a bound at
//     every node it passed, whether the value changes or not), and
//     countChanged(leaf, before, after) for a count.
//   - Then, after the new root is stored and the tree is whole: created(n)
//     for every node made (the new leaf, then the routing node over it, then
//     rebuilt copies top-down), and freed(n) for every node taken out of the
//     tree (the leaf removed, then its parent, then the originals of rebuilt
//     copies), still readable, its children detached, before any is
//     destroyed.
//   - A routing node whose bound T cannot assign without a throw (no nothrow
//     copy assignment and no nothrow moves) is rebuilt: a copy with the new
//     bound takes its place. boundChanged() names the copy, with the old
//     node's bound as before; the copy is created() and the old node freed()
//     (to take the change back, put the old node back in the copy's place).
//   - An update that throws may have reported part of its walk, but no
//     change.
//   - An observer with `static constexpr bool kKeepsFreed = true` owns every
//     node freed() hands it: the set does not destroy it. (detail::Access
//     gives such a tool what it needs to put nodes back or destroy them.)
// They return where v stands after the update, as set[v] and set(v) would
// answer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <iterator>
#include <type_traits>
#include <utility>
#include <vector>

#include "Node.h"

#if __cplusplus >= 202002L && __has_include(<ranges>)
#include <ranges>
#endif

namespace orlo {

template <typename T>
class ReadAheadSet;

namespace detail {

struct Access;  // the way in for the set's own tests and tools: detail/Access.h

/// A checked iterator was used after its set changed.
[[noreturn]] inline void staleIterator() {
    std::fputs("BSTSET: an iterator was used after its set changed (an insertion, removal, erase, clear, move or "
               "swap invalidates every iterator of the set)\n",
               stderr);
    std::abort();
}

/// The first of a range of versions no other set has had: a set made where
/// a destroyed one stood is not taken for it.
inline std::uint64_t freshVersions() noexcept {
    static std::atomic<std::uint64_t> sets{1};
    return sets.fetch_add(1, std::memory_order_relaxed) << 32;
}

}  // namespace detail

template <typename T>
class BSTSET {
    static_assert(detail::checkElementType<T>());
    friend struct detail::Access;
    friend class ReadAheadSet<T>;

public:
    /// A forward iterator over the distinct values, ascending. The values
    /// cannot be changed through it: that would break the order.
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        /// The end position.
        iterator() noexcept : current(nullptr) {}

        /// Two iterators are equal when they stand on the same leaf.
        bool operator!=(const iterator& other) const {
            check();
            other.check();
            return current != other.current;
        }
        bool operator==(const iterator& other) const { return !(*this != other); }

        /// The value the iterator stands on. Reading past the end is a fault
        /// in the caller that cannot be reported any other way: it ends the
        /// process.
        const T& operator*() const {
            if (current == nullptr) {
                std::cout << "Sakra" << std::endl;
                std::exit(1);
            }
            check();
            return current->leftMin();
        }
        const T* operator->() const { return &**this; }

        /// Moves to the next distinct value, or to the end position.
        iterator& operator++() {
            check();
            advance();
            return *this;
        }
        /// As ++it, returning where the iterator stood.
        iterator operator++(int) {
            iterator before(*this);
            ++*this;
            return before;
        }

    private:
        friend class BSTSET;

        /// Stands on the smallest value of the subtree under start, or at the
        /// end position when start is null.
        iterator(const BSTSET* owner, Node<T>* start) : current(start), owner_(owner), version_(owner->version_) {
            descend();
        }

        /// An iterator standing on a value must belong to its set as it is
        /// now. Checked in every build: a check that NDEBUG took away would
        /// differ between translation units, and the linker keeps one.
        void check() const {
            if (current != nullptr && (owner_ == nullptr || owner_->version_ != version_)) detail::staleIterator();
        }

        Node<T>* current;  // the leaf stood on; null at the end position
        // Every routing node above current, the root first. The root stays
        // even once the walk has ended.
        std::vector<Node<T>*> path;
        const BSTSET* owner_ = nullptr;  // the set it was made from
        std::uint64_t version_ = 0;      // that set's version then

        void descend() {
            while (current != nullptr && detail::isRouting(current)) {
                path.push_back(current);
                // The right subtree is next once the left one is done; near
                // the leaves that is soon, so start fetching it now.
                detail::prefetch(current->getRight());
                current = current->getLeft();
            }
        }

        void advance() {
            for (;;) {
                if (path.size() > 1) {
                    Node<T>* top = path.back();
                    if (top->getLeft() == current) {
                        current = top->getRight();
                        descend();
                        return;
                    }
                    // The right subtree of top is done; so is top.
                    current = top;
                    path.pop_back();
                } else if (path.size() == 1) {
                    Node<T>* first = path.back();
                    current = first->getLeft() == current ? first->getRight() : nullptr;
                    descend();
                    return;
                } else {
                    current = nullptr;
                    return;
                }
            }
        }
    };

    using const_iterator = iterator;
    using value_type = T;
    using key_type = T;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = const T&;
    using const_reference = const T&;

    BSTSET() noexcept : root_(nullptr), version_(detail::freshVersions()) {}
    /// One occurrence of each value given, in order.
    BSTSET(std::initializer_list<T> values) : BSTSET(values.begin(), values.end()) {}
    template <typename InputIt, typename = std::enable_if_t<std::is_convertible_v<
                                    typename std::iterator_traits<InputIt>::iterator_category, std::input_iterator_tag>>>
    BSTSET(InputIt first, InputIt last) : BSTSET() {
        for (; first != last; ++first) *this << *first;
    }
    BSTSET(const BSTSET&) = delete;
    BSTSET& operator=(const BSTSET&) = delete;
    BSTSET(BSTSET&& other) noexcept : BSTSET() { swap(other); }
    BSTSET& operator=(BSTSET&& other) noexcept {
        if (this != &other) {
            BSTSET gone(std::move(other));
            swap(gone);
        }
        return *this;
    }
    virtual ~BSTSET() { clear(); }

    /// Exchanges two sets' contents; touches no element.
    void swap(BSTSET& other) noexcept {
        std::swap(root_, other.root_);
        std::swap(size_, other.size_);
        std::swap(unordered_, other.unordered_);
        arena_.swap(other.arena_);
        ++version_;
        ++other.version_;
    }
    friend void swap(BSTSET& a, BSTSET& b) noexcept { a.swap(b); }

    /// What the queries answer about a value: the depth of its leaf (-1 when
    /// it is not held) and its count.
    struct Where {
        int depth;
        int count;
    };

    /// Inserts one occurrence of v. Throws std::length_error, changing
    /// nothing, when v already occurs INT_MAX times.
    BSTSET& operator<<(const T& v) & {
        QuietObserver<T> quiet;
        insertReporting(v, quiet, false);
        return *this;
    }
    BSTSET operator<<(const T& v) && { return std::move(*this << v); }

    /// Removes one occurrence of v; removing an absent value changes nothing.
    BSTSET& operator>>(const T& v) & {
        QuietObserver<T> quiet;
        removeReporting(v, quiet, false, false);
        return *this;
    }
    BSTSET operator>>(const T& v) && { return std::move(*this >> v); }

    /// As `<<`, and where v stands then: set[v] and set(v), found by the
    /// insertion on its way.
    Where insertAndLocate(const T& v) {
        QuietObserver<T> quiet;
        return insertAndLocate(v, quiet);
    }
    /// The same, reporting the update to o (see Observers above).
    template <typename Observer>
    Where insertAndLocate(const T& v, Observer& o) {
        return insertReporting(v, o, true);
    }

    /// As `>>`, and where v stands then (not held, when it took the last
    /// occurrence).
    Where removeAndLocate(const T& v) {
        QuietObserver<T> quiet;
        return removeAndLocate(v, quiet);
    }
    template <typename Observer>
    Where removeAndLocate(const T& v, Observer& o) {
        return removeReporting(v, o, false, true).first;
    }

    /// Depth of v's leaf, the root being level 1; -1 when v is not held.
    int operator[](const T& v) const { return root_ == nullptr ? -1 : detail::locate(root_, v).first; }

    /// Number of occurrences of v.
    int operator()(const T& v) const {
        if (root_ == nullptr) return 0;
        int levels;
        return detail::leafFor(root_, v, levels)->count(v);
    }

    iterator begin() const { return iterator(this, root_); }
    const iterator& end() const noexcept { return endIterator; }
    iterator cbegin() const { return begin(); }
    const iterator& cend() const noexcept { return endIterator; }

    bool empty() const noexcept { return root_ == nullptr; }
    /// All occurrences, as std::multiset counts them. The iterator visits
    /// each distinct value once, so this is not the length of [begin, end).
    size_type size() const noexcept { return size_; }
    size_type count(const T& v) const { return static_cast<size_type>((*this)(v)); }
    bool contains(const T& v) const { return (*this)(v) != 0; }

    /// The position of v, or end() when v is not held.
    iterator find(const T& v) const {
        iterator at = walkTo(v, [](const Node<T>* right, const T& x) { return x < detail::smallest(right); });
        if (at.current != nullptr && !(v == at.current->leftMin())) return iterator();
        return at;
    }

    /// The first distinct value not below v, or end().
    iterator lower_bound(const T& v) const {
        // A walk that goes left whenever the left subtree holds a value not
        // below v ends at the answer, unless every value is below v.
        iterator at = walkTo(v, [](Node<T>* left, const T& x) { return !(left->rightMax() < x); }, true);
        if (at.current != nullptr && at.current->leftMin() < v) return iterator();
        return at;
    }

    /// The first distinct value above v, or end().
    iterator upper_bound(const T& v) const {
        iterator at = walkTo(v, [](Node<T>* left, const T& x) { return x < left->rightMax(); }, true);
        if (at.current != nullptr && !(v < at.current->leftMin())) return iterator();
        return at;
    }

    /// Inserts one occurrence of v (as `<<` does) and returns its position.
    iterator insert(const T& v);
    /// As insert(v); the hint is not needed (std::inserter passes one).
    iterator insert(const iterator& hint, const T& v) {
        (void)hint;
        return insert(v);
    }

    /// Removes one occurrence of v (as `>>` does); tells whether v was held.
    bool removeOne(const T& v) {
        QuietObserver<T> quiet;
        return removeReporting(v, quiet, false, false).second != 0;
    }

    /// Removes every occurrence of v, as std::multiset::erase(v) does;
    /// returns how many there were.
    size_type erase(const T& v) {
        QuietObserver<T> quiet;
        return static_cast<size_type>(removeReporting(v, quiet, true, false).second);
    }

    /// Removes everything and gives all memory back. The elements are
    /// destroyed after the set is empty.
    void clear() noexcept {
        ++version_;
        Node<T>* old = root_;
        root_ = nullptr;
        size_ = 0;
        unordered_ = false;
        detail::destroyTree(arena_, old);
        arena_.releaseScratch();
    }

    /// Bytes this set holds from the system: its nodes, and the room its
    /// walks keep for a tall tree. None once the set is empty.
    size_type memoryHeld() const noexcept { return arena_.bytesHeld(); }

    /// One node as visit() shows it, valid during the call.
    struct NodeView {
        const void* id;     // the node: the same from one visit to the next while it is in the tree
        bool leaf;
        int depth;          // the root is level 1
        const T& smallest;  // a leaf's value, or a routing node's cached bound
        const T& largest;
        int count;          // a leaf's multiplicity; 0 for a routing node
    };

    /// A read-only walk of the tree, for code that draws or checks it: calls
    /// f(const NodeView&) for every node in pre-order (a routing node, its
    /// left subtree, then its right one), without recursion, so any height
    /// works. When f returns false for a routing node, its subtree is
    /// skipped. The set must not change meanwhile.
    template <typename F>
    void visit(F&& f) const {
        std::vector<std::pair<Node<T>*, int>> stack;
        if (root_ != nullptr) stack.emplace_back(root_, 1);
        while (!stack.empty()) {
            const auto [n, depth] = stack.back();
            stack.pop_back();
            const NodeView view = viewOf(n, depth);
            bool below = true;
            if constexpr (std::is_same_v<std::invoke_result_t<F&, const NodeView&>, bool>) {
                below = f(view);
            } else {
                f(view);
            }
            if (!view.leaf && below) {
                stack.emplace_back(n->getRight(), depth + 1);
                stack.emplace_back(n->getLeft(), depth + 1);
            }
        }
    }

    /// Calls f(const NodeView&) for each node a query for v passes, root
    /// first, ending at the leaf where the query ends (which holds v or not).
    template <typename F>
    void visitPath(const T& v, F&& f) const {
        int depth = 1;
        for (Node<T>* n = root_; n != nullptr; ++depth) {
            const NodeView view = viewOf(n, depth);
            f(view);
            if (view.leaf) return;
            n = v < detail::smallest(n->getRight()) ? n->getLeft() : n->getRight();
        }
    }

private:
    static NodeView viewOf(Node<T>* n, int depth) {
        const bool leaf = !detail::isRouting(n);
        return NodeView{n, leaf, depth, n->leftMin(), n->rightMax(), leaf ? static_cast<LeafNode<T>*>(n)->multiplicity : 0};
    }

    /// Inserts one occurrence of v, reporting to o; where v stands then when
    /// `locate` (and in an ordered tree, where it comes free).
    template <typename Observer>
    Where insertReporting(const T& v, Observer& o, bool locate) {
        const bool ordered = !unordered_ && v == v;
        detail::Update<T> u(arena_, false, locate);
        if (root_ == nullptr) {
            u.newLeaf = new (arena_) LeafNode<T>(v);
            u.linked();
            u.depth = ordered ? 1 : -1;
            u.count = ordered ? 1 : 0;
            root_ = u.newLeaf;
        } else {
            root_ = ordered ? detail::insert<T, true>(root_, v, u, o) : detail::insert<T, false>(root_, v, u, o);
        }
        ++size_;
        ++version_;
        if (!ordered) unordered_ = true;
        u.finish(o);
        return {u.depth, u.count};
    }

    /// Removes one occurrence of v, or all of them, reporting to o; returns
    /// where v stands then (when `locate`) and how many went.
    template <typename Observer>
    std::pair<Where, int> removeReporting(const T& v, Observer& o, bool every, bool locate) {
        if (root_ == nullptr) return {{-1, 0}, 0};
        const bool ordered = !unordered_ && v == v;
        detail::Update<T> u(arena_, every, locate);
        root_ = ordered ? detail::remove<T, true>(root_, v, u, o) : detail::remove<T, false>(root_, v, u, o);
        size_ -= static_cast<size_type>(u.removed);
        ++version_;
        if (root_ == nullptr) unordered_ = false;
        u.finish(o);
        if (root_ == nullptr) arena_.releaseScratch();
        return {{u.depth, u.count}, u.removed};
    }

    /// An iterator on the leaf a walk toward v reaches, going left at each
    /// routing node n where goLeft(n's left or right child, v) holds
    /// (`byLeft`: it is given the left child, else the right).
    template <typename GoLeft>
    iterator walkTo(const T& v, GoLeft goLeft, bool byLeft = false) const {
        iterator at;
        at.owner_ = this;
        at.version_ = version_;
        Node<T>* n = root_;
        while (n != nullptr && detail::isRouting(n)) {
            at.path.push_back(n);
            n = goLeft(byLeft ? n->getLeft() : n->getRight(), v) ? n->getLeft() : n->getRight();
        }
        at.current = n;
        return at;
    }

    Node<T>* root_;  // owned
    iterator endIterator;
    detail::TreeArena<T> arena_;  // where root_'s nodes live
    size_type size_ = 0;
    std::uint64_t version_;  // counts changes, for checked iterators
    // A value unequal to itself (NaN) breaks the ordering that the fast walks
    // rely on; a tree that holds one walks as the plain algorithms say.
    bool unordered_ = false;
};

template <typename T>
typename BSTSET<T>::iterator BSTSET<T>::insert(const T& v) {
    // The insertion walks the path a query for v walks now, and leaves each
    // node on it in its place (a routing node rebuilt with a new bound takes
    // the old one's), so the path is found again afterwards by the same
    // turns, with nothing to compare after the change. Everything that can
    // throw comes first.
    iterator at = walkTo(v, [](const Node<T>* right, const T& x) { return x < detail::smallest(right); });
    std::vector<bool> wentRight(at.path.size());
    for (std::size_t i = 0; i < at.path.size(); ++i) {
        wentRight[i] = at.path[i]->getRight() == (i + 1 < at.path.size() ? at.path[i + 1] : at.current);
    }
    at.path.reserve(at.path.size() + 1);
    Node<T>* const reached = at.current;  // a leaf, which the insertion keeps
    *this << v;
    Node<T>* n = root_;
    for (std::size_t i = 0; i < at.path.size(); ++i) {
        at.path[i] = n;
        n = wentRight[i] ? n->getRight() : n->getLeft();
    }
    if (reached != nullptr && n != reached) {
        // The leaf was split: v's leaf is the new one beside it.
        at.path.push_back(n);
        n = n->getLeft() == reached ? n->getRight() : n->getLeft();
    }
    at.current = n;
    at.version_ = version_;
    return at;
}

}  // namespace orlo

#if __cplusplus >= 202002L && __has_include(<ranges>)
// size() counts every occurrence, as std::multiset does, but the iterator
// visits each distinct value once: the range's length is not size(), so the
// range library must not take it for one (std::ranges::distance walks).
template <typename T>
inline constexpr bool std::ranges::disable_sized_range<orlo::BSTSET<T>> = true;
#endif
