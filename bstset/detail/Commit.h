// The update/commit machinery: what one insertion or removal has made ready
// (Update), and how its changes are made once nothing can fail any more.
//
// An update does everything that can throw first: every comparison, every
// allocation, every copy of T. Only then does it change the tree, with steps
// that cannot fail. How a routing node's bound takes its new value depends
// on what T allows (BoundChanges):
//   - Assigning: T's copy assignment cannot throw; the new value is assigned.
//   - Moving: it can, but moves cannot (std::string); a copy of the new
//     value is made first and moved in, the old value moved out, and both
//     are destroyed with the update. (Not a swap: std::swap destroys a
//     temporary T on the spot.)
//   - Rebuilding: neither; a copy of the node with the new bound is made
//     first and takes the node's place, and the old node goes with the nodes
//     the update took out.
// Nothing is destroyed before the set has stored its new root and size
// (Update::finish()), so an element's destructor sees the tree whole and the
// size right. The observer hears of each change just before it is made, and
// of the nodes made and taken out once the tree is whole.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include "NodeKind.h"

namespace orlo::detail {

enum class BoundsBy { Assigning, Moving, Rebuilding };

template <typename T>
constexpr BoundsBy kBoundsBy =
    !tuning::kBoundsByValue                                                               ? BoundsBy::Rebuilding
    : std::is_nothrow_copy_assignable_v<T>                                                ? BoundsBy::Assigning
    : std::is_nothrow_move_constructible_v<T> && std::is_nothrow_move_assignable_v<T> ? BoundsBy::Moving
                                                                                          : BoundsBy::Rebuilding;

/// Whether an observer hides passed() or reached(): then the walks compare
/// as the tree's algorithm states, and report each comparison.
template <typename T, typename Observer>
constexpr bool kWatchesWalk = !std::is_same_v<decltype(&Observer::passed), decltype(&QuietObserver<T>::passed)> ||
                              !std::is_same_v<decltype(&Observer::reached), decltype(&QuietObserver<T>::reached)>;

/// Which bound of a routing node changes.
enum Bound : signed char { kNoBound = -1, kSmallest = 0, kLargest = 1 };

/// A routing node a walk of a tree that may not be ordered passed, and the
/// bound the update changes there, if any.
template <typename T>
struct Step {
    InnerNode<T>* node;
    bool wentRight;
    Bound edit;
    const T* value;  // the bound's new value, when edit is not kNoBound
};

/// Bound changes as a walk of an ordered tree notes them: `count` routing
/// nodes, each the child of the one before on the side `largest` names, all
/// taking `value` as that bound.
template <typename T>
struct Run {
    InnerNode<T>* const* nodes = nullptr;
    std::size_t count = 0;
    Node<T>** firstLink = nullptr;  // where nodes[0] hangs; null: the walk's top
    bool largest = false;
    const T* value = nullptr;

    /// f(node, its parent or null, where it hangs or null, largest, value)
    /// for each change, top-down.
    template <typename F>
    void forEach(F&& f) const {
        for (std::size_t i = 0; i < count; ++i) {
            InnerNode<T>* parent = i == 0 ? nullptr : nodes[i - 1];
            f(nodes[i], parent, i == 0 ? firstLink : largest ? &parent->right : &parent->left, largest, *value);
        }
    }
};

/// Bound changes as a walk of a tree that may not be ordered notes them:
/// every routing node it passed, top-down from the walk's top, some with a
/// change.
template <typename T>
struct Path {
    const Step<T>* steps = nullptr;
    std::size_t count = 0;

    template <typename F>
    void forEach(F&& f) const {
        for (std::size_t i = 0; i < count; ++i) {
            if (steps[i].edit == kNoBound) continue;
            InnerNode<T>* parent = i == 0 ? nullptr : steps[i - 1].node;
            Node<T>** link = i == 0 ? nullptr : steps[i - 1].wentRight ? &parent->right : &parent->left;
            f(steps[i].node, parent, link, steps[i].edit == kLargest, *steps[i].value);
        }
    }
};

template <typename T>
T& boundOf(InnerNode<T>* n, bool largest) noexcept {
    return largest ? n->maxValue : n->minValue;
}

/// New bounds for routing nodes on one path, made ready by prepare() (which
/// may throw) and made by commit() (which cannot).
template <typename T>
class BoundChanges {
public:
    static constexpr BoundsBy kHow = kBoundsBy<T>;

