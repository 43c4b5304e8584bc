// Element types the library's tests share, each taking a path of its own
// through the tree: a type with a const member can be copied but never
// assigned, so a bound that changes is changed by rebuilding its node.
#pragma once

#include <ostream>

namespace orlo::testing {

struct Constant {
    const int v;
    explicit Constant(int x) : v(x) {}
    bool operator<(const Constant& o) const { return v < o.v; }
    bool operator>(const Constant& o) const { return v > o.v; }
    bool operator==(const Constant& o) const { return v == o.v; }
    bool operator!=(const Constant& o) const { return v != o.v; }
    friend std::ostream& operator<<(std::ostream& out, const Constant& c) { return out << c.v; }
};

}  // namespace orlo::testing
