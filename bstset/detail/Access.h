// The way into a set's insides, for the library's own tests and tools that
// check what the operations built or damage it on purpose. Nothing here is
// part of the promises BSTSET.h makes: code that uses it may break with any
// release. Code that only looks at a tree has BSTSET::visit().
#pragma once

#include "../BSTSET.h"

namespace orlo::detail {

struct Access {
    /// The root of the set's tree, null when the set is empty.
    template <typename T>
    static Node<T>* root(const BSTSET<T>& set) noexcept {
        return set.root;
    }

    /// The set's early walks, or null when none was ever started.
    template <typename T>
    static const EarlyWalks<T>* walks(const BSTSET<T>& set) noexcept {
        return set.walks_.get();
    }
};

}  // namespace orlo::detail
