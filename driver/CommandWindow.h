// The commands of a run as the interpreter takes them: each line split into
// keyword and argument text, the text appended to the run's one parsing
// stream and one value extracted, in file order.
//
// For a set that reads ahead (ReadAheadSet<int> and <double>),
// the window reads a few commands ahead of the one being carried out and
// hints each value as it is parsed, so the paths of the next commands come
// from memory while this one runs. Nobody can tell:
//   - it reads ahead only lines the reader already holds, never asking the
//     source for more on behalf of a later command, so the source sees the
//     reads a line-by-line loop makes (a file that grows or shrinks while
//     Orlo runs, a pipe fed by hand, a slow file system: all as before);
//   - parsing never depends on the set, and extraction happens in file
//     order, so every command prints what it would print unread-ahead;
//   - what it holds is bounded in bytes, not only in commands;
//   - a failure while reading ahead (out of memory) waits until every
//     command read before it has been carried out.
#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CommandReader.h"
#include "Io.h"
#include "bstset/detail/Memory.h"

namespace orlo {

/// How far ahead the interpreter reads and hints, in commands: as far as a
/// walk needs to reach the leaves of a tree of some hundred thousand values
/// (26 levels or so) before its own update. Measured by `bench/run.sh -H`,
/// which compares with a build that does not read ahead (-DORLO_HINTS=OFF),
/// and `orlo-tree-bench --benchmark_filter=EarlyWalk` for each distance.
constexpr std::size_t kHintAhead = 31;

/// The most bytes of command lines read ahead at any time. Lines of values
/// that print as numbers are a dozen bytes, so this never binds for them;
/// it keeps a file of long lines from costing more memory read ahead than
/// read line by line.
constexpr std::size_t kAheadBytes = std::size_t{16} << 10;

template <typename T, typename Hint>
class CommandWindow {
public:
    /// Reads from `file`, positioned after the type line, up to `ahead`
    /// commands beyond the one being carried out, calling hint(value) for
    /// each value read ahead. `keepLines`: each command keeps its line.
    CommandWindow(LineReader& file, std::size_t ahead, bool keepLines, Hint hint)
        : file_(file), capacity_(ahead + 1), ring_(detail::powerOfTwoAtLeast(capacity_)), keepLines_(keepLines),
          hint_(std::move(hint)) {}

    CommandWindow(const CommandWindow&) = delete;
    CommandWindow& operator=(const CommandWindow&) = delete;

    /// The next command to carry out, or null once the input has ended (or
    /// failed: see LineReader::error()). The one handed out before is done
    /// with. The command stays valid until the next call.
    const Command<T>* next() {
        if (handedOut_) {
            aheadBytes_ -= bytes_[first_];
            first_ = (first_ + 1) & (ring_.size() - 1);
            --pending_;
            handedOut_ = false;
        }
        if (pending_ == 0) {
            if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
            // The command to carry out now: read as a line-by-line loop reads.
            std::string_view line;
            while (pending_ == 0 && !file_.atEnd() && file_.next(line)) take(line);
            if (pending_ == 0) return nullptr;
        }
        readAhead();
        handedOut_ = true;
        return &ring_[first_];
    }

private:
    /// Reads lines already at hand into the window while there is room.
    void readAhead() {
        if (failure_) return;
        try {
            std::string_view line;
            while (pending_ < capacity_ && aheadBytes_ < kAheadBytes && file_.nextAtHand(line)) take(line);
        } catch (...) {
            failure_ = std::current_exception();
        }
    }

    /// Takes one line read; a command line joins the window.
    void take(std::string_view line) {
        if (line.size() <= 2) return;
        const std::size_t slot = (first_ + pending_) & (ring_.size() - 1);
        Command<T>& c = ring_[slot];
        reader_.read(line, c);
        if (keepLines_) c.line.assign(line);
        bytes_[slot] = line.size();
        aheadBytes_ += line.size();
        ++pending_;
        if (pending_ > 1 && c.updates()) hint_(c.value);
    }

    LineReader& file_;
    CommandReader<T> reader_;  // the run's stream, and its value
    std::size_t capacity_;          // the most commands pending at once
    std::vector<Command<T>> ring_;  // pending_ commands from first_ on; its size a power of two
    std::vector<std::size_t> bytes_ = std::vector<std::size_t>(ring_.size());  // each slot's line length
    std::size_t first_ = 0;
    std::size_t pending_ = 0;
    std::size_t aheadBytes_ = 0;  // line bytes of the pending commands
    bool handedOut_ = false;      // the command at first_ was handed out
    bool keepLines_;
    Hint hint_;
    std::exception_ptr failure_;
};

}  // namespace orlo
