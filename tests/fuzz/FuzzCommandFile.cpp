// Fuzz target: arbitrary bytes run as a command file, in-process, with the
// output thrown away. After every run the tree must be sound and its listing
// strictly ascending; crashes, leaks and undefined behaviour are left to the
// sanitizers to catch.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Interpreter.h"
#include "Io.h"
#include "TreeInvariants.h"

namespace {

void require(const std::string& problem, std::string_view file) {
    if (problem.empty()) return;
    std::fprintf(stderr, "broken tree after a run of %zu bytes: %s\n", file.size(), problem.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    // Small pieces make lines straddle the reader's refills now and then.
    orlo::MemorySource source(file, size % 7 == 0 ? 3 : orlo::MemorySource::kNever);
    orlo::LineReader reader(source);
    orlo::NullSink sink;
    orlo::LineWriter out(sink);
    std::string_view typeLine;
    if (!reader.next(typeLine)) return 0;
    orlo::withElementType(orlo::elementType(typeLine), [&](auto tag) {
        using T = typename decltype(tag)::type;
        orlo::BSTSET<T> set;
        orlo::runCommands(reader, out, set);
        require(orlo::testing::treeProblem(set.getRoot()), file);
        require(orlo::testing::listingProblem(set), file);
        orlo::printListing(set, out);
    });
    return 0;
}
