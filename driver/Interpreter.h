// The command interpreter: runs a command file against one BSTSET.
//
// A command file's first line names the element type (INT, DOUBLE or
// STRING); every further line is a command whose first three characters are
// the keyword (ADD or DEL) and whose fourth character on is argument text.
// For each command the interpreter echoes it, performs it and prints the
// value's depth and multiplicity; at the end it lists the distinct values in
// ascending order.
#pragma once

#include <memory>
#include <string>
#include <string_view>

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

/// Runs the command lines that follow the type line against `set`, until the
/// input ends or fails (see LineReader::error()), or until `after`, called
/// once each command line has been answered, returns false. Any type with
/// BSTSET's value_type and operators will do (the tests run a model of the
/// tree).
template <typename Set, typename After>
void runCommands(LineReader& file, LineWriter& out, Set& set, After&& after) {
    using T = typename Set::value_type;
    ParseStream parse;
    // The value keeps whatever the last extraction left in it; a failed
    // extraction that stores nothing shows the previous value in its echo.
    T value{};
    std::string shown;
    std::string_view line;
    while (!file.atEnd()) {
        if (!file.next(line)) return;
        if (line.size() <= 2) continue;
        parse.append(line.substr(3));
        // Every line that gets here consumes a value, whatever its keyword.
        const bool extracted = parse.extract(value);
        const std::string_view keyword = line.substr(0, 3);
        const bool isAdd = keyword == "ADD";
        const bool updated = extracted && (isAdd || keyword == "DEL");
        if (!isAdd && keyword != "DEL") {
            out.line("Omitting input line!");
        } else {
            shown.clear();
            appendValue(shown, value);
            out.line(keyword, " ", shown);
            if (!extracted) {
                out.line("Omitting input line!");
            } else {
                if (isAdd) {
                    set << value;
                } else {
                    set >> value;
                }
                out.line("b[", shown, "] == ", set[value]);
                out.line("b(", shown, ") == ", set(value));
            }
        }
        if (!after(CommandStep<T>{line, updated, isAdd, value})) return;
    }
}

template <typename Set>
void runCommands(LineReader& file, LineWriter& out, Set& set) {
    runCommands(file, out, set, [](const auto&) { return true; });
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
