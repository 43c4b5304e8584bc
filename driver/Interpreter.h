// The command interpreter: runs a command file against one BSTSET.
//
// A command file's first line names the element type (INT, DOUBLE or
// STRING); every further line is a command whose first three characters are
// the keyword (ADD or DEL) and whose fourth character on is argument text.
// For each command the interpreter echoes it, performs it and prints the
// value's depth and multiplicity; at the end it lists the distinct values in
// ascending order.
#pragma once

#include <cstddef>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "Format.h"
#include "Io.h"
#include "ParseStream.h"
#include "bstset/BSTSET.h"

namespace orlo {

enum class ElementType { None, Int, Double, String };

/// The element type a type line names: the whole line must be the name.
ElementType elementType(std::string_view typeLine);

template <typename T>
struct TypeTag {
    using type = T;
};

/// Calls f with TypeTag<int>, TypeTag<double> or TypeTag<std::string>;
/// returns false, without calling it, for ElementType::None.
template <typename F>
bool withElementType(ElementType type, F&& f) {
    switch (type) {
        case ElementType::Int: f(TypeTag<int>{}); return true;
        case ElementType::Double: f(TypeTag<double>{}); return true;
        case ElementType::String: f(TypeTag<std::string>{}); return true;
        case ElementType::None: break;
    }
    return false;
}

/// One command line as the run answered it, for tools that watch a run step
/// by step (orlo-dot).
template <typename T>
struct CommandStep {
    std::string_view line;  // as read, keyword included
    bool updated;           // an ADD or DEL with a value: the set was updated
    bool isAdd;
    const T& value;         // the value read (meaningful when updated)
};

/// The `after` of a run nobody watches: it never stops the run, and the
/// interpreter keeps no copy of the lines for it.
struct EveryStep {
    template <typename Step>
    bool operator()(const Step&) const noexcept {
        return true;
    }
};

namespace detail {

template <typename Set, typename = void>
struct HasPrefetch : std::false_type {};
template <typename Set>
struct HasPrefetch<Set, std::void_t<decltype(std::declval<Set&>().prefetch(std::declval<const typename Set::value_type&>()))>>
    : std::true_type {};

}  // namespace detail

/// How many commands the interpreter holds: the one it carries out and those
/// it has read ahead of it. Each read-ahead value starts an early walk
/// (BSTSET::prefetch), so this is as many as the walks a set keeps under way:
/// the oldest walk is the one whose command runs now.
constexpr std::size_t kWindow = 32;
static_assert((kWindow & (kWindow - 1)) == 0, "the window is a ring indexed by a mask");
static_assert(kWindow == BSTSET<int>::kEarlyWalks, "one early walk per command in the window");

/// Runs the command lines that follow the type line against `set`, until the
/// input ends or fails (see LineReader::error()), or until `after`, called
/// once each command line has been answered, returns false. Any type with
/// BSTSET's value_type and operators will do (the tests run a model of the
/// tree).
///
/// Commands are read and parsed kWindow - 1 ahead of the one being carried
/// out, and a set that can (BSTSET::prefetch) is told of each upcoming
/// value, so the paths of the next commands come from memory while this one
/// runs. Parsing never depends on the set, so reading ahead changes nothing
/// that is printed: each command still runs, and prints, in its turn. A
/// read error, or an exception while reading ahead (out of memory), takes
/// effect where it would without the window: after every command read
/// before it has been carried out.
template <typename Set, typename After>
void runCommands(LineReader& file, LineWriter& out, Set& set, After&& after) {
    using T = typename Set::value_type;
    constexpr bool kWatched = !std::is_same_v<std::decay_t<After>, EveryStep>;
    enum class Keyword { Add, Del, Other };
    struct Command {
        std::string line;  // as read, keyword included (for a watching `after`)
        Keyword keyword = Keyword::Other;
        bool extracted = false;
        T value{};
    };
    Command window[kWindow];
    std::size_t first = 0;    // the next command to carry out
    std::size_t pending = 0;  // commands read and not yet carried out

    ParseStream parse;
    // The value keeps whatever the last extraction left in it; a failed
    // extraction that stores nothing shows the previous value in its echo.
    // Extractions happen in file order, as the commands run.
    T value{};
    std::string_view line;
    std::exception_ptr failure;
    // Reads command lines into the window until it is full. With commands
    // waiting it takes only lines already at hand: commands fed through a
    // pipe get their answers as soon as their lines are in, not a window
    // later.
    const auto readAhead = [&]() {
        if (failure) return;
        try {
            while (pending < kWindow && !file.atEnd()) {
                if (pending != 0 && !file.ready()) return;
                if (!file.next(line)) return;
                if (line.size() <= 2) continue;
                parse.append(line.substr(3));
                Command& c = window[(first + pending) & (kWindow - 1)];
                // Every line that gets here consumes a value, whatever its
                // keyword.
                c.extracted = parse.extract(value);
                const std::string_view keyword = line.substr(0, 3);
                c.keyword = keyword == "ADD" ? Keyword::Add : keyword == "DEL" ? Keyword::Del : Keyword::Other;
                c.value = value;
                if constexpr (kWatched) c.line.assign(line);
                ++pending;
                if constexpr (detail::HasPrefetch<Set>::value) {
                    if (c.extracted && c.keyword != Keyword::Other) set.prefetch(c.value);
                }
            }
        } catch (...) {
            failure = std::current_exception();
        }
    };

    readAhead();
    std::string shown;
    while (pending != 0) {
        const Command& c = window[first];
        const bool isAdd = c.keyword == Keyword::Add;
        if (c.keyword == Keyword::Other) {
            out.line("Omitting input line!");
        } else {
            shown.clear();
            appendValue(shown, c.value);
            out.line(isAdd ? "ADD " : "DEL ", shown);
            if (!c.extracted) {
                out.line("Omitting input line!");
            } else {
                if (isAdd) {
                    set << c.value;
                } else {
                    set >> c.value;
                }
                out.line("b[", shown, "] == ", set[c.value]);
                out.line("b(", shown, ") == ", set(c.value));
            }
        }
        const bool updated = c.extracted && c.keyword != Keyword::Other;
        if (!after(CommandStep<T>{c.line, updated, isAdd, c.value})) return;
        first = (first + 1) & (kWindow - 1);
        --pending;
        readAhead();
    }
    if (failure) std::rethrow_exception(failure);
}

template <typename Set>
void runCommands(LineReader& file, LineWriter& out, Set& set) {
    runCommands(file, out, set, EveryStep{});
}

/// Prints each distinct value once, in ascending order.
template <typename T>
void printListing(const BSTSET<T>& set, LineWriter& out) {
    std::string shown;
    // Prefix ++: the postfix form copies the iterator, and with it the path
    // from the root, at every step.
    for (typename BSTSET<T>::iterator it = set.begin(); it != set.end(); ++it) {
        shown.clear();
        appendValue(shown, *it);
        out.line(shown);
    }
}

/// One run: a fresh multiset, the commands, the listing.
template <typename T>
void test(LineReader& file, LineWriter& out) {
    auto set = std::make_unique<BSTSET<T>>();
    runCommands(file, out, *set);
    printListing(*set, out);
}

enum class FileRun {
    Ran,         // the type line named a type and the run took place
    NoType,      // the type line named none: nothing was done
    Unreadable,  // the type line could not be read
};

/// Reads the type line and, when it names an element type, runs the rest of
/// the file. A read error after the type line ends the run early; the
/// listing is still printed and file.error() tells.
FileRun runCommandFile(LineReader& file, LineWriter& out);

}  // namespace orlo
