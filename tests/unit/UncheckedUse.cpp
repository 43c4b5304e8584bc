// The other half of orlo_checked_iterators: the same iterators, used in a
// translation unit built with NDEBUG (see CheckedIterators.cpp).
#include <string>

#include "bstset/BSTSET.h"

std::size_t walkUnchecked(const orlo::BSTSET<std::string>& set) {
    std::size_t n = 0;
    for (auto it = set.begin(); it != set.end(); ++it) n += it->empty() ? 0 : 1;
    for (auto it = set.begin(); it != set.end(); it++) n -= (*it).empty() ? 0 : 1;
    return n + static_cast<std::size_t>(std::distance(set.begin(), set.end()));
}
