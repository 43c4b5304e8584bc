// EarlyWalks: the work behind BSTSET::prefetch(v), a hint that v is about to
// be inserted, removed or looked up.
//
// A walk starts at the root when its value is hinted and goes one level
// further down at every later hint, fetching the nodes it will read next.
// By the time the update of its value comes, the path is in the cache and
// the update does not wait for memory level after level. A walk reads only
// nodes of the tree (see forget()); the addresses it has fetched are only
// ever fetched again, never read.
//
// Walks are taken only where they pay and cannot be observed: for element
// types that are trivially copyable (a walk's copy of its value has no
// destructor, owns nothing and is gone without a trace) and whose routing
// nodes fit a cache line. For std::string a step fetches two or three lines
// and compares byte by byte, which costs more than the fetch saves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <type_traits>

#include "../Node.h"

namespace orlo::detail {

template <typename T>
class EarlyWalks {
public:
    /// Whether walks are taken for T at all. T's copy assignment must not
    /// throw either: then updates assign new bounds in place and never
    /// replace a routing node a walk might hold.
    static constexpr bool kTaken =
        std::is_trivially_copyable_v<T> && std::is_nothrow_copy_assignable_v<T> && sizeof(InnerNode<T>) <= 64;

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
    /// oldest walk gives way when all are under way). A comparison that
    /// throws leaves every walk where it was.
    void start(const T& v, const Node<T>* root) {
        for (std::size_t i = 0; i < kWalks; ++i) {
            if (right_[i] != nullptr) step(i);
        }
        if (!InnerNode<T>::isRouting(root)) return;
        const std::size_t i = next_;
        next_ = (next_ + 1) % kWalks;
        values_[i].emplace(v);  // a trivial copy: cannot throw
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
        try {
            for (std::size_t k = 0; k < kWalks; ++k) {
                const std::size_t i = (next_ + k) % kWalks;
                if (trailLength_[i] == 0 || !(*values_[i] == v)) continue;
                for (std::size_t t = 0; t < trailLength_[i]; ++t) prefetch(trails_[i][t]);
                end(i);
                return;
            }
        } catch (...) {
            // A comparison that throws costs only the hint.
        }
    }

    /// A removal freed these nodes (either may be null); a walk holding one
    /// ends. `treeEmpty`: the tree is gone, and with it every node a walk
    /// could hold.
    void afterRemoval(const void* leaf, const void* inner, bool treeEmpty) noexcept {
        for (std::size_t i = 0; i < kWalks; ++i) {
            if (treeEmpty || holds(i, leaf) || holds(i, inner)) end(i);
        }
    }

    /// Ends every walk (the tree is cleared, or the set moved away).
    void endAll() noexcept {
        for (std::size_t i = 0; i < kWalks; ++i) end(i);
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
    void step(std::size_t i) {
        // The queries' routing; where the values are ordered it is the
        // updates' too. The direction is a coin toss, so it is a select, not
        // a branch.
        const bool goLeft = less(*values_[i], InnerNode<T>::smallest(right_[i]));
        const Node<T>* child = pick(goLeft, left_[i], right_[i]);
        if (InnerNode<T>::isRouting(child)) {
            enter(i, static_cast<const InnerNode<T>*>(child));
        } else {
            // At a leaf: the whole path is on its way. The trail stays for
            // beforeUpdate().
            left_[i] = right_[i] = nullptr;
        }
    }

    // Walk i: the children of the node it has reached (both null when no walk
    // is under way; both nodes of the tree when one is), its value, and its
    // trail. Values are plain copies of a trivially copyable type; one left
    // behind by an ended walk is inert bytes.
    const Node<T>* left_[kWalks] = {};
    const Node<T>* right_[kWalks] = {};
    std::optional<T> values_[kWalks];
    std::size_t trailLength_[kWalks] = {};  // 0: nothing to fetch again
    const void* trails_[kWalks][kTrail];
    std::size_t next_ = 0;
};

}  // namespace orlo::detail
