// BSTSET: an ordered multiset over the leaf-oriented search tree of Node.h,
// and its iterator, which visits each distinct value once in ascending order.
//
// The operations are operators: `set << v` inserts one occurrence, `set >> v`
// removes one (both return the set, so they chain), `set[v]` is the depth of
// v's leaf (-1 when absent) and `set(v)` its multiplicity (0 when absent).
// Beside them the standard names: empty(), size(), count(), contains(),
// find(), lower_bound(), upper_bound(), insert(), erase(), clear(); and
// removeOne(v), prefetch(v) and visit(), below.
//
// What it promises
// ----------------
// The element type T needs (each missing piece is a compile error that
// names it):
//   - a < b, a > b, a == b, a != b on const operands, each giving a result
//     implicitly convertible to bool, ordering the values strictly;
//   - copy construction, and a destructor that does not throw.
// It needs no default constructor, no assignment and no move.
//
// Exceptions. An insertion, removal or erase that throws (out of memory, a
// copy or a comparison of T that throws, std::length_error for a value
// already held INT_MAX times) leaves the set exactly as it was, for every T:
// every comparison and every allocation and copy comes before the first
// change, and the changes cannot fail. Nothing leaks. Queries and iteration
// throw only what a comparison of T or an allocation throws, and change
// nothing. prefetch() and clear() never throw.
//
// Iterators. Any insertion, removal, erase or clear invalidates every
// iterator of the set, and so do moving and swapping sets (the set an
// iterator was made from no longer holds its tree). Where NDEBUG is not
// defined, using an invalidated iterator that stands on a value stops the
// process with a message that says so; end() stays valid. The iterator
// carries its path from the root: copying one costs time in the depth of its
// leaf, so step with prefix ++. Dereferencing the end position prints
// "Sakra" on standard output and ends the process with status 1.
//
// Complexity. Every operation and query walks one path from the root, and
// the tree is not balanced: a path is as long as the number of distinct
// values for sorted input, and about 2 ln n for random input.
//
// Memory. Each set owns the memory of its nodes, taken in chunks that grow
// geometrically from room for two nodes of each kind; all of it goes back to
// the system when the set is destroyed, cleared or emptied. A set of a few
// values costs a few hundred bytes.
//
// Threads. Sets share nothing: different sets may be used from different
// threads at once, and a set may move between threads. Const members never
// write, so any number of threads may read one set while none changes it.
//
// Values unequal to themselves (NaN) break the ordering. The set stays
// memory-safe and the program's output for such input stays what the plain
// algorithms give, but once one has been inserted, the answers for other
// values follow the tree's plain algorithms and are not what an ordered
// container would give.
//
// An argument may refer into the set itself (`s >> *s.begin()`), and an
// element's destructor may read the set that held it: the tree is whole and
// stored before any element is destroyed (size() may still count the
// update's occurrence until the operation returns).
//
// RTTI: not needed. With it, the walks tell node kinds apart by typeid,
// which is faster than the virtual call they make without it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <stack>
#include <type_traits>
#include <utility>
#include <vector>

#include "Node.h"
#include "detail/EarlyWalks.h"

#if __cplusplus >= 202002L && __has_include(<ranges>)
#include <ranges>
#endif

namespace orlo {

namespace detail {

struct Access;  // the way in for the set's own tests and tools: detail/Access.h

/// A checked iterator was used after its set changed.
[[noreturn]] inline void staleIterator() {
    std::fputs("BSTSET: an iterator was used after its set changed (an insertion, removal, erase, clear, move or "
               "swap invalidates every iterator of the set)\n",
               stderr);
    std::abort();
}

}  // namespace detail

template <typename T>
class BSTSET {
    static_assert(detail::checkElementType<T>());
    friend struct detail::Access;

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

        /// Where NDEBUG is not defined: an iterator standing on a value must
        /// belong to its set as it is now. The members are there in every
        /// build, so code built either way may share iterators.
        void check() const {
#if !defined(NDEBUG)
            if (current != nullptr && (owner_ == nullptr || owner_->version_ != version_)) detail::staleIterator();
#endif
        }

        Node<T>* current;  // the leaf stood on; null at the end position
        // Every routing node above current, the root at the bottom. The root
        // stays even once the walk has ended.
        std::stack<Node<T>*, std::vector<Node<T>*>> path;
        const BSTSET* owner_ = nullptr;  // the set it was made from
        std::uint64_t version_ = 0;      // that set's version then

        void descend() {
            while (current != nullptr && InnerNode<T>::isRouting(current)) {
                path.push(current);
                // The right subtree is next once the left one is done; near
                // the leaves that is soon, so start fetching it now.
                detail::prefetch(current->getRight());
                current = current->getLeft();
            }
        }

