// The way into a set's insides, for the library's own tests and tools that
// check what the operations built, damage it on purpose, or step it back
// (a journal that takes updates back by relinking the nodes an observer was
// told of). Nothing here is part of the promises BSTSET.h makes: code that
// uses it may break with any release. Code that only looks at a tree has
// BSTSET::visit().
#pragma once

#include <cstddef>

#include "../BSTSET.h"
#include "../ReadAhead.h"

namespace orlo::detail {

struct Access {
    /// The root of the set's tree, null when the set is empty.
    template <typename T>
    static Node<T>* root(const BSTSET<T>& set) noexcept {
        return set.root_;
    }
    /// The same, to put another tree in its place. The set owns whatever
    /// root it holds when it is destroyed or cleared.
    template <typename T>
    static Node<T>*& root(BSTSET<T>& set) noexcept {
        return set.root_;
    }

    /// The occurrences size() counts, to set right after changing the tree.
    template <typename T>
    static std::size_t& size(BSTSET<T>& set) noexcept {
        return set.size_;
    }

    /// Every iterator of the set is invalid from now on (as after an update).
    template <typename T>
    static void invalidateIterators(BSTSET<T>& set) noexcept {
        ++set.version_;
    }

    /// Destroys a node, or a whole subtree, that is not (or no longer) in
    /// the set's tree but was made in its arena: one an observer that keeps
    /// freed nodes was handed, say.
    template <typename T>
    static void destroy(BSTSET<T>& set, Node<T>* subtree) noexcept {
        destroyTree(set.arena_, subtree);
    }

    /// The set's early walks, or null when none was ever started.
    template <typename T>
    static const typename ReadAheadSet<T>::Walks* walks(const ReadAheadSet<T>& set) noexcept {
        return set.walks_.get();
    }

    /// The set a ReadAheadSet reads ahead for.
    template <typename T>
    static BSTSET<T>& contents(ReadAheadSet<T>& set) noexcept {
        return set.set_;
    }
};

}  // namespace orlo::detail
