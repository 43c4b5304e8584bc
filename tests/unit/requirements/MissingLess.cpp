// expect: BSTSET: the element type needs a < b
#include "bstset/BSTSET.h"

struct Unordered {
    int v;
    bool operator>(const Unordered& o) const { return v > o.v; }
    bool operator==(const Unordered& o) const { return v == o.v; }
    bool operator!=(const Unordered& o) const { return v != o.v; }
};

int main() {
    orlo::BSTSET<Unordered> set;
    set << Unordered{1};
}