        void advance() {
            for (;;) {
                if (path.size() > 1) {
                    Node<T>* top = path.top();
                    if (top->getLeft() == current) {
                        current = top->getRight();
                        descend();
                        return;
                    }
                    // The right subtree of top is done; so is top.
                    current = top;
                    path.pop();
                } else if (path.size() == 1) {
                    Node<T>* root = path.top();
                    current = root->getLeft() == current ? root->getRight() : nullptr;
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

    BSTSET() noexcept : root(nullptr) {}
    /// One occurrence of each value given, in order.
    BSTSET(std::initializer_list<T> values) : BSTSET(values.begin(), values.end()) {}
    template <typename InputIt, typename = std::enable_if_t<std::is_convertible_v<
                                    typename std::iterator_traits<InputIt>::iterator_category, std::input_iterator_tag>>>
    BSTSET(InputIt first, InputIt last) : BSTSET() {
        for (; first != last; ++first) *this << *first;
    }
    BSTSET(const BSTSET&) = delete;
    BSTSET& operator=(const BSTSET&) = delete;
    BSTSET(BSTSET&& other) noexcept : root(nullptr) { swap(other); }
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
        using std::swap;
        swap(root, other.root);
        arena_.swap(other.arena_);
        swap(size_, other.size_);
        swap(unordered_, other.unordered_);
        swap(lastLeaf_, other.lastLeaf_);
        swap(lastDepth_, other.lastDepth_);
        swapBytes(lastAbsent_, other.lastAbsent_);
        swap(walks_, other.walks_);
        ++version_;
        ++other.version_;
    }
    friend void swap(BSTSET& a, BSTSET& b) noexcept { a.swap(b); }

    /// Inserts one occurrence of v. Throws std::length_error, changing
    /// nothing, when v already occurs INT_MAX times.
    BSTSET& operator<<(const T& v) {
        add(v);
        return *this;
    }

    /// What the queries answer about a value: the depth of its leaf (-1 when
    /// it is not held) and its count.
    struct Where {
        int depth;
        int count;
    };

    /// As `<<`, and where v stands then: set[v] and set(v), found by the
    /// insertion on its way, with no walk of their own.
    Where insertAndLocate(const T& v) { return add(v); }

    /// As `>>`, and where v stands then (not held, when it took the last
    /// occurrence), with no walk of their own.
    Where removeAndLocate(const T& v) { return remove(v, false).first; }

    /// Removes one occurrence of v; removing an absent value changes nothing.
    BSTSET& operator>>(const T& v) {
        remove(v, false);
        return *this;
    }

    /// Depth of v's leaf, the root being level 1; -1 when v is not held.
    int operator[](const T& v) const {
        if (root == nullptr) return -1;
        if (const std::optional<Where> known = lastWhere(v)) return known->depth;
        return InnerNode<T>::locate(root, v).first;
    }

    /// Number of occurrences of v.
    int operator()(const T& v) const {
        if (root == nullptr) return 0;
        if (const std::optional<Where> known = lastWhere(v)) return known->count;
        int levels;
        return InnerNode<T>::leafFor(root, v, levels)->count(v);
    }

    iterator begin() const { return iterator(this, root); }
    const iterator& end() const noexcept { return endIterator; }
    iterator cbegin() const { return begin(); }
    const iterator& cend() const noexcept { return endIterator; }

    bool empty() const noexcept { return root == nullptr; }
    /// All occurrences, as std::multiset counts them. The iterator visits
    /// each distinct value once, so this is not the length of [begin, end).
    size_type size() const noexcept { return size_; }
    size_type count(const T& v) const { return static_cast<size_type>((*this)(v)); }
    bool contains(const T& v) const { return (*this)(v) != 0; }

    /// The position of v, or end() when v is not held.
    iterator find(const T& v) const {
        iterator at = walkTo(v, [](const Node<T>* n, const T& x) { return x < InnerNode<T>::smallest(n); });
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
    iterator insert(const T& v) {
        *this << v;
        return find(v);
    }
    /// As insert(v); the hint is not needed (std::inserter passes one).
    iterator insert(const iterator& hint, const T& v) {
        (void)hint;
        return insert(v);
    }

    /// Removes one occurrence of v (as `>>` does); tells whether v was held.
    bool removeOne(const T& v) { return remove(v, false).second != 0; }

    /// Removes every occurrence of v, as std::multiset::erase(v) does;
    /// returns how many there were.
    size_type erase(const T& v) { return static_cast<size_type>(remove(v, true).second); }

    /// Whether prefetch() does anything for this element type. Hints are
    /// taken for small trivially copyable types (int, double); for others,
    /// std::string among them, a walk costs more than it saves, or its copy
    /// of the value could be seen, and a hint is ignored.
    static constexpr bool kPrefetchWalks = detail::EarlyWalks<T>::kTaken;

    /// A hint that v is about to be inserted, removed or looked up: starts
    /// fetching the nodes on v's path into the cache, so that walk, when it
    /// comes, does not wait for memory level after level. Changes nothing
    /// observable and never fails (a walk that cannot start is skipped).
    ///
    /// Each call also takes every walk under way one level further down, so
    /// a caller that hints each upcoming value some 31 operations ahead keeps
    /// that many fetches in flight and lets each walk reach a leaf of a tree
    /// about that deep before its operation. Walks are not taken in a tree
    /// small enough to stay in the caches.
    ///
    /// Not const: a hint changes the set's bookkeeping, so like an insertion
    /// it needs the set to itself (const members never write, which is what
    /// lets many threads read one set).
    void prefetch(const T& v) noexcept {
        if constexpr (kPrefetchWalks) {
            if (root == nullptr || arena_.bytesHeld() < Walks::kTreeBytes) return;
            try {
                if (!walks_) walks_ = std::make_unique<Walks>();
                walks_->start(v, root);
            } catch (...) {
                // Out of memory, or a comparison that throws: only a hint is
                // lost.
            }
        } else {
            (void)v;
        }
    }

    /// Removes everything and gives the nodes' memory back. The elements are
    /// destroyed after the set is empty.
    void clear() noexcept {
        ++version_;
        if (walks_) walks_->endAll();
        Node<T>* old = root;
        root = nullptr;
        size_ = 0;
        unordered_ = false;
        forgetLast();
        InnerNode<T>::destroy(old, arena_);
    }

    /// Bytes this set holds from the system for its nodes.
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
        if (root != nullptr) stack.emplace_back(root, 1);
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
        for (Node<T>* n = root; n != nullptr; ++depth) {
            const NodeView view = viewOf(n, depth);
            f(view);
            if (view.leaf) return;
            n = v < InnerNode<T>::smallest(n->getRight()) ? n->getLeft() : n->getRight();
        }
    }

private:
    static NodeView viewOf(Node<T>* n, int depth) {
        const bool leaf = !InnerNode<T>::isRouting(n);
        return NodeView{n, leaf, depth, n->leftMin(), n->rightMax(), leaf ? static_cast<LeafNode<T>*>(n)->multiplicity : 0};
    }

    using Walks = detail::EarlyWalks<T>;
    // Walks may hold any node of the tree; a rebuilt routing node would
    // leave one holding a retired node. Types walked are assigned, not
    // rebuilt.
    static_assert(!Walks::kTaken || detail::BoundEdit<T>::kHow != detail::BoundEdit<T>::How::Rebuild);

    Node<T>* root;  // owned
    iterator endIterator;
    detail::TreeArena<T> arena_;  // where root's nodes live
    size_type size_ = 0;
    std::uint64_t version_ = 0;  // counts changes, for checked iterators

    // A value unequal to itself (NaN) breaks the ordering that the fast walks
    // and the query shortcut rely on; a tree that ever held one walks as the
    // plain formulation says and answers every query by walking.
    bool unordered_ = false;

    // The two queries that follow an update almost always ask about the value
    // just updated, which the update found on its way. Until the tree changes
    // again the set keeps its leaf and depth, or, when the value is no longer
    // held and copies of T are inert bytes (trivially copyable types), the
    // value. No other copy of a value outlives its presence in the set. Only
    // updates write these, so queries stay read-only.
    LeafNode<T>* lastLeaf_ = nullptr;
    int lastDepth_ = -1;
    static constexpr bool kKeepsAbsent = std::is_trivially_copyable_v<T>;
    std::optional<std::conditional_t<kKeepsAbsent, T, char>> lastAbsent_;

    // Walks begun ahead of time by prefetch(). Invariant: every node a walk
    // holds is a node of the tree; removals tell the walks what they freed.
    std::unique_ptr<Walks> walks_;

    /// Inserts one occurrence of v; returns where it stands then.
    Where add(const T& v) {
        ++version_;
        forgetLast();
        if (!(v == v)) unordered_ = true;
        beforeUpdate(v);
        detail::Update<T> update;
        update.arena = &arena_;
        if (root == nullptr) {
            auto* leaf = new (arena_) LeafNode<T>(v);
            root = leaf;
            update.depth = update.count = 1;
            update.leaf = leaf;
        } else if (unordered_) {
            root = InnerNode<T>::addUnordered(root, v, update);
        } else {
            root = root->add(v, &update);
        }
        ++size_;
        learn(v, update);
        const Where where = whereAfter(v, update);
        update.finish();
        return where;
    }

    /// Removes one occurrence of v, or all of them; returns where v stands
    /// then, and how many went.
    std::pair<Where, int> remove(const T& v, bool every) {
        ++version_;
        forgetLast();
        if (root == nullptr) return {{-1, 0}, 0};
        if (!(v == v)) unordered_ = true;
        beforeUpdate(v);
        detail::Update<T> update;
        update.arena = &arena_;
        update.everyOccurrence = every;
        root = unordered_ ? InnerNode<T>::delUnordered(root, v, update) : root->del(v, &update);
        size_ -= static_cast<size_type>(update.removed);
        afterRemoval(update);
        // v may be a value the removal freed: it is read here, before the
        // freed nodes are destroyed.
        learn(v, update);
        const Where where = whereAfter(v, update);
        update.finish();
        return {where, update.removed};
    }

    /// Where v stands after an update: as the update found it, in an ordered
    /// tree; by the queries' own walk in one that is not.
    Where whereAfter(const T& v, const detail::Update<T>& update) const {
        if (!unordered_) return {update.depth, update.count};
        if (root == nullptr) return {-1, 0};
        const auto [depth, count] = InnerNode<T>::locate(root, v);
        return {depth, count};
    }

    /// Before every update: its early walk, if any, fetches its path again.
    void beforeUpdate(const T& v) noexcept {
        if (walks_) walks_->beforeUpdate(v);
    }

    /// After every removal: walks that hold a node it freed end.
    void afterRemoval(const detail::Update<T>& update) noexcept {
        if (walks_ && update.freedLeaf != nullptr) {
            walks_->afterRemoval(update.freedLeaf, update.freedInner, root == nullptr);
        }
    }

    void forgetLast() noexcept {
        lastLeaf_ = nullptr;
        lastAbsent_.reset();
    }

    void learn(const T& v, const detail::Update<T>& update) noexcept {
        if (unordered_) return;
        lastLeaf_ = update.leaf;
        lastDepth_ = update.depth;
        if constexpr (kKeepsAbsent) {
            if (update.leaf == nullptr) lastAbsent_.emplace(v);
        } else {
            (void)v;
        }
    }

    /// Where v stands, as the last update found it, when v is the value it
    /// updated.
    std::optional<Where> lastWhere(const T& v) const {
        if (lastLeaf_ != nullptr && v == lastLeaf_->value) return Where{lastDepth_, lastLeaf_->multiplicity};
        if constexpr (kKeepsAbsent) {
            if (lastAbsent_ && v == *lastAbsent_) return Where{-1, 0};
        }
        return std::nullopt;
    }

    /// An iterator on the leaf a walk toward v reaches, going left at each
    /// routing node n where goLeft(n's left or right child, v) holds
    /// (`byLeft`: it is given the left child, else the right).
    template <typename GoLeft>
    iterator walkTo(const T& v, GoLeft goLeft, bool byLeft = false) const {
        iterator at;
        at.owner_ = this;
        at.version_ = version_;
        Node<T>* n = root;
        while (n != nullptr && InnerNode<T>::isRouting(n)) {
            at.path.push(n);
            n = goLeft(byLeft ? n->getLeft() : n->getRight(), v) ? n->getLeft() : n->getRight();
        }
        at.current = n;
        return at;
    }

    /// Exchanges two objects of a trivially copyable type byte for byte: no
    /// user code (a swap or a move of T) runs, so it cannot throw.
    template <typename U>
    static void swapBytes(U& a, U& b) noexcept {
        static_assert(std::is_trivially_copyable_v<U>);
        unsigned char t[sizeof(U)];
        std::memcpy(t, static_cast<void*>(&a), sizeof(U));
        std::memcpy(static_cast<void*>(&a), static_cast<void*>(&b), sizeof(U));
        std::memcpy(static_cast<void*>(&b), t, sizeof(U));
    }
};

}  // namespace orlo

#if __cplusplus >= 202002L && __has_include(<ranges>)
// size() counts every occurrence, as std::multiset does, but the iterator
// visits each distinct value once: the range's length is not size(), so the
// range library must not take it for one (std::ranges::distance walks).
template <typename T>
inline constexpr bool std::ranges::disable_sized_range<orlo::BSTSET<T>> = true;
#endif
