// Checked iterators: an iterator used after its set changed stops the
// process with a message that names the mistake, and nothing else does.
// Built without NDEBUG, with no function inlined, and linked after a
// translation unit built with NDEBUG that uses the same iterators
// (UncheckedUse.cpp): the linker keeps that unit's copy of every inline
// function, which must check just the same.
//
//   orlo_checked_iterators            every valid use; exits 0
//   orlo_checked_iterators MISTAKE    makes one mistake and must be stopped
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "bstset/BSTSET.h"

// In UncheckedUse.cpp, built with NDEBUG.
std::size_t walkUnchecked(const orlo::BSTSET<std::string>& set);

namespace {

int validUses() {
    orlo::BSTSET<int> set{5, 1, 9};
    auto it = set.find(5);
    int sum = 0;
    for (; it != set.end(); ++it) sum += *it;
    set << 3;  // end() stays valid through changes; fresh iterators are fine
    for (auto fresh = set.begin(); fresh != set.end(); ++fresh) sum += *fresh;
    auto atEnd = set.end();
    set >> 1;
    if (atEnd != set.end()) return 1;
    return sum == 5 + 9 + 3 + 5 + 9 + 1 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return validUses();
    // The check aborts; the test looks for its message, and a process killed
    // by a signal would count as a crash.
    std::signal(SIGABRT, [](int) { ::_exit(3); });
    const std::string mistake = argv[1];
    orlo::BSTSET<std::string> set{"a", "b", "c"};
    if (walkUnchecked(set) != 3) return 1;
    auto it = set.begin();
    if (mistake == "read-after-insert") {
        set << "d";
        std::printf("%s\n", it->c_str());
    } else if (mistake == "step-after-remove") {
        set >> "c";
        ++it;
    } else if (mistake == "compare-after-clear") {
        set.clear();
        std::printf("%d\n", it != set.end());
    } else if (mistake == "read-after-move") {
        orlo::BSTSET<std::string> other(std::move(set));
        std::printf("%s\n", it->c_str());
    } else if (mistake == "read-after-replace") {
        // The set is destroyed and another made where it stood, changed as
        // often: the iterator must not take it for its own.
        set.~BSTSET();
        new (&set) orlo::BSTSET<std::string>{"x", "y", "z"};
        std::printf("%s\n", it->c_str());
    }
    std::puts("the mistake was not caught");
    return 0;
}
