// orlo-dot: runs a command file as Orlo does, output discarded, and prints
// the tree it leaves in Graphviz DOT (render it with `dot -Tsvg`).
//
//   orlo-dot commandFile [--time-measure]
#include <string>
#include <string_view>

#include "bstset/BSTSET.h"
#include "Dot.h"
#include "Interpreter.h"
#include "Program.h"

namespace {

orlo::FileRun drawCommandFile(orlo::LineReader& file, orlo::LineWriter& out) {
    std::string_view typeLine;
    if (!file.next(typeLine)) return orlo::FileRun::Unreadable;
    orlo::NullSink discard;
    orlo::LineWriter quiet(discard);
    const bool ran = orlo::withElementType(orlo::elementType(typeLine), [&](auto tag) {
        using T = typename decltype(tag)::type;
        orlo::BSTSET<T> set;
        orlo::runCommands(file, quiet, set);
        orlo::writeDot(set.getRoot(), out);
    });
    return ran ? orlo::FileRun::Ran : orlo::FileRun::NoType;
}

}  // namespace

int main(int argc, char** argv) { return orlo::runProgram(argc, argv, "orlo-dot", drawCommandFile); }
