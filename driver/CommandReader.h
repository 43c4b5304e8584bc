// How the interpreter reads one command line: the keyword from its first
// three characters, then its argument text appended to the run's one
// parsing stream and one value extracted from the front of it, whatever the
// keyword. The reader holds the stream and the run's value, which a failed
// extraction may leave as it was (the echo then shows it).
#pragma once

#include <cstring>
#include <string>
#include <string_view>

#include "ParseStream.h"

namespace orlo {

/// One command line, read and parsed.
template <typename T>
struct Command {
    enum class Keyword { Add, Del, Other };
    Keyword keyword = Keyword::Other;
    bool extracted = false;  // a value was extracted for it
    T value{};               // what the extraction left in the run's value
    std::string line;        // as read, keyword included; kept only on request

    bool isAdd() const { return keyword == Keyword::Add; }
    /// An ADD or DEL with a value: the set is updated.
    bool updates() const { return extracted && keyword != Keyword::Other; }
};

template <typename T>
class CommandReader {
public:
    /// Reads a command line (three bytes or more) into c.
    void read(std::string_view line, Command<T>& c) {
        stream_.append(line.substr(3));
        c.extracted = stream_.extract(value_);
        c.keyword = std::memcmp(line.data(), "ADD", 3) == 0   ? Command<T>::Keyword::Add
                    : std::memcmp(line.data(), "DEL", 3) == 0 ? Command<T>::Keyword::Del
                                                              : Command<T>::Keyword::Other;
        c.value = value_;
    }

    const ParseStream& stream() const { return stream_; }

private:
    ParseStream stream_;
    T value_{};  // the run's value: what the last extraction left in it
};

}  // namespace orlo
