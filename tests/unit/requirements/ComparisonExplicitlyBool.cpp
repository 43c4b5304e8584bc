// expect: BSTSET: a < b on the element type must give a result implicitly convertible to bool
#include "bstset/BSTSET.h"

// A comparison whose result converts to bool only when asked explicitly.
struct Verdict {
    bool yes;
    explicit operator bool() const { return yes; }
};

struct Grade {
    int v;
    Verdict operator<(const Grade& o) const { return {v < o.v}; }
    bool operator>(const Grade& o) const { return v > o.v; }
    bool operator==(const Grade& o) const { return v == o.v; }
    bool operator!=(const Grade& o) const { return v != o.v; }
};

int main() {
    orlo::BSTSET<Grade> set;
    return set.empty() ? 0 : 1;
}
