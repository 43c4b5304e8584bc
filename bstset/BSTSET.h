// BSTSET: an ordered multiset over the leaf-oriented search tree of Node.h,
// and its iterator, which visits each distinct value once in ascending order.
//
// The operations are operators: `set << v` inserts one occurrence, `set >> v`
// removes one, `set[v]` is the depth of v's leaf (-1 when absent) and `set(v)`
// its multiplicity (0 when absent). Beside them the standard names: empty(),
// size(), count(), contains(), find(), insert(), removeOne(), clear(); and
// prefetch(v), a hint of an operation to come, which starts fetching v's
// path into the cache.
//
// What the element type T must offer (each missing one is a compile error
// that names it):
//   - a < b, a > b, a == b, a != b on const operands, convertible to bool,
//     ordering the values strictly (a value unequal to itself, like NaN, is
//     tolerated: the tree then answers exactly as its plain description
//     says, which is never "found");
//   - copy construction and copy assignment;
//   - a destructor that does not throw.
// Default construction is not needed.
//
// Guarantees: an insertion or removal that throws leaves the set exactly as
// it was, when T's copy assignment cannot throw or T has a swap that cannot
// (std::string, any type with non-throwing moves); for other types, and for
// removals from a tree that has held a value unequal to itself with such a
// T, the set stays valid and destructible. An argument may refer into the
// set itself (`s >> *s.begin()`). Sets share nothing: two sets may be used
// from two threads at once, and a set may move between threads. Const
// members never write, so any number of threads may read one set while none
// changes it. Any insertion or removal invalidates every iterator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <stack>
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
}

template <typename T>
class BSTSET {
    static_assert(detail::checkElementType<T>());
    friend struct detail::Access;

public:
    /// A forward iterator over the distinct values, ascending. The values
    /// cannot be changed through it: that would break the order. It carries
    /// the routing nodes above its leaf, so copying it costs time in the
    /// tree's height; step with prefix ++ where the old position is not
    /// needed.
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = const T*;
        using reference = const T&;

        /// The end position.
        iterator() noexcept : current(nullptr) {}

        /// Stands on the smallest value of the subtree under start, or at the
        /// end position when start is null.
        explicit iterator(Node<T>* start) : current(start) { descend(); }

        /// Two iterators are equal when they stand on the same leaf.
        bool operator!=(const iterator& other) const noexcept { return current != other.current; }
        bool operator==(const iterator& other) const noexcept { return current == other.current; }

        /// The value the iterator stands on. Reading past the end is a fault
        /// in the caller that cannot be reported any other way: it ends the
        /// process.
        const T& operator*() const {
            if (current == nullptr) {
                std::cout << "Sakra" << std::endl;
                std::exit(1);
            }
            return current->leftMin();
        }
        const T* operator->() const { return &**this; }

        /// Moves to the next distinct value, or to the end position.
        iterator& operator++() {
            advance();
            return *this;
        }
        /// As ++it, returning where the iterator stood.
        iterator operator++(int) {
            iterator before(*this);
            advance();
            return before;
        }

    private:
        friend class BSTSET;

        Node<T>* current;  // the leaf stood on; null at the end position
        // Every routing node above current, the root at the bottom. The root
        // stays even once the walk has ended.
        std::stack<Node<T>*, std::vector<Node<T>*>> path;

