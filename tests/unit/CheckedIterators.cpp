// Checked iterators, built without NDEBUG whatever the build type: an
// iterator used after its set changed stops the process with a message that
// names the mistake, and nothing else does.
//
//   orlo_checked_iterators            every valid use; exits 0
//   orlo_checked_iterators MISTAKE    makes one mistake and must be stopped
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "bstset/BSTSET.h"

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
    }
    std::puts("the mistake was not caught");
    return 0;
}
