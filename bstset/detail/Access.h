// The way into a set's insides, for the library's own tests and tools that
// check or draw what the operations built. Nothing here is part of the
// promises BSTSET.h makes: code that uses it may break with any release.
#pragma once

#include "../BSTSET.h"

namespace orlo::detail {

struct Access {
    /// The set's early walks, or null when none was ever started.
    template <typename T>
    static const EarlyWalks<T>* walks(const BSTSET<T>& set) noexcept {
        return set.walks_.get();
    }
};

}  // namespace orlo::detail
