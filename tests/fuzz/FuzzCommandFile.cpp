// Fuzz target: arbitrary bytes run as a command file, in-process. The run's
// output must match, byte for byte, the output of the same file run on the
// plain recursive model of the tree; after every run an ordered tree must be
// sound and its listing strictly ascending. Crashes, leaks and undefined behaviour
// are left to the sanitizers to catch.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Format.h"
#include "Interpreter.h"
#include "Io.h"
#include "RecursiveModel.h"
#include "TreeInvariants.h"

namespace {

void require(bool ok, const std::string& problem, std::string_view file) {
    if (ok) return;
    std::fprintf(stderr, "after a run of %zu bytes: %s\n", file.size(), problem.c_str());
    std::abort();
}

/// Runs the command file's commands on `set` and returns what was printed.
template <typename Set>
std::string runOn(std::string_view file, std::size_t piece, Set& set) {
    orlo::MemorySource source(file, piece);
    orlo::LineReader reader(source);
    orlo::StringSink sink;
    orlo::LineWriter out(sink);
    std::string_view typeLine;
    reader.next(typeLine);
    orlo::runCommands(reader, out, set);
    return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    // Small pieces make lines straddle the reader's refills now and then.
    const std::size_t piece = size % 7 == 0 ? 3 : orlo::MemorySource::kNever;
    std::string_view typeLine = file.substr(0, file.find('\n'));
    orlo::withElementType(orlo::elementType(typeLine), [&](auto tag) {
        using T = typename decltype(tag)::type;
        orlo::BSTSET<T> set;
        std::string printed = runOn(file, piece, set);
        // A value unequal to itself (NaN, read by libc++) is never removed
        // again, and a tree holding one is not ordered: the model alone
        // judges it.
        bool ordered = true;
        for (const T& v : set) ordered = ordered && v == v;
        if (ordered) {
            require(orlo::testing::treeProblem(orlo::testing::rootOf(set)).empty(), orlo::testing::treeProblem(orlo::testing::rootOf(set)), file);
            require(orlo::testing::listingProblem(set).empty(), orlo::testing::listingProblem(set), file);
        }
        orlo::NullSink discard;
        orlo::LineWriter quiet(discard);
        orlo::printListing(set, quiet);

        orlo::testing::ModelSet<T> model;
        std::string expected = runOn(file, piece, model);
        std::string shown;
        for (const T& v : model.model.values()) {
            shown.clear();
            orlo::appendValue(shown, v);
            expected += shown + '\n';
        }
        for (auto it = set.begin(); it != set.end(); ++it) {
            shown.clear();
            orlo::appendValue(shown, *it);
            printed += shown + '\n';
        }
        require(printed == expected, "the output differs from the recursive model's:\n" + printed + "-- model:\n" + expected, file);
    });
    return 0;
}
