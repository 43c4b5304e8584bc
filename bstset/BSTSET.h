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

#if __cplusplus >= 202002L && __has_include(<ranges>)
#include <ranges>
#endif

namespace orlo {

template <typename T>
class BSTSET {
    static_assert(detail::checkElementType<T>());

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
        if (walks_) walks_->warm(v);
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
        if (walks_) walks_->warm(v);
        const T& value = *lastValue_;
        Outcome outcome;
        if (unordered_) {
            root = InnerNode<T>::delUnordered(root, value, &outcome);
        } else {
            root = root->del(value, &outcome);
        }
        if (outcome.removed) --size_;
        if (walks_ != nullptr && outcome.freedLeaf != nullptr) {
            if (root == nullptr) {
                walks_->forgetAll();  // the arena has given its memory back
            } else {
                walks_->forget(outcome.freedLeaf, outcome.freedInner);
            }
        }
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

    /// How many early walks prefetch() keeps under way.
    static constexpr std::size_t kEarlyWalks = 32;

    /// A hint that v is about to be inserted, removed or looked up: starts
    /// fetching the nodes on v's path into the cache, so that walk, when it
    /// comes, does not wait for memory level after level. Changes nothing
    /// observable and never fails (a walk that cannot start is skipped).
    ///
    /// Each call also takes every walk under way one level further down, so
    /// a caller that hints each upcoming value some kEarlyWalks - 1
    /// operations ahead keeps that many fetches in flight and lets each walk
    /// reach a leaf of a tree about that deep before its operation. A walk
    /// started while kEarlyWalks are under way replaces the oldest.
    ///
    /// Early walks cost time of their own, so they are not taken where they
    /// cannot pay: in a tree small enough to stay in the caches, and for
    /// element types whose routing nodes span more than a cache line
    /// (std::string), where a step fetches several lines and compares
    /// through a call (bench/tree_bench.cpp, EarlyWalk).
    void prefetch(const T& v) noexcept {
        if constexpr (!kEarlyWalksPay) {
            (void)v;
        } else {
            if (root == nullptr || arena_ == nullptr || arena_->bytesHeld() < kEarlyWalkBytes) return;
            try {
                if (!walks_) walks_ = std::make_unique<EarlyWalks>();
                walks_->start(v, root);
            } catch (...) {
                // Out of memory, or a copy of v that throws: only a hint is
                // lost.
            }
        }
    }

    /// How many early walks are under way (for tests and tuning).
    std::size_t walksUnderWay() const noexcept { return walks_ ? walks_->underWay() : 0; }

    /// Removes everything and gives the nodes' memory back.
    void clear() noexcept {
        if (walks_) walks_->forgetAll();
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

    // Walks begun ahead of time. A walk under way holds the two children of
    // the routing node it has reached, already on their way into the cache;
    // a step routes by them as the queries do and moves to one of them.
    // Invariant: both children a walk holds are nodes of the tree. A removal
    // hands over the nodes it frees (forget()), and clear() ends every walk.
    // Each walk also keeps the nodes it has fetched (its trail), so the
    // update it was started for can fetch them again all at once (warm()).
    class EarlyWalks {
    public:
        void start(const T& v, const Node<T>* root) {
            for (std::size_t i = 0; i < kEarlyWalks; ++i) {
                if (right_[i] != nullptr) step(i);
            }
            if (!InnerNode<T>::isRouting(root)) return;
            const std::size_t i = next_;
            next_ = (next_ + 1) % kEarlyWalks;
            right_[i] = nullptr;  // until the copy below has succeeded
            trailLength_[i] = 0;
            if (values_[i]) {
                *values_[i] = v;
            } else {
                values_[i].emplace(v);
            }
            enter(i, static_cast<const InnerNode<T>*>(root));
        }

        /// The update of v is about to walk. Its early walk brought the path
        /// into the caches, but the work since (the caller's system calls,
        /// above all) may have pushed it out of the nearest one, where a walk
        /// of dependent reads wants it: the trail is fetched again, all at
        /// once. Trail nodes are only fetched, never read, so one that an
        /// update has freed since does no harm.
        void warm(const T& v) noexcept {
            try {
                for (std::size_t k = 0; k < kEarlyWalks; ++k) {
                    const std::size_t i = (next_ + k) % kEarlyWalks;
                    if (trailLength_[i] == 0 || !(*values_[i] == v)) continue;
                    for (std::size_t t = 0; t < trailLength_[i]; ++t) detail::prefetch(trails_[i][t]);
                    right_[i] = nullptr;
                    trailLength_[i] = 0;
                    return;
                }
            } catch (...) {
                // A comparison that throws costs only the hint.
            }
        }

        void forget(const void* leaf, const void* inner) noexcept {
            for (std::size_t i = 0; i < kEarlyWalks; ++i) {
                if (left_[i] == leaf || left_[i] == inner || right_[i] == leaf || right_[i] == inner) {
                    right_[i] = nullptr;
                }
            }
        }

        std::size_t underWay() const noexcept {
            std::size_t n = 0;
            for (const Node<T>* right : right_) n += right != nullptr ? 1 : 0;
            return n;
        }

        void forgetAll() noexcept {
            for (std::size_t i = 0; i < kEarlyWalks; ++i) {
                right_[i] = nullptr;
                trailLength_[i] = 0;
            }
        }

    private:
        // Both children of each routing node on a path, down to this depth.
        static constexpr std::size_t kTrail = 2 * 40;

        /// A node's first line, and its last when a routing node can straddle
        /// two lines (one of double takes 40 bytes): a step reads its far end.
        static void fetchNode(const Node<T>* n) noexcept {
            detail::prefetch(n);
            if constexpr (sizeof(InnerNode<T>) > 32) {
                detail::prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(n) + sizeof(InnerNode<T>) - 1));
            }
        }

        /// Walk i arrives at routing node n: its children are fetched.
        void enter(std::size_t i, const InnerNode<T>* n) noexcept {
            left_[i] = n->left;
            right_[i] = n->right;
            fetchNode(left_[i]);
            fetchNode(right_[i]);
            if (trailLength_[i] + 2 <= kTrail) {
                trails_[i][trailLength_[i]] = left_[i];
                trails_[i][trailLength_[i] + 1] = right_[i];
                trailLength_[i] += 2;
            }
        }

        /// Walk i goes one level down toward its value.
        void step(std::size_t i) {
            // The queries' routing; where the values are ordered it is the
            // updates' too. The direction is a coin toss, so it is a select,
            // not a branch.
            const bool goLeft = detail::less(*values_[i], InnerNode<T>::smallest(right_[i]));
            const Node<T>* child = detail::pick(goLeft, left_[i], right_[i]);
            if (InnerNode<T>::isRouting(child)) {
                enter(i, static_cast<const InnerNode<T>*>(child));
            } else {
                right_[i] = nullptr;  // at a leaf: the whole path is on its way
            }
        }

        // Walk i: the children of the node it has reached (right_ null when
        // no walk is under way), its value, and its trail.
        const Node<T>* left_[kEarlyWalks] = {};
        const Node<T>* right_[kEarlyWalks] = {};
        std::optional<T> values_[kEarlyWalks];
        std::size_t trailLength_[kEarlyWalks] = {};  // 0: nothing to warm
        const void* trails_[kEarlyWalks][kTrail];
        std::size_t next_ = 0;
    };
    std::unique_ptr<EarlyWalks> walks_;
    static constexpr bool kEarlyWalksPay = sizeof(InnerNode<T>) <= 64;
    // Below this much node memory a tree stays in the caches.
    static constexpr std::size_t kEarlyWalkBytes = std::size_t{4} << 20;

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