    BoundChanges() noexcept = default;
    BoundChanges(const BoundChanges&) = delete;
    BoundChanges& operator=(const BoundChanges&) = delete;

    /// Makes ready what the changes need: copies of the new values
    /// (Moving) or the rebuilt nodes (Rebuilding). The values must stay
    /// unchanged until commit().
    template <typename Changes>
    void prepare(const Changes& changes, TreeArena<T>& arena) {
        if constexpr (kHow != BoundsBy::Assigning) {
            std::size_t n = 0;
            changes.forEach([&n](auto&&...) { ++n; });
            if (n > kInline) spill_.reset(new Ready[n - kInline]);
            changes.forEach([&](InnerNode<T>* node, InnerNode<T>*, Node<T>**, bool largest, const T& value) {
                Ready& r = at(size_);
                if constexpr (kHow == BoundsBy::Moving) {
                    r.copy.emplace(value);
                } else {
                    r.fresh = new (arena) InnerNode<T>(*node, largest, value);
                    r.original = node;
                }
                ++size_;
            });
        }
    }

    /// Makes every change, top-down, each reported to o just before it is
    /// made. `top` is the node that takes the walk's top's place as things
    /// stand; returns it, or its rebuilt copy.
    template <typename Changes, typename Observer>
    Node<T>* commit(const Changes& changes, Node<T>* top, Observer& o) noexcept {
        std::size_t i = 0;
        InnerNode<T>* lastOld = nullptr;  // the node rebuilt just before, and its copy
        InnerNode<T>* lastFresh = nullptr;
        changes.forEach([&](InnerNode<T>* node, InnerNode<T>* parent, Node<T>** link, bool largest, const T& value) {
            if constexpr (kHow == BoundsBy::Assigning) {
                o.boundChanged(node, largest, boundOf(node, largest), value);
                boundOf(node, largest) = value;
            } else if constexpr (kHow == BoundsBy::Moving) {
                Ready& r = at(i++);
                o.boundChanged(node, largest, boundOf(node, largest), *r.copy);
                r.old.emplace(std::move(boundOf(node, largest)));
                boundOf(node, largest) = std::move(*r.copy);
            } else {
                InnerNode<T>* fresh = at(i++).fresh;
                o.boundChanged(fresh, largest, boundOf(node, largest), boundOf(fresh, largest));
                fresh->left = node->left;
                fresh->right = node->right;
                node->left = node->right = nullptr;
                // A parent rebuilt just before hangs its children from its copy.
                if (parent != nullptr && parent == lastOld) link = link == &parent->left ? &lastFresh->left : &lastFresh->right;
                *(link != nullptr ? link : &top) = fresh;
                lastOld = node;
                lastFresh = fresh;
            }
        });
        (void)i;
        (void)lastOld;
        (void)lastFresh;
        committed_ = true;
        return top;
    }

    /// f(copy, original) for each routing node rebuilt, top-down.
    template <typename F>
    void forEachRebuilt(F&& f) const {
        if constexpr (kHow == BoundsBy::Rebuilding) {
            for (std::size_t i = 0; i < size_; ++i) f(at(i).fresh, at(i).original);
        }
    }

    /// After the commit: destroys the old values moved out, and what the
    /// new ones were moved from.
    void dropOldValues() noexcept {
        if constexpr (kHow == BoundsBy::Moving) {
            for (std::size_t i = 0; i < size_; ++i) {
                at(i).old.reset();
                at(i).copy.reset();
            }
        }
    }

