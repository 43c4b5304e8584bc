// A command file as the page's session keeps it: its bytes, where each
// command line starts, and where each command's argument text sits in the
// run's one stream of argument text (every command line appends its text
// after the keyword; each command reads one value from the front). Knowing
// the stream's offsets, the session can show what still waits to be read
// and read a recorded word back, without keeping copies of either.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Interpreter.h"

namespace orlo::session {

class RunFile {
public:
    /// Takes a command file: its first line names the element type; every
    /// later line of three bytes or more is a command. A line ends at a line
    /// feed; a carriage return before it belongs to the line.
    void load(std::string bytes);

    ElementType type() const { return type_; }
    /// The file's bytes, as given.
    std::string_view bytes() const { return bytes_; }
    std::uint32_t steps() const { return static_cast<std::uint32_t>(start_.size()); }

    /// Command k's line as read, keyword included (k from 1).
    std::string_view line(std::uint32_t k) const;

    /// Stream bytes before command k's argument text; streamAt(steps() + 1)
    /// is the length of the whole stream.
    std::uint64_t streamAt(std::uint32_t k) const { return arg_[k - 1]; }

    /// Appends stream bytes [from, to) to out.
    void appendStream(std::uint64_t from, std::uint64_t to, std::string& out) const;

    /// The command whose argument text holds stream byte `offset`.
    std::uint32_t commandAt(std::uint64_t offset) const;

private:
    std::string bytes_;
    ElementType type_ = ElementType::None;
    std::vector<std::uint32_t> start_;  // [k - 1]: where command k's line starts in bytes_
    std::vector<std::uint32_t> arg_;    // [k - 1]: stream offset of command k's argument text; one more: the end
};

}  // namespace orlo::session
