// The walks: the one insertion walk, the one removal walk, and the query
// walk, each from a given node down to a leaf, without recursion (a tree of
// sorted input is as tall as it holds values).
//
// An insertion and a removal take the comparisons of the tree's algorithm
// (Node.h), but where a policy chosen at compile time (WalkPolicy) lets them
// take a shorter way to the same result:
//   - kOrdered: the tree holds no value unequal to itself, and v is not one.
//     Its cached bounds are then copies of the values they stand for, so a
//     walk may read a node's own bounds where the algorithm reads a child's
//     (the same answer, one child fewer to fetch), only the bounds on one run
//     of same-side steps can change, and where v stands after the update is
//     known from the walk. Otherwise the walk compares exactly as the
//     algorithm does, every node it passes refreshes a bound as the
//     algorithm's return does, and where v stands after the update is found
//     by a query walk of the tree as the update will leave it, made before
//     anything changes.
//   - an observer that watches the walk (passed(), reached()) is told every
//     comparison as the algorithm states it, so the walk makes those.
//   - an insertion that cannot fail once it has started (no throwing copy,
//     assignment or comparison of T; the new nodes' memory in hand) widens
//     bounds on its way down; otherwise it notes them and changes them once
//     everything that can fail is done (detail/Commit.h).
#pragma once

#include <climits>
#include <cstddef>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "Commit.h"

namespace orlo::detail {

template <typename T, bool kOrdered, typename Observer>
struct WalkPolicy {
    static constexpr bool kWatched = kWatchesWalk<T, Observer>;
    /// Decides by a node's own cached bounds where they settle the way.
    static constexpr bool kCached = kOrdered && !kWatched && tuning::kCachedRouting;
    /// Insertions widen bounds on their way down.
    static constexpr bool kInPlace = kOrdered && !kWatched && tuning::kEditsInPlace &&
                                     kBoundsBy<T> == BoundsBy::Assigning &&
                                     std::is_nothrow_copy_constructible_v<T> && kNothrowCompare<T>;
};

// ---------------------------------------------------------------- queries

/// The leaf where a query for v ends in the subtree under n, and how many
/// routing nodes lie above it. A value smaller than the right subtree's
/// smallest goes left, anything else goes right.
template <typename T>
LeafNode<T>* leafFor(Node<T>* n, const T& v, int& levels) {
    levels = 0;
    while (isRouting(n)) {
        auto* in = static_cast<InnerNode<T>*>(n);
        n = pick(less(v, smallest(in->right)), in->left, in->right);
        ++levels;
    }
    return static_cast<LeafNode<T>*>(n);
}

/// Both queries in one walk: the depth of v's leaf (n being level 1; -1
/// when v is not held) and its count.
template <typename T>
std::pair<int, int> locate(Node<T>* n, const T& v) {
    int levels;
    LeafNode<T>* leaf = leafFor(n, v, levels);
    const bool holds = v == leaf->value;
    return {holds ? levels + 1 : -1, holds ? leaf->multiplicity : 0};
}

/// What locate(top, v) will answer once an update is made, found before it
/// changes anything. `steps`: the update's path from top, with the bounds it
/// changes; `gone` leaves the tree and `stays` takes its place (a removal's
/// routing node and the sibling that rises, an insertion's leaf and the
/// routing node made over it); `counted` gains `delta` occurrences.
template <typename T>
std::pair<int, int> locateAfter(Node<T>* top, const T& v, const std::vector<Step<T>>& steps, Node<T>* gone,
                                Node<T>* stays, const LeafNode<T>* counted, int delta) {
    Node<T>* n = top == gone ? stays : top;
    if (n == nullptr) return {-1, 0};
    std::size_t i = 0;  // while the query follows the update's path, n is steps[i].node
    bool onPath = !steps.empty() && n == steps[0].node;
    int depth = 1;
    while (isRouting(n)) {
        auto* in = static_cast<InnerNode<T>*>(n);
        const auto after = [&](Node<T>* child) { return in != stays && child == gone ? stays : child; };
        Node<T>* right = after(in->right);
        const bool changed = onPath && i + 1 < steps.size() && steps[i + 1].node == right && steps[i + 1].edit == kSmallest;
        n = less(v, changed ? *steps[i + 1].value : smallest(right)) ? after(in->left) : right;
        onPath = onPath && i + 1 < steps.size() && n == steps[i + 1].node;
        ++i;
        ++depth;
    }
    auto* leaf = static_cast<LeafNode<T>*>(n);
    if (!(v == leaf->value)) return {-1, 0};
    return {depth, leaf->multiplicity + (leaf == counted ? delta : 0)};
}

// -------------------------------------------------------------- insertion

/// What an insertion notes on its way down an ordered tree: the nodes whose
/// bound it widens. A value that widens a node's bound is the new smallest
/// (largest) of its subtree, so it widens every node below on the way too:
/// they are one run of same-side steps ending at the leaf.
template <typename T>
class WidenedRun {
public:
    explicit WidenedRun(TreeArena<T>& arena) : nodes_(arena.scratch()) { nodes_.clear(); }

