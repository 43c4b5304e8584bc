// ReadAheadSet: a BSTSET that is told of upcoming values, and walks toward
// them early.
//
// A walk starts at the root when its value is hinted (prefetch(v)) and goes
// one level further down at every later hint, fetching the nodes it will
// read next. By the time the update of its value comes, the path is in the
// cache and the update does not wait for memory level after level. Hint
// each upcoming value some 31 operations ahead: a tree of a few hundred
// thousand values (some 26 levels) then has its paths fetched in time.
//
// Hints change nothing observable and never throw. A walk reads only nodes
// of the tree: the set tells the walks of every node an update takes out
// (the walks are an observer of its updates), so every update goes through
// the ReadAheadSet, which owns its set. Walks keep a copy of their value, so
// they are taken only where that copy is inert and a walk pays: for
// arithmetic types (int, double) whose routing nodes fit a cache line, in a
// tree too large to stay in the caches. For any other type, std::string or
// std::string_view among them, a hint does nothing (kReadsAhead is false):
// a string's walk costs more than it saves, and a copy of a view could
// outlive what it views. A hint changes the set's bookkeeping, so like an
// insertion it needs the set to itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <type_traits>

#include "BSTSET.h"

namespace orlo {

namespace detail {

/// Whether walks are taken for T at all. Its bounds are assigned in place,
/// never rebuilt, so an update takes out at most a leaf and its parent.
template <typename T>
constexpr bool kWalksTaken = tuning::kReadAhead && std::is_arithmetic_v<T> && kBoundsBy<T> == BoundsBy::Assigning &&
                             sizeof(InnerNode<T>) <= 64;

/// The walks of one ReadAheadSet<T>, for a T they are taken for.
template <typename T>
class EarlyWalks {
public:
    /// Walks under way at once. A walk reaches a leaf of a tree about as
    /// deep as the number of hints that follow its own before its update,
    /// and a tree of a few hundred thousand values is some 26 levels deep:
    /// 32 walks, hinted 31 operations ahead, let every walk arrive in time.
    /// Measured by `build-bench/bench/orlo-tree-bench
    /// --benchmark_filter=EarlyWalk` (walks pay from about 20 ahead; 48 and
    /// 64 walks gained nothing over 32).
    static constexpr std::size_t kWalks = 32;

    /// Node memory below which a tree stays in the caches and walks only
    /// cost time (with walks on, 1,000 values updated over and over lost
    /// 11 %: bench/run.sh dup).
    static constexpr std::size_t kTreeBytes = std::size_t{4} << 20;

    /// Takes every walk under way one level down and starts one for v (the
    /// oldest walk gives way when all are under way).
    void start(const T& v, const Node<T>* root) noexcept {
        for (std::size_t i = 0; i < kWalks; ++i) {
            if (right_[i] != nullptr) step(i);
        }
        if (!isRouting(root)) return;
        const std::size_t i = next_;
        next_ = (next_ + 1) % kWalks;
        values_[i] = v;
        trailLength_[i] = 0;
        enter(i, static_cast<const InnerNode<T>*>(root));
    }

    /// The update of v is about to walk. Its early walk brought the path into
    /// the caches, but the work since (the caller's system calls, above all)
    /// may have pushed it out of the nearest one, where a walk of dependent
    /// reads wants it: the trail is fetched again, all at once, and the walk
    /// ends. Trail nodes are only fetched, never read, so one that an update
    /// has freed since does no harm.
    void beforeUpdate(const T& v) noexcept {
        for (std::size_t k = 0; k < kWalks; ++k) {
            const std::size_t i = (next_ + k) % kWalks;
            if (trailLength_[i] == 0 || !(values_[i] == v)) continue;
            for (std::size_t t = 0; t < trailLength_[i]; ++t) prefetch(trails_[i][t]);
            end(i);
            return;
        }
    }

    /// An update took these nodes out of the tree (either may be null); a
    /// walk holding one ends.
    void forget(const void* leaf, const void* inner) noexcept {
        for (std::size_t i = 0; i < kWalks; ++i) {
            if (holds(i, leaf) || holds(i, inner)) end(i);
        }
    }

    std::size_t underWay() const noexcept {
        std::size_t n = 0;
        for (const Node<T>* right : right_) n += right != nullptr ? 1 : 0;
        return n;
    }

    /// Calls f with each node a walk under way holds (for checks that every
    /// one is a node of the tree).
    template <typename F>
    void forEachHeld(F&& f) const {
        for (std::size_t i = 0; i < kWalks; ++i) {
            if (right_[i] == nullptr) continue;
            f(left_[i]);
            f(right_[i]);
        }
    }

private:
    // Both children of each routing node on a path, down to this depth;
    // deeper levels are not fetched again before the update.
    static constexpr std::size_t kTrail = 2 * 40;

    bool holds(std::size_t i, const void* node) const noexcept {
        return node != nullptr && right_[i] != nullptr && (left_[i] == node || right_[i] == node);
    }

