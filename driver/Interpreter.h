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
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "CommandWindow.h"
#include "Format.h"
#include "Io.h"
#include "bstset/BSTSET.h"
#include "bstset/ReadAhead.h"

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

/// The `after` of a run nobody watches: it never stops the run, and the
/// interpreter keeps no copy of the lines for it.
struct EveryStep {
    template <typename Step>
    bool operator()(const Step&) const noexcept {
        return true;
    }
};

/// How many commands ahead runCommands() reads and hints `set.prefetch()`
/// of their values: only for a set that reads ahead.
template <typename Set>
inline constexpr std::size_t kReadAheadFor = 0;
template <typename T>
inline constexpr std::size_t kReadAheadFor<ReadAheadSet<T>> = ReadAheadSet<T>::kReadsAhead ? kHintAhead : 0;

/// The set a run uses: one that reads ahead where that pays (int and double,
/// unless built with -DORLO_HINTS=OFF), a plain BSTSET otherwise.
template <typename T>
using RunSet = std::conditional_t<kReadAheadFor<ReadAheadSet<T>> != 0, ReadAheadSet<T>, BSTSET<T>>;

/// Carries out one command on `set` and prints what Orlo prints for it.
/// `shown` is room for the value's text.
template <typename Set>
[[gnu::always_inline]] inline void answer(const Command<typename Set::value_type>& c, LineWriter& out, Set& set, std::string& shown) {
    if (c.keyword == Command<typename Set::value_type>::Keyword::Other) {
        out.line("Omitting input line!");
        return;
    }
    shown.clear();
    appendValue(shown, c.value);
    out.line(c.isAdd() ? "ADD " : "DEL ", shown);
    if (!c.extracted) {
        out.line("Omitting input line!");
        return;
    }
    // What set[v] and set(v) would answer, as the update found it: no walk
    // of their own, and a removed string need not be kept to recognise the
    // queries for it.
    const auto where = c.isAdd() ? set.insertAndLocate(c.value) : set.removeAndLocate(c.value);
    const int depth = where.depth;
    const int count = where.count;
    out.line("b[", shown, "] == ", depth);
    out.line("b(", shown, ") == ", count);
}

/// Runs the command lines that follow the type line against `set`, until the
/// input ends or fails (see LineReader::error()), or until `after`, called
/// with each Command once it has been answered, returns false. Any type with
/// BSTSET's value_type, insertAndLocate() and removeAndLocate() will do (the
/// tests run a model of the tree). Commands are read through a
/// CommandWindow, which reads ahead and hints a set that reads ahead
/// (kReadAheadFor), unobservably.
template <typename Set, typename After>
void runCommands(LineReader& file, LineWriter& out, Set& set, After&& after) {
    using T = typename Set::value_type;
    constexpr bool kWatched = !std::is_same_v<std::decay_t<After>, EveryStep>;
    constexpr std::size_t kAhead = kReadAheadFor<Set>;
    const auto hint = [&](const T& v) {
        if constexpr (kAhead != 0) set.prefetch(v);
    };
    CommandWindow<T, decltype(hint)> commands(file, kAhead, kWatched, hint);
    std::string shown;
    while (const Command<T>* c = commands.next()) {
        answer(*c, out, set, shown);
        if (!after(*c)) return;
    }
}

template <typename Set>
void runCommands(LineReader& file, LineWriter& out, Set& set) {
    runCommands(file, out, set, EveryStep{});
}

/// Prints each distinct value of `set` (a BSTSET or a ReadAheadSet) once,
/// in ascending order.
template <typename Set>
void printListing(const Set& set, LineWriter& out) {
    std::string shown;
    // Prefix ++: the postfix form copies the iterator, and with it the path
    // from the root, at every step.
    for (typename Set::iterator it = set.begin(); it != set.end(); ++it) {
        shown.clear();
        appendValue(shown, *it);
        out.line(shown);
    }
}

/// One run: a fresh multiset, the commands, the listing.
template <typename T>
void test(LineReader& file, LineWriter& out) {
    auto set = std::make_unique<RunSet<T>>();
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
