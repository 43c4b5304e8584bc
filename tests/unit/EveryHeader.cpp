// Every public header of the library, with its templates instantiated for
// the kinds of T that take different paths (assigned, moved and rebuilt
// bounds), an observer and a set that reads ahead. Compiled with every
// warning as an error by each compiler at hand (expect_no_warnings.sh): a
// user's -Wshadow -Werror build must not fail in our headers.
#include <bstset/BSTSET.h>
#include <bstset/Node.h>
#include <bstset/Observer.h>
#include <bstset/ReadAhead.h>

#include <string>

#include "../support/ElementTypes.h"

namespace {

using orlo::testing::Constant;


struct Watching : orlo::QuietObserver<int> {
    int events = 0;
    void passed(const orlo::Node<int>*, orlo::Compared, const int&, bool) noexcept { ++events; }
    void freed(orlo::Node<int>*) noexcept { ++events; }
};

template <typename T>
int exercise(const T& a, const T& b) {
    orlo::BSTSET<T> set{a, b, a};
    set >> b;
    set.erase(a);
    const auto at = set.insert(b);
    int sum = set[a] + set(b) + static_cast<int>(set.count(a)) + (set.contains(b) ? 1 : 0);
    for (auto it = set.begin(); it != set.end(); ++it) sum += it == at ? 1 : 0;
    set.insert(set.end(), a);
    sum += set.lower_bound(a) == set.upper_bound(b) ? 1 : 0;
    sum += set.insertAndLocate(a).depth + set.removeAndLocate(b).count;
    set.visitPath(a, [&sum](const auto& node) { sum += node.depth; });
    orlo::BSTSET<T> moved(std::move(set));
    swap(moved, set);
    orlo::Node<T>* hand = new orlo::LeafNode<T>(a);
    hand = hand->add(b);
    sum += hand->depth(a) + hand->count(b);
    hand = hand->del(a);
    delete hand;
    return sum;
}

}  // namespace

int main() {
    int sum = exercise<int>(1, 2) + exercise<std::string>("a", "b") + exercise<Constant>(Constant(1), Constant(2));
    orlo::BSTSET<int> set{5, 3, 8};
    Watching watching;
    sum += set.insertAndLocate(4, watching).depth + set.removeAndLocate(8, watching).count + watching.events;
    orlo::ReadAheadSet<int> ahead;
    ahead << 1 << 2;
    ahead.prefetch(3);
    sum += ahead.removeAndLocate(1).count + ahead.insertAndLocate(3).depth;
    return sum > 0 ? 0 : 1;
}