    void end(std::size_t i) noexcept {
        left_[i] = right_[i] = nullptr;
        trailLength_[i] = 0;
    }

    /// A node's first line, and its last when a routing node can straddle
    /// two lines (one of double takes 40 bytes): a step reads its far end.
    static void fetchNode(const Node<T>* n) noexcept {
        prefetch(n);
        if constexpr (sizeof(InnerNode<T>) > 32) {
            prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(n) + sizeof(InnerNode<T>) - 1));
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
    void step(std::size_t i) noexcept {
        // The queries' routing; where the values are ordered it is the
        // updates' too. The direction is a coin toss, so it is a select, not
        // a branch.
        const bool goLeft = less(values_[i], smallest(right_[i]));
        const Node<T>* child = pick(goLeft, left_[i], right_[i]);
        if (isRouting(child)) {
            enter(i, static_cast<const InnerNode<T>*>(child));
        } else {
            // At a leaf: the whole path is on its way. The trail stays for
            // beforeUpdate().
            left_[i] = right_[i] = nullptr;
        }
    }

    // Walk i: the children of the node it has reached (both null when no walk
    // is under way; both nodes of the tree when one is), its value, and its
    // trail.
    const Node<T>* left_[kWalks] = {};
    const Node<T>* right_[kWalks] = {};
    T values_[kWalks] = {};
    std::size_t trailLength_[kWalks] = {};  // 0: nothing to fetch again
    const void* trails_[kWalks][kTrail];
    std::size_t next_ = 0;
};

}  // namespace detail

/// A BSTSET<T> that reads ahead: prefetch(v) hints that v is about to be
/// inserted, removed or looked up. Everything else is the set's own, and
/// promises what BSTSET.h states.
template <typename T>
class ReadAheadSet {
public:
    using value_type = T;
    using Where = typename BSTSET<T>::Where;
    using iterator = typename BSTSET<T>::iterator;

    /// Whether hints do anything for T.
    static constexpr bool kReadsAhead = detail::kWalksTaken<T>;

    /// A hint that v is about to be inserted, removed or looked up: starts
    /// fetching the nodes on v's path, and takes every walk under way one
    /// level further. Never fails: a walk that cannot start is skipped.
    void prefetch(const T& v) noexcept {
        if constexpr (kReadsAhead) {
            if (set_.root_ == nullptr || set_.arena_.nodeBytes() < Walks::kTreeBytes) return;
            if (!walks_) walks_.reset(new (std::nothrow) Walks());
            if (walks_) walks_->start(v, set_.root_);
        } else {
            (void)v;
        }
    }

    Where insertAndLocate(const T& v) {
        if constexpr (kReadsAhead) {
            if (walks_) walks_->beforeUpdate(v);
        }
        return set_.insertAndLocate(v);  // takes nothing out
    }
    Where removeAndLocate(const T& v) {
        if constexpr (kReadsAhead) {
            if (walks_) walks_->beforeUpdate(v);
            Forget taken;
            const Where where = set_.removeAndLocate(v, taken);
            if (walks_ && taken.leaf != nullptr) {
                if (set_.empty()) {
                    walks_.reset();  // the tree is gone, and with it what walks could hold
                } else {
                    walks_->forget(taken.leaf, taken.inner);
                }
            }
            return where;
        } else {
            return set_.removeAndLocate(v);
        }
    }
    ReadAheadSet& operator<<(const T& v) {
        insertAndLocate(v);
        return *this;
    }
    ReadAheadSet& operator>>(const T& v) {
        removeAndLocate(v);
        return *this;
    }
    int operator[](const T& v) const { return set_[v]; }
    int operator()(const T& v) const { return set_(v); }
    iterator begin() const { return set_.begin(); }
    const iterator& end() const noexcept { return set_.end(); }
    bool empty() const noexcept { return set_.empty(); }
    std::size_t size() const noexcept { return set_.size(); }
    void clear() noexcept {
        walks_.reset();
        set_.clear();
    }
    /// Bytes held from the system: the set's, and its walks'.
    std::size_t memoryHeld() const noexcept { return set_.memoryHeld() + (walks_ ? sizeof(Walks) : 0); }

    /// The set itself, to read.
    const BSTSET<T>& contents() const noexcept { return set_; }

private:
    friend struct detail::Access;
    struct NoWalks {
        static std::size_t underWay() noexcept { return 0; }
        template <typename F>
        void forEachHeld(F&&) const noexcept {}
    };
    using Walks = std::conditional_t<kReadsAhead, detail::EarlyWalks<T>, NoWalks>;

    /// Notes the (at most two) nodes a removal takes out.
    struct Forget : QuietObserver<T> {
        Node<T>* leaf = nullptr;
        Node<T>* inner = nullptr;
        void freed(Node<T>* n) noexcept { (leaf == nullptr ? leaf : inner) = n; }
    };

    BSTSET<T> set_;
    // Walks begun by prefetch(); made at the first hint that pays, and moved
    // with the set. Invariant: every node a walk holds is a node of set_.
    std::unique_ptr<Walks> walks_;
};

}  // namespace orlo
