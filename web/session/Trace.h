// What one update of the set reported, as the page's session takes it down:
// the walk (every routing node passed, with the comparison made there and
// the bound compared with), the leaf it reached, and what it changed. A step
// the page shows keeps the texts of the bounds too; a step passed over on
// the way to another keeps only what the tree's shape needs.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <vector>

#include "Format.h"
#include "bstset/BSTSET.h"

namespace orlo::session {

template <typename T>
struct Trace : QuietObserver<T> {
    struct Passed {
        const Node<T>* node;
        const Node<T>* other;  // the child the walk did not take
        Compared how;
        bool right;
        T bound;  // what it was compared with (kept only when texts are)
    };
    struct BoundEdit {
        const Node<T>* node;
        bool largest;
        std::string before, after;  // as printed
        std::string beforeExact, afterExact;
    };
    struct CountEdit {
        const LeafNode<T>* leaf = nullptr;
        int before = 0, after = 0;
    };

    /// Nodes an update takes out are handed over, not destroyed: a removal
    /// is taken back by linking the very same nodes in again (Stepper.h).
    static constexpr bool kKeepsFreed = true;

    explicit Trace(bool keepTexts) : texts(keepTexts) {}

    void clear() {
        walk.clear();
        end = nullptr;
        holds = false;
        bounds.clear();
        boundEdits = 0;
        count = CountEdit{};
        made.clear();
        gone.clear();
    }

    // The hooks the set calls during an update.
    void passed(const Node<T>* routing, Compared how, const T& bound, bool right) noexcept {
        const auto* in = static_cast<const InnerNode<T>*>(routing);
        walk.push_back(Passed{routing, right ? in->left : in->right, how, right, texts ? bound : T{}});
    }
    void reached(const LeafNode<T>* leaf, bool holdsValue) noexcept {
        end = leaf;
        holds = holdsValue;
    }
    void boundChanged(const InnerNode<T>* node, bool largest, const T& before, const T& after) noexcept {
        // A bound set to what it was (a walk refreshing bounds) is no change.
        if (!texts || identical(before, after)) return;
        ++boundEdits;
        // A long run of bounds may change (an ascending chain widens all of
        // them): only those of nodes drawn are written down.
        if (watched != nullptr && watched->count(node) == 0) return;
        BoundEdit e{node, largest, {}, {}, {}, {}};
        appendValue(e.before, before);
        appendValue(e.after, after);
        bounds.push_back(std::move(e));
    }
    void countChanged(const LeafNode<T>* leaf, int before, int after) noexcept { count = CountEdit{leaf, before, after}; }
    void created(const Node<T>* node) noexcept { made.push_back(node); }
    void freed(Node<T>* node) noexcept { gone.push_back(node); }

    /// The same value to the bit: NaN is NaN, and -0 is not 0.
    static bool identical(const T& a, const T& b) {
        if constexpr (std::is_floating_point_v<T>) {
            return std::memcmp(&a, &b, sizeof(T)) == 0;
        } else {
            return a == b;
        }
    }

    bool texts;
    const std::unordered_set<const void*>* watched = nullptr;  // the nodes whose bound edits are kept (all: null)
    std::vector<Passed> walk;
    const LeafNode<T>* end = nullptr;  // null when the walk ended at a routing node (or the tree was empty)
    bool holds = false;
    std::vector<BoundEdit> bounds;
    std::size_t boundEdits = 0;  // bounds changed, drawn or not (kept only when texts are)
    CountEdit count;
    std::vector<const Node<T>*> made;  // new nodes
    std::vector<const Node<T>*> gone;  // nodes taken out, now the session's to keep or destroy
};

}  // namespace orlo::session
