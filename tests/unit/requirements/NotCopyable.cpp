// expect: BSTSET: the element type must be copy constructible
#include <memory>

#include "bstset/BSTSET.h"

struct MoveOnly {
    std::unique_ptr<int> p;
    bool operator<(const MoveOnly& o) const { return *p < *o.p; }
    bool operator>(const MoveOnly& o) const { return *p > *o.p; }
    bool operator==(const MoveOnly& o) const { return *p == *o.p; }
    bool operator!=(const MoveOnly& o) const { return *p != *o.p; }
};

int main() {
    orlo::BSTSET<MoveOnly> set;
    return set.empty() ? 0 : 1;
}
