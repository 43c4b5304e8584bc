// orlo-dot: runs a command file as Orlo does, output discarded, and shows the
// tree: in Graphviz DOT (render it with `dot -Tsvg`), as figures, or as a
// page that runs Orlo itself in the browser, step by step.
//
//   orlo-dot [--after N] [--depth D] [--stats | --html] commandFile [--time-measure]
//   orlo-dot --html
//
// --after N   the tree after the first N command lines (0: the empty tree),
//             with the walk of the N-th command's value highlighted
// --depth D   only the top D levels; a subtree cut off is one node
// --stats     the tree's figures and the leaves at each depth, as text
// --html      one self-contained HTML page that runs the file step by step;
//             without a file, an empty page to type commands into
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Dot.h"
#include "Figures.h"
#include "Interpreter.h"
#include "Page.h"
#include "Program.h"
#include "bstset/BSTSET.h"

namespace {

constexpr const char* kName = "orlo-dot";
constexpr const char* kOptions = "[--after N] [--depth D] [--stats | --html] ";

struct Options {
    std::optional<long> after;
    std::optional<int> depth;
    bool stats = false;
    bool html = false;
} options;

void note(const std::string& text) { orlo::writeAll(STDERR_FILENO, std::string(kName) + ": " + text + "\n"); }

/// A whole number from 0 to `most`, written in plain decimal digits.
std::optional<long> count(const char* text, long most) {
    if (*text == '\0' || std::strlen(text) > 9) return std::nullopt;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c < '0' || *c > '9') return std::nullopt;
    }
    const long n = std::strtol(text, nullptr, 10);
    if (n > most) return std::nullopt;
    return n;
}

template <typename T>
void show(orlo::LineReader& file, orlo::LineWriter& out) {
    orlo::BSTSET<T> set;
    orlo::NullSink discard;
    orlo::LineWriter quiet(discard);
    long answered = 0;
    orlo::DotOptions<T> dot;
    if (!options.after || *options.after > 0) {
        orlo::runCommands(file, quiet, set, [&](const orlo::Command<T>& step) {
            ++answered;
            if (!options.after || answered < *options.after) return true;
            if (step.updates()) {
                dot.walkOf = step.value;
                dot.caption = "after command line " + std::to_string(answered) + ": " + step.line;
            }
            return false;
        });
    }
    if (options.after && answered < *options.after) {
        note("the file has " + std::to_string(answered) + " command lines; showing the tree after all of them");
    }

    const orlo::TreeFigures figures = orlo::figuresOf(set);
    if (options.stats) {
        for (const std::string& line : orlo::figuresText(figures)) out.line(line);
        return;
    }
    if (options.depth) {
        dot.depth = *options.depth;
    } else if (const int depth = orlo::renderableDepth(set); depth != 0) {
        dot.depth = depth;
        note("the tree has " + std::to_string(figures.distinct) + " leaves and " + std::to_string(figures.height) +
             " levels; drawing the top " + std::to_string(depth) +
             ", as many as render at full size (--depth D draws D levels, --stats gives the figures of the whole tree)");
    }
    orlo::writeDot(set, out, dot);
}

orlo::FileRun drawCommandFile(orlo::LineReader& file, orlo::LineWriter& out) {
    std::string_view typeLine;
    if (!file.next(typeLine)) return orlo::FileRun::Unreadable;
    const bool ran = orlo::withElementType(orlo::elementType(typeLine), [&](auto tag) {
        using T = typename decltype(tag)::type;
        show<T>(file, out);
    });
    return ran ? orlo::FileRun::Ran : orlo::FileRun::NoType;
}

/// The page with the whole file in it, whatever its first line says. A file
/// that cannot be read to its end gets no page (the program says why).
orlo::FileRun writeFilePage(orlo::LineReader& file, orlo::LineWriter& out) {
    std::string_view line;
    if (!file.next(line)) return orlo::FileRun::Unreadable;
    std::string text(line);
    while (!file.atEnd() && file.next(line)) {
        text += '\n';
        text.append(line);
    }
    if (file.error() == 0) orlo::writePage(out, text);
    return orlo::FileRun::Ran;
}

/// The empty page, a playground, on standard output.
int writeEmptyPage() {
    orlo::FdSink standardOutput(STDOUT_FILENO);
    orlo::LineWriter out(standardOutput);
    try {
        orlo::writePage(out, std::string_view());
    } catch (const orlo::OutputError& e) {
        note(std::string("error writing standard output: ") + e.what());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--after" || arg == "--depth") {
            const bool after = arg == "--after";
            if (i + 1 == argc) return orlo::usageError(kName, kOptions, std::string(arg) + " needs a number");
            const char* text = argv[++i];
            const std::optional<long> n = count(text, after ? 999999999 : 100000);
            if (!n || (!after && *n == 0)) {
                return orlo::usageError(kName, kOptions,
                                        std::string(arg) + " needs a whole number" + (after ? ", 0 or more" : ", 1 or more") +
                                            ", not '" + text + "'");
            }
            if (after) {
                options.after = *n;
            } else {
                options.depth = static_cast<int>(*n);
            }
        } else if (arg == "--stats") {
            options.stats = true;
        } else if (arg == "--html") {
            options.html = true;
        } else if (arg.size() > 2 && arg.substr(0, 2) == "--" && arg != "--time-measure") {
            return orlo::usageError(kName, kOptions, "unknown option '" + std::string(arg) + "'");
        } else {
            rest.push_back(argv[i]);
        }
    }
    if (options.stats && options.html) return orlo::usageError(kName, kOptions, "--stats and --html do not go together");
    if (options.html && (options.after || options.depth)) {
        return orlo::usageError(kName, kOptions, "the page shows every step: --html takes neither --after nor --depth");
    }
    if (options.stats && options.depth) return orlo::usageError(kName, kOptions, "--stats covers the whole tree: no --depth");
    if (options.html && !orlo::pageBuilt()) {
        note("this build has no page: the wasm32-wasi toolchain was missing when it was configured (the README says "
             "which packages bring it)");
        return 1;
    }
    if (options.html && rest.size() == 1) return writeEmptyPage();
    rest.push_back(nullptr);
    return orlo::runProgram(static_cast<int>(rest.size()) - 1, rest.data(), kName,
                            options.html ? writeFilePage : drawCommandFile, kOptions);
}