    /// Notes n, reached through link, and the bound it widens (if any);
    /// false when the widened nodes are not one run: the tree is not
    /// ordered after all.
    bool note(InnerNode<T>* n, Node<T>** link, bool /*right*/, Bound widen, const T& /*v*/) {
        if (widen == kNoBound) return nodes_.empty();
        if (nodes_.empty()) {
            largest_ = widen == kLargest;
            firstLink_ = link;
        } else if ((widen == kLargest) != largest_) {
            return false;
        }
        nodes_.push_back(n);
        return true;
    }
    Run<T> changes(const T& v) const { return {nodes_.data(), nodes_.size(), firstLink_, largest_, &v}; }

private:
    std::vector<InnerNode<T>*>& nodes_;
    bool largest_ = false;
    Node<T>** firstLink_ = nullptr;
};

/// An insertion that widens bounds on its way down notes nothing.
template <typename T>
struct NoNotes {
    explicit NoNotes(TreeArena<T>&) noexcept {}
    static constexpr Run<T> changes(const T&) noexcept { return {}; }
};

/// What a walk notes on its way down a tree that may not be ordered: every
/// routing node it passes, and the bound it changes there.
template <typename T>
class WholePath {
public:
    explicit WholePath(TreeArena<T>&) {}

    bool note(InnerNode<T>* n, Node<T>** /*link*/, bool right, Bound edit, const T& value) {
        steps_.push_back({n, right, edit, &value});
        return true;
    }
    /// A removal's bounds on the way back up: each node passed (but the last
    /// when it gives way to `below`) takes, on the side it went, its child's
    /// bound there, as the algorithm refreshes it. `below` is what then
    /// hangs under the last node that stays.
    void refresh(Node<T>* below, bool lastGoes) {
        if (lastGoes) steps_.pop_back();
        for (std::size_t i = steps_.size(); i-- > 0;) {
            Step<T>& s = steps_[i];
            s.edit = s.wentRight ? kLargest : kSmallest;
            if (i + 1 < steps_.size() && steps_[i + 1].wentRight == s.wentRight) {
                s.value = steps_[i + 1].value;  // the child's bound on that side is refreshed too
            } else {
                Node<T>* child = i + 1 < steps_.size() ? steps_[i + 1].node : below;
                s.value = s.wentRight ? &largest(child) : &smallest(child);
            }
        }
    }
    const std::vector<Step<T>>& steps() const noexcept { return steps_; }
    Path<T> changes() const { return {steps_.data(), steps_.size()}; }
    Path<T> changes(const T&) const { return changes(); }

private:
    std::vector<Step<T>> steps_;
};

/// One routing node on an insertion's way: the link v follows, and which
/// bound of n it widens.
template <typename P, typename T, typename Observer>
ORLO_ALWAYS_INLINE Node<T>** insertionStep(InnerNode<T>* n, const T& v, Bound& widen, Observer& o) {
    if constexpr (P::kCached) {
        // A value outside n's bounds settles the way: below its smallest it
        // goes left, above its largest right.
        if (less(v, n->minValue)) {
            widen = kSmallest;
            return &n->left;
        }
        if (greater(v, n->maxValue)) {
            widen = kLargest;
            return &n->right;
        }
        widen = kNoBound;
        prefetch(n->left);  // fetched alongside the right child's bound
        return pick(less(v, smallest(n->right)), &n->left, &n->right);
    } else {
        widen = less(v, smallest(n->left)) ? kSmallest : greater(v, largest(n->right)) ? kLargest : kNoBound;
        const T& bound = smallest(n->right);
        const bool right = !less(v, bound);
        if constexpr (P::kWatched) o.passed(n, Compared::RightSmallest, bound, right);
        return right ? &n->right : &n->left;
    }
}

/// The leaf an insertion reaches does not hold v: a new leaf for v and a
/// routing node over both, v's leaf on the left when v is the smaller. Made,
/// not linked in.
template <typename T>
void split(LeafNode<T>* leaf, const T& v, Update<T>& u) {
    const bool goesLeft = less(v, leaf->value);
    u.newLeaf = new (u.arena) LeafNode<T>(v);
    u.newInner = goesLeft ? new (u.arena) InnerNode<T>(u.newLeaf, leaf) : new (u.arena) InnerNode<T>(leaf, u.newLeaf);
}

/// Inserts one occurrence of v into the tree under top: every routing node
/// on the way widens its bounds to take v, and the leaf reached counts v
/// once more, or is split. Returns the node that takes top's place. Throws
/// (std::length_error for a count past INT_MAX, or what T or memory throws)
/// without changing anything.
template <typename T, bool kOrdered, typename Observer>
ORLO_NOINLINE Node<T>* insert(Node<T>* top, const T& v, Update<T>& u, Observer& o) {
    using P = WalkPolicy<T, kOrdered, Observer>;
    if constexpr (P::kInPlace) u.arena.reserve();  // then nothing fails once a bound changes
    std::conditional_t<P::kInPlace, NoNotes<T>, std::conditional_t<kOrdered, WidenedRun<T>, WholePath<T>>> notes(u.arena);
    Node<T>** link = nullptr;  // where the node reached hangs; null: it is top
    int levels = 0;
    for (Node<T>* at = top; isRouting(at); at = *link, ++levels) {
        auto* n = static_cast<InnerNode<T>*>(at);
        Bound widen;
        Node<T>** next = insertionStep<P>(n, v, widen, o);
        if constexpr (P::kInPlace) {
            if (widen != kNoBound) {
                o.boundChanged(n, widen == kLargest, boundOf(n, widen == kLargest), v);
                boundOf(n, widen == kLargest) = v;
            }
        } else if (!notes.note(n, link, next == &n->right, widen, v)) {
            // Not ordered after all (T's operators do not order its values
            // strictly): the plain walk starts again, nothing changed yet.
            return insert<T, false>(top, v, u, o);
        }
        link = next;
    }
    auto* leaf = static_cast<LeafNode<T>*>(link != nullptr ? *link : top);
    const bool holds = v == leaf->value;
    if constexpr (P::kWatched) o.reached(leaf, holds);
    const int before = leaf->multiplicity;
    if (holds && before == INT_MAX) fail<std::length_error>("BSTSET: a value cannot occur more than INT_MAX times");
    if (!holds) split(leaf, v, u);
    if constexpr (!kOrdered) {
        if (u.wantsWhere) {
            std::tie(u.depth, u.count) = locateAfter<T>(top, v, notes.steps(), holds ? nullptr : leaf, u.newInner, holds ? leaf : nullptr, 1);
        }
    }
    u.bounds.prepare(notes.changes(v), u.arena);
    // From here on nothing can fail.
    if (!holds) *(link != nullptr ? link : &top) = u.newInner;
    top = u.bounds.commit(notes.changes(v), top, o);
    if (holds) {
        o.countChanged(leaf, before, before + 1);
        leaf->multiplicity = before + 1;
    }
    u.linked();
    if constexpr (kOrdered) {
        // A query for v reaches its leaf, one level below the new routing
        // node when the leaf was split.
        u.depth = levels + (holds ? 1 : 2);
        u.count = holds ? before + 1 : 1;
    }
    return top;
}

// ---------------------------------------------------------------- removal

/// What a removal notes on its way down an ordered tree: the run of
/// same-side steps that ends at the last node passed, in its tree's own
/// scratch room. Only the bounds of that run can change.
template <typename T>
class LastRun {
public:
    explicit LastRun(TreeArena<T>& arena) : room_(arena.scratch()) {
        if (room_.size() < 64) room_.resize(64);
        first_ = next_ = room_.data();
        limit_ = first_ + room_.size();
    }

