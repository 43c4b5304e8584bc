// Element types the library's tests share, each taking a path of its own
// through the tree, and the comparisons every test type orders by.
#pragma once

#include <ostream>

namespace orlo::testing {

/// The four comparisons the set asks of an element, by the element's `v`:
/// a test type derives from OrderedByV<Itself> and keeps to what it watches.
/// Being an empty base, it changes none of the type's copy, move or layout
/// properties, which are what those types are there to vary.
template <typename Self>
struct OrderedByV {
    friend bool operator<(const Self& a, const Self& b) { return a.v < b.v; }
    friend bool operator>(const Self& a, const Self& b) { return a.v > b.v; }
    friend bool operator==(const Self& a, const Self& b) { return a.v == b.v; }
    friend bool operator!=(const Self& a, const Self& b) { return a.v != b.v; }
};

// A const member: copied but never assigned, so a bound that changes is
// changed by rebuilding its node.
struct Constant : OrderedByV<Constant> {
    const int v;
    explicit Constant(int x) : v(x) {}
    friend std::ostream& operator<<(std::ostream& out, const Constant& c) { return out << c.v; }
};

}  // namespace orlo::testing
