// orlo-dot: runs a command file as Orlo does, output discarded, and shows the
// tree: in Graphviz DOT (render it with `dot -Tsvg`), as figures, or as a
// page that steps through the whole run.
//
//   orlo-dot [--after N] [--depth D] [--stats | --html] commandFile [--time-measure]
//
// --after N   the tree after the first N command lines (0: the empty tree),
//             with the walk of the N-th command's value highlighted
// --depth D   only the top D levels; a subtree cut off is one node
// --stats     the tree's figures and the leaves at each depth, as text
// --html      one self-contained HTML page that steps through the run
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Dot.h"
#include "Interpreter.h"
#include "Program.h"
#include "RunPage.h"
#include "bstset/BSTSET.h"
#include "bstset/detail/Access.h"

namespace {

constexpr const char* kName = "orlo-dot";
constexpr const char* kOptions = "[--after N] [--depth D] [--stats | --html] ";
// A tree with more leaves than this is drawn only to a readable depth
// unless --depth says otherwise.
constexpr long kReadableLeaves = 500;

struct Options {
    std::optional<long> after;
    std::optional<int> depth;
    bool stats = false;
    bool html = false;
} options;

void note(const std::string& text) {
    const std::string line = std::string(kName) + ": " + text + "\n";
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t put = ::write(STDERR_FILENO, line.data() + done, line.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return;
        done += static_cast<std::size_t>(put);
    }
}

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
void writeStats(const orlo::TreeFigures& f, orlo::LineWriter& out) {
    char average[32];
    std::snprintf(average, sizeof average, "%.2f", f.averageLeafDepth);
    out.line("distinct values: ", std::to_string(f.distinct));
    out.line("occurrences: ", std::to_string(f.occurrences));
    out.line("routing nodes: ", std::to_string(f.routing));
    out.line("height: ", std::to_string(f.height));
    out.line("average leaf depth: ", average);
    out.line("largest leaf depth: ", std::to_string(f.height));
    for (int d = 1; d <= f.height; ++d) {
        out.line("leaves at depth ", d, ": ", std::to_string(f.leavesAtDepth[static_cast<std::size_t>(d)]));
    }
}

template <typename T>
void show(orlo::LineReader& file, orlo::LineWriter& out, std::string_view typeLine) {
    orlo::BSTSET<T> set;
    if (options.html) {
        orlo::StringSink printed;
        orlo::LineWriter printer(printed);
        orlo::RunRecorder<T> recorder(typeLine);
        orlo::runCommands(file, printer, set, [&](const orlo::Command<T>& step) {
            recorder.step(step.line, printed.text, orlo::detail::Access::root(set), step.updates() ? &step.value : nullptr);
            printed.text.clear();
            return true;
        });
        orlo::writeRunPage(out, recorder.finish());
        return;
    }

    orlo::NullSink discard;
    orlo::LineWriter quiet(discard);
    long answered = 0;
    std::optional<T> highlight;
    if (!options.after || *options.after > 0) {
        orlo::runCommands(file, quiet, set, [&](const orlo::Command<T>& step) {
            ++answered;
            if (!options.after || answered < *options.after) return true;
            if (step.updates()) highlight = step.value;
            return false;
        });
    }
    if (options.after && answered < *options.after) {
        note("the file has " + std::to_string(answered) + " command lines; showing the tree after all of them");
    }

    const orlo::TreeFigures figures = orlo::figuresOf(orlo::detail::Access::root(set));
    if (options.stats) {
        writeStats<T>(figures, out);
        return;
    }
    orlo::DotOptions<T> dot;
    if (options.depth) {
        dot.depth = *options.depth;
    } else if (figures.distinct > kReadableLeaves) {
        dot.depth = orlo::readableDepth(orlo::detail::Access::root(set), kReadableLeaves);
        note("the tree has " + std::to_string(figures.distinct) + " leaves and " + std::to_string(figures.height) +
             " levels; drawing the top " + std::to_string(dot.depth) +
             " (--depth D draws D levels, --stats gives the figures of the whole tree)");
    }
    if (highlight) {
        dot.path = orlo::pathOf(orlo::detail::Access::root(set), *highlight);
        dot.found = !dot.path.empty() && dot.path.back()->leftMin() == *highlight;
    }
    orlo::writeDot(orlo::detail::Access::root(set), out, dot);
}

orlo::FileRun drawCommandFile(orlo::LineReader& file, orlo::LineWriter& out) {
    std::string_view typeLine;
    if (!file.next(typeLine)) return orlo::FileRun::Unreadable;
    const std::string type(typeLine);
    const bool ran = orlo::withElementType(orlo::elementType(type), [&](auto tag) {
        using T = typename decltype(tag)::type;
        show<T>(file, out, type);
    });
    return ran ? orlo::FileRun::Ran : orlo::FileRun::NoType;
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
    rest.push_back(nullptr);
    return orlo::runProgram(static_cast<int>(rest.size()) - 1, rest.data(), kName, drawCommandFile, kOptions);
}
