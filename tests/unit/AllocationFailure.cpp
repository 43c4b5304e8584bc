// Node memory that runs out: every allocation can be made to fail, and an
// insertion or removal that meets a failure must leave the set sound and
// exactly as it was. A program of its own, as it replaces the global
// operator new; it checks int and double, whose insertions widen bounds on
// the way down once the memory of both new nodes is in hand.
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "TreeInvariants.h"
#include "bstset/BSTSET.h"

namespace {

// -1: allocations succeed; 0: the next one fails.
int allocationsBeforeFailure = -1;

void* allocate(std::size_t n, std::size_t align) {
    if (allocationsBeforeFailure == 0) throw std::bad_alloc();
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    void* p = nullptr;
    if (align <= alignof(std::max_align_t)) {
        p = std::malloc(n == 0 ? 1 : n);
    } else if (::posix_memalign(&p, align, n == 0 ? align : n) != 0) {
        p = nullptr;
    }
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace

void* operator new(std::size_t n) { return allocate(n, 0); }
void* operator new[](std::size_t n) { return allocate(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a)); }
void* operator new[](std::size_t n, std::align_val_t a) { return allocate(n, static_cast<std::size_t>(a)); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

namespace {

/// Every node in pre-order, with its bounds or value and count.
template <typename T>
std::string shapeOf(const orlo::BSTSET<T>& set) {
    std::string shape;
    set.visit([&](const auto& node) {
        shape += std::to_string(node.depth) + ':' + std::to_string(node.smallest) + ',' + std::to_string(node.largest) +
                 '*' + std::to_string(node.count) + ' ';
    });
    return shape;
}

/// Updates `set` with each value, making the update's first allocation
/// fail first, then its second, and so on until it goes through; returns
/// how many updates failed. After each failure the set must be as before.
template <typename T>
int updateUnderFailures(orlo::BSTSET<T>& set, const std::vector<T>& values, bool add, const char* what) {
    int failures = 0;
    for (std::size_t k = 0; k < values.size(); ++k) {
        const T& v = values[k];
        for (int allowed = 0;; ++allowed) {
            const std::string before = shapeOf(set);
            const std::size_t size = set.size();
            allocationsBeforeFailure = allowed;
            bool failed = false;
            try {
                if (add) {
                    set << v;
                } else {
                    set >> v;
                }
            } catch (const std::bad_alloc&) {
                failed = true;
            }
            allocationsBeforeFailure = -1;
            // The whole check walks every leaf's path: after each failure,
            // and now and then.
            const std::string problem =
                failed || k % 50 == 0 ? orlo::testing::setProblem(set) : orlo::testing::treeProblem(orlo::testing::rootOf(set));
            if (!problem.empty() || (failed && (shapeOf(set) != before || set.size() != size))) {
                std::printf("FAIL: %s of %s with %d allocations allowed%s: %s\n", what, std::to_string(v).c_str(), allowed,
                            failed ? " failed and changed the set" : "", problem.c_str());
                std::exit(1);
            }
            if (!failed) break;
            ++failures;
        }
    }
    return failures;
}

template <typename T>
int run(const char* type) {
    // Rising values widen the largest bound all down the right spine, and
    // every new one needs a leaf and a routing node: both pools run out of
    // room, at their own times.
    std::vector<T> rising, falling;
    for (int i = 0; i < 1500; ++i) rising.push_back(static_cast<T>(i * 3 + i % 7));
    for (int i = 1499; i >= 0; i -= 2) falling.push_back(rising[static_cast<std::size_t>(i)]);
    orlo::BSTSET<T> set;
    const int failedAdds = updateUnderFailures(set, rising, true, "insertion");
    const int failedRemovals = updateUnderFailures(set, falling, false, "removal");
    std::printf("%s: %d insertions and %d removals failed and changed nothing\n", type, failedAdds, failedRemovals);
    return failedAdds >= 10 ? 0 : 1;
}

}  // namespace

int main() { return run<int>("int") | run<double>("double"); }