    /// Without a commit: destroys what prepare() made.
    void abandon(TreeArena<T>& arena) noexcept {
        if constexpr (kHow == BoundsBy::Rebuilding) {
            if (!committed_) {
                for (std::size_t i = 0; i < size_; ++i) freeNode<T>(arena, at(i).fresh);
            }
        }
    }

private:
    struct Ready {
        using Value = std::conditional_t<kHow == BoundsBy::Moving, std::optional<T>, char>;
        Value copy{};  // the new value, until moved in
        Value old{};   // the old value, once moved out
        InnerNode<T>* fresh = nullptr;
        InnerNode<T>* original = nullptr;
    };
    // Most updates change a bound or two: what those need stays on the
    // stack. Assigned bounds need nothing.
    static constexpr std::size_t kInline = kHow == BoundsBy::Assigning ? 0 : 4;
    struct Empty {};
    Ready& at(std::size_t i) noexcept { return i < kInline ? inline_[i] : spill_[i - kInline]; }
    const Ready& at(std::size_t i) const noexcept { return i < kInline ? inline_[i] : spill_[i - kInline]; }

    std::conditional_t<kInline == 0, Empty, Ready[kInline == 0 ? 1 : kInline]> inline_;
    std::unique_ptr<Ready[]> spill_;
    std::size_t size_ = 0;
    bool committed_ = false;
};

/// One insertion or removal: what the set tells the walk, what the walk
/// finds and makes, and the end of it all once the set has stored the new
/// root (finish()). An update that throws leaves what it made to the
/// destructor, which destroys it.
template <typename T>
class Update {
public:
    /// every: a removal takes every occurrence. locate: the caller wants
    /// where v stands after the update (depth and count).
    explicit Update(TreeArena<T>& nodes, bool every = false, bool locate = false) noexcept
        : arena(nodes), everyOccurrence(every), wantsWhere(locate) {}
    Update(const Update&) = delete;
    Update& operator=(const Update&) = delete;
    ~Update() {
        if (!linked_) abandon();
    }

    TreeArena<T>& arena;
    const bool everyOccurrence;
    const bool wantsWhere;

    // Where v stands after the update, as the queries would answer: the
    // depth of its leaf, the walk's top being level 1 (-1 when v is not
    // held), and its count. Set when wanted, and always in an ordered tree.
    int depth = -1;
    int count = 0;
    int removed = 0;  // occurrences a removal took away

    // Nodes made (linked in by the commit) and nodes taken out of the tree.
    LeafNode<T>* newLeaf = nullptr;
    InnerNode<T>* newInner = nullptr;
    LeafNode<T>* freedLeaf = nullptr;
    InnerNode<T>* freedInner = nullptr;
    BoundChanges<T> bounds;

    /// The walk has changed the tree: what it made is in it.
    void linked() noexcept { linked_ = true; }

    /// Once the new root is stored: tells o of the nodes made and taken out,
    /// then destroys what the update took out (the nodes unless o keeps
    /// them, and old values).
    template <typename Observer>
    void finish(Observer& o) noexcept {
        if (newLeaf != nullptr) o.created(newLeaf);
        if (newInner != nullptr) o.created(newInner);
        bounds.forEachRebuilt([&o](InnerNode<T>* fresh, InnerNode<T>*) { o.created(fresh); });
        if (freedLeaf != nullptr) o.freed(freedLeaf);
        if (freedInner != nullptr) o.freed(freedInner);
        bounds.forEachRebuilt([&o](InnerNode<T>*, InnerNode<T>* old) { o.freed(old); });
        if constexpr (!Observer::kKeepsFreed) {
            if (freedLeaf != nullptr) freeNode<T>(arena, freedLeaf);
            if (freedInner != nullptr) freeNode<T>(arena, freedInner);
            bounds.forEachRebuilt([this](InnerNode<T>*, InnerNode<T>* old) { freeNode<T>(arena, old); });
        }
        bounds.dropOldValues();
    }

private:
    void abandon() noexcept {
        if (newInner != nullptr) {
            newInner->left = newInner->right = nullptr;
            freeNode<T>(arena, newInner);
        }
        if (newLeaf != nullptr) freeNode<T>(arena, newLeaf);
        bounds.abandon(arena);
    }

    bool linked_ = false;
};

}  // namespace orlo::detail