    ORLO_ALWAYS_INLINE bool note(InnerNode<T>* n, Node<T>** link, bool right, Bound, const T&) {
        if (right != right_ || next_ == first_) {
            next_ = first_;
            right_ = right;
            link_ = link;
        }
        if (next_ == limit_) grow();
        *next_++ = n;
        return true;
    }
    /// The run above the last node passed, which gives way: its nodes take
    /// `value` as their bound on the run's side.
    Run<T> above(const T& value) const { return {first_, static_cast<std::size_t>(next_ - first_) - 1, link_, right_, &value}; }

private:
    void grow() {
        const std::size_t used = room_.size();
        room_.resize(2 * used);
        first_ = room_.data();
        next_ = first_ + used;
        limit_ = first_ + room_.size();
    }

    std::vector<InnerNode<T>*>& room_;
    InnerNode<T>** first_;
    InnerNode<T>** next_;
    InnerNode<T>** limit_;
    bool right_ = false;
    Node<T>** link_ = nullptr;  // where the run's first node hangs
};

/// Which way a walk goes at a routing node, or that it ends there.
enum class Way : unsigned char { Left, Right, Ends };

/// One routing node on a removal's way.
template <typename P, typename T, typename Observer>
ORLO_ALWAYS_INLINE Way removalStep(InnerNode<T>* n, const T& v, Observer& o) {
    const auto report = [&](Compared how, const T& bound, bool right) {
        if constexpr (P::kWatched) o.passed(n, how, bound, right);
    };
    if (less(v, n->minValue)) return report(Compared::OutsideRange, n->minValue, false), Way::Ends;
    if (greater(v, n->maxValue)) return report(Compared::OutsideRange, n->maxValue, false), Way::Ends;
    if constexpr (P::kCached) {
        if (!less(v, n->maxValue)) return Way::Right;    // the largest value lives on the right
        if (!greater(v, n->minValue)) return Way::Left;  // the smallest on the left
        // Routed as an insertion would be, by the right subtree's smallest
        // value, so only one child is read. A value between the two subtrees
        // is absent either way: it ends at a leaf that does not hold it.
        prefetch(n->left);
        return less(v, smallest(n->right)) ? Way::Left : Way::Right;
    } else {
        const T& leftLargest = largest(n->left);
        if (!greater(v, leftLargest)) return report(Compared::LeftLargest, leftLargest, false), Way::Left;
        const T& rightSmallest = smallest(n->right);
        if (less(v, rightSmallest)) return report(Compared::BetweenSides, rightSmallest, false), Way::Ends;
        return report(Compared::LeftLargest, leftLargest, true), Way::Right;
    }
}

/// Where a removal's walk ended: the leaf reached (or null when it ended at
/// a routing node), the last routing node passed and where it hangs, and
/// the side taken there.
template <typename T>
struct WalkEnd {
    Node<T>* at;  // the leaf reached, or the routing node where the walk ended
    LeafNode<T>* leaf;
    InnerNode<T>* last;
    Node<T>** lastLink;
    bool right;
    int levels;
};

template <typename P, typename T, typename Notes, typename Observer>
Node<T>* changeOrdered(Node<T>* top, const WalkEnd<T>& end, const T& v, Notes& notes, Update<T>& u, Observer& o);
template <typename P, typename T, typename Notes, typename Observer>
Node<T>* changePlain(Node<T>* top, const WalkEnd<T>& end, const T& v, Notes& notes, Update<T>& u, Observer& o);

/// Removes one occurrence of v (every one, for u.everyOccurrence) from the
/// tree under top: the leaf holding v counts one fewer, or goes, and its
/// parent gives way to its sibling; bounds on the way are refreshed.
/// Returns the node that takes top's place, null when the tree held only
/// v. Removing an absent value changes nothing in an ordered tree. Throws
/// (what T or memory throws) without changing anything.
template <typename T, bool kOrdered, typename Observer>
ORLO_NOINLINE Node<T>* remove(Node<T>* top, const T& v, Update<T>& u, Observer& o) {
    using P = WalkPolicy<T, kOrdered, Observer>;
    std::conditional_t<kOrdered, LastRun<T>, WholePath<T>> notes(u.arena);
    Node<T>* at = top;
    Node<T>** link = nullptr;  // where `at` hangs; null: it is top
    InnerNode<T>* last = nullptr;  // the last routing node passed, where it hangs, and the side taken there
    Node<T>** lastLink = nullptr;
    bool right = false;
    int levels = 0;
    bool ended = false;  // at a routing node
    while (isRouting(at)) {
        auto* n = static_cast<InnerNode<T>*>(at);
        const Way way = removalStep<P>(n, v, o);
        if (way == Way::Ends) {
            ended = true;
            break;
        }
        right = way == Way::Right;
        notes.note(n, link, right, kNoBound, v);
        last = n;
        lastLink = link;
        link = right ? &n->right : &n->left;
        at = *link;
        ++levels;
    }
    const WalkEnd<T> end{at, ended ? nullptr : static_cast<LeafNode<T>*>(at), last, lastLink, right, levels};
    if constexpr (kOrdered) {
        return changeOrdered<P>(top, end, v, notes, u, o);
    } else {
        return changePlain<P>(top, end, v, notes, u, o);
    }
}

/// The leaf reached holds v: one occurrence fewer.
template <typename T, typename Observer>
void countDown(LeafNode<T>* leaf, Update<T>& u, Observer& o) noexcept {
    const int before = leaf->multiplicity;
    o.countChanged(leaf, before, before - 1);
    leaf->multiplicity = before - 1;
    u.removed = 1;
}

/// The last occurrence goes: the leaf's parent gives way to the leaf's
/// sibling. Returns what now takes top's place.
template <typename T>
Node<T>* takeOut(Node<T>* top, const WalkEnd<T>& end, Update<T>& u) noexcept {
    u.removed = end.leaf->multiplicity;
    u.freedLeaf = end.leaf;
    if (end.last == nullptr) return nullptr;  // the tree was this one leaf
    Node<T>* sibling = end.right ? end.last->left : end.last->right;
    *(end.lastLink != nullptr ? end.lastLink : &top) = sibling;
    end.last->left = end.last->right = nullptr;
    u.freedInner = end.last;
    return top;
}

/// The end of a removal in an ordered tree.
template <typename P, typename T, typename Notes, typename Observer>
Node<T>* changeOrdered(Node<T>* top, const WalkEnd<T>& end, const T& v, Notes& notes, Update<T>& u, Observer& o) {
    if (end.leaf == nullptr) return top;  // not in this subtree: nothing changes
    const bool holds = !(v != end.leaf->value);
    if constexpr (P::kWatched) o.reached(end.leaf, holds);
    if (!holds) return top;
    if (end.leaf->multiplicity > 1 && !u.everyOccurrence) {
        countDown(end.leaf, u, o);
        u.linked();
        u.depth = end.levels + 1;
        u.count = end.leaf->multiplicity;
        return top;
    }
    // The value was the largest (smallest) of exactly the run's subtrees
    // above the leaf's parent; they take the sibling's bound. Every other
    // bound stays.
    Run<T> changes;
    if (end.last != nullptr) {
        Node<T>* sibling = end.right ? end.last->left : end.last->right;
        changes = notes.above(end.right ? largest(sibling) : smallest(sibling));
    }
    u.bounds.prepare(changes, u.arena);
    // From here on nothing can fail.
    top = takeOut(top, end, u);
    top = u.bounds.commit(changes, top, o);
    u.linked();
    return top;
}

/// The end of a removal in a tree that may not be ordered: every node
/// passed refreshes a bound, whether v was found or not.
template <typename P, typename T, typename Notes, typename Observer>
Node<T>* changePlain(Node<T>* top, const WalkEnd<T>& end, const T& v, Notes& notes, Update<T>& u, Observer& o) {
    const bool holds = end.leaf != nullptr && !(v != end.leaf->value);
    if constexpr (P::kWatched) {
        if (end.leaf != nullptr) o.reached(end.leaf, holds);
    }
    const bool goes = holds && (end.leaf->multiplicity == 1 || u.everyOccurrence);
    Node<T>* sibling = goes && end.last != nullptr ? (end.right ? end.last->left : end.last->right) : nullptr;
    notes.refresh(goes && end.last != nullptr ? sibling : end.at, goes && end.last != nullptr);
    if (u.wantsWhere) {
        Node<T>* gone = goes ? (end.last != nullptr ? static_cast<Node<T>*>(end.last) : end.leaf) : nullptr;
        std::tie(u.depth, u.count) = locateAfter<T>(top, v, notes.steps(), gone, sibling, holds ? end.leaf : nullptr, -1);
    }
    u.bounds.prepare(notes.changes(), u.arena);
    // From here on nothing can fail.
    if (goes) top = takeOut(top, end, u);
    top = u.bounds.commit(notes.changes(), top, o);
    if (holds && !goes) countDown(end.leaf, u, o);
    u.linked();
    return top;
}

// ------------------------------------------------------ nodes made by hand

/// One change to nodes made by hand, outside any set: in the shared arena,
/// comparing as the algorithm states, and reporting to nobody. What a removal
/// takes out is destroyed before it returns.
template <typename T, bool Removes>
Node<T>* changeByHand(Node<T>* top, const T& v) {
    Update<T> u(TreeArena<T>::shared());
    QuietObserver<T> quiet;
    if constexpr (Removes) {
        top = remove<T, false>(top, v, u, quiet);
    } else {
        top = insert<T, false>(top, v, u, quiet);
    }
    u.finish(quiet);
    return top;
}

}  // namespace orlo::detail
