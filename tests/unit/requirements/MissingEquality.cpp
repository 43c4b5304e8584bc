// expect: BSTSET: the element type needs a == b
#include "bstset/BSTSET.h"

struct OnlyOrdered {
    int v;
    bool operator<(const OnlyOrdered& o) const { return v < o.v; }
    bool operator>(const OnlyOrdered& o) const { return v > o.v; }
    bool operator!=(const OnlyOrdered& o) const { return v != o.v; }
};

int main() {
    orlo::BSTSET<OnlyOrdered> set;
    return set.empty() ? 0 : 1;
}
