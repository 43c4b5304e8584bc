// The iterator as C++20 sees it: built as its own program with -std=c++20,
// so the concepts check the real declarations, and run as a test.
#include <algorithm>
#include <cstdio>
#include <iterator>
#include <ranges>
#include <string>

#include "bstset/BSTSET.h"

static_assert(std::forward_iterator<orlo::BSTSET<int>::iterator>);
static_assert(std::forward_iterator<orlo::BSTSET<std::string>::const_iterator>);
static_assert(std::ranges::forward_range<orlo::BSTSET<int>>);
static_assert(std::ranges::forward_range<const orlo::BSTSET<double>>);
static_assert(std::same_as<std::iter_reference_t<orlo::BSTSET<int>::iterator>, const int&>);
// size() counts occurrences; the walk visits distinct values. Taken for the
// range's length, it made std::ranges::distance answer 6 below.
static_assert(!std::ranges::sized_range<orlo::BSTSET<int>>);

int main() {
    orlo::BSTSET<int> set;
    for (int v : {5, 1, 9, 3, 7, 3}) set << v;
    const auto& view = set;
#if defined(__cpp_lib_ranges)
    const bool ok = std::ranges::distance(view) == 5 && std::ranges::is_sorted(view) &&
                    std::ranges::find(view, 7) != view.end() && *std::ranges::max_element(view) == 9;
#else  // a library whose range algorithms are not complete yet (libc++ 14)
    const bool ok = std::distance(std::ranges::begin(view), std::ranges::end(view)) == 5 &&
                    std::is_sorted(view.begin(), view.end()) && std::find(view.begin(), view.end(), 7) != view.end() &&
                    *std::max_element(view.begin(), view.end()) == 9;
#endif
    std::puts(ok ? "ok" : "C++20 algorithms disagree with the set");
    return ok ? 0 : 1;
}