        void descend() {
            while (current != nullptr && current->getType() == 0) {
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
    virtual ~BSTSET() {
        InnerNode<T>::destroy(root);
        delete arena_;
    }

    void swap(BSTSET& other) noexcept {
        using std::swap;
        swap(root, other.root);
        swap(arena_, other.arena_);
        swap(size_, other.size_);
        swap(unordered_, other.unordered_);
        swap(lastValue_, other.lastValue_);
        swap(lastOutcome_, other.lastOutcome_);
        swap(lastKnown_, other.lastKnown_);
        swap(walks_, other.walks_);
    }
    friend void swap(BSTSET& a, BSTSET& b) noexcept { a.swap(b); }

    /// Inserts one occurrence of v. Throws std::length_error, changing
    /// nothing, when v already occurs INT_MAX times.
    void operator<<(T v) {
        remember(v);
        beforeUpdate(v);
        Outcome outcome;
        if (root == nullptr) {
            if (arena_ == nullptr) arena_ = new TreeArena<T>();
            root = new (*arena_) LeafNode<T>(v);
            outcome = {1, 1};
        } else if (unordered_) {
            root = InnerNode<T>::addUnordered(root, v, &outcome);
        } else {
            root = root->add(v, &outcome);
        }
        ++size_;
        learn(outcome);
    }

    /// Removes one occurrence of v; removing an absent value changes nothing.
    void operator>>(const T& v) {
        if (root == nullptr) return;
        // The removal works on the copy: v may be the very value it frees.
        remember(v);
        beforeUpdate(v);
        const T& value = *lastValue_;
        Outcome outcome;
        if (unordered_) {
            root = InnerNode<T>::delUnordered(root, value, &outcome);
        } else {
            root = root->del(value, &outcome);
        }
        if (outcome.removed) --size_;
        afterRemoval(outcome);
        learn(outcome);
    }

    /// Depth of v's leaf, the root being level 1; -1 when v is not held.
    int operator[](const T& v) const {
        if (root == nullptr) return -1;
        return isLast(v) ? lastOutcome_.depth : InnerNode<T>::locate(root, v).depth;
    }

    /// Number of occurrences of v.
    int operator()(const T& v) const {
        if (root == nullptr) return 0;
        if (isLast(v)) return lastOutcome_.count;
        int levels;
        return InnerNode<T>::leafFor(root, v, levels)->count(v);
    }

    iterator begin() const { return iterator(root); }
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
        iterator at;
        if (root == nullptr) return at;
        Node<T>* n = root;
        while (n->getType() == 0) {
            at.path.push(n);
            n = v < n->getRight()->leftMin() ? n->getLeft() : n->getRight();
        }
        if (!(v == n->leftMin())) return iterator();
        at.current = n;
        return at;
    }

    /// Inserts one occurrence of v (as `<<` does) and returns its position.
    iterator insert(const T& v) {
        *this << v;
        return find(v);
    }

    /// Removes one occurrence of v (as `>>` does); tells whether v was held.
    /// (std::multiset::erase(v) removes every occurrence; this does not.)
    bool removeOne(const T& v) {
        const size_type before = size_;
        *this >> v;
        return size_ != before;
    }

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
            if (root == nullptr || arena_ == nullptr || arena_->bytesHeld() < Walks::kTreeBytes) return;
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

    /// How many early walks are under way (for tests and tuning).
    std::size_t walksUnderWay() const noexcept { return walks_ ? walks_->underWay() : 0; }

    /// Removes everything and gives the nodes' memory back.
    void clear() noexcept {
        if (walks_) walks_->endAll();
        InnerNode<T>::destroy(root);
        root = nullptr;
        size_ = 0;
        unordered_ = false;
        lastKnown_ = false;
        delete arena_;
        arena_ = nullptr;
    }

    /// The root of the tree, null when the multiset is empty; for walks that
    /// need the tree's shape (drawing it, checking it).
    Node<T>* getRoot() const noexcept { return root; }

    /// Bytes this set holds from the system for its nodes.
    size_type memoryHeld() const noexcept { return arena_ == nullptr ? 0 : arena_->bytesHeld(); }

private:
    Node<T>* root;  // owned
    iterator endIterator;
    TreeArena<T>* arena_ = nullptr;  // owned; where root's nodes live
    size_type size_ = 0;

    // A value unequal to itself (NaN) breaks the ordering that the fast walks
    // and the query shortcut rely on; a tree that ever held one walks as the
    // plain formulation says and answers every query by walking.
    bool unordered_ = false;

    // The two queries that follow an update almost always ask about the value
    // just updated, whose depth and count the update found on its way. They
    // are kept until the tree changes again. Only updates write them, so
    // queries stay read-only.
    std::optional<T> lastValue_;
    Outcome lastOutcome_;
    bool lastKnown_ = false;

    // Walks begun ahead of time by prefetch(). Invariant: every node a walk
    // holds is a node of the tree; removals tell the walks what they freed.
    using Walks = detail::EarlyWalks<T>;
    std::unique_ptr<Walks> walks_;

    /// Before every update: its early walk, if any, fetches its path again.
    void beforeUpdate(const T& v) noexcept {
        if (walks_) walks_->beforeUpdate(v);
    }

    /// After every removal: walks that hold a node it freed end.
    void afterRemoval(const Outcome& outcome) noexcept {
        if (walks_ && outcome.freedLeaf != nullptr) {
            walks_->afterRemoval(outcome.freedLeaf, outcome.freedInner, root == nullptr);
        }
    }

    bool isLast(const T& v) const { return lastKnown_ && v == *lastValue_; }

    /// Copies the value an update is about to use, before anything changes:
    /// a copy that throws leaves the set as it was.
    void remember(const T& v) {
        lastKnown_ = false;
        if (!(v == v)) unordered_ = true;
        if (lastValue_) {
            *lastValue_ = v;
        } else {
            lastValue_.emplace(v);
        }
    }

    void learn(const Outcome& outcome) noexcept {
        lastOutcome_ = outcome;
        lastKnown_ = !unordered_;
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
