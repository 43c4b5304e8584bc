// Byte input split into lines, and line output, for the command interpreter.
//
// The interpreter reads through a LineReader and writes through a LineWriter,
// so the program can run it on files and descriptors while tests and the
// fuzz target run it on memory. Output goes out one complete line per write,
// which is what makes every line visible as soon as it is printed.
#pragma once

#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Format.h"

namespace orlo {

/// Writes all of `text` to the file descriptor fd, trying again where a
/// write is interrupted. For messages to standard error: a failure is not
/// reported, there being nowhere left to report it.
void writeAll(int fd, std::string_view text) noexcept;

/// A source of bytes.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    /// Reads up to n bytes into `into`: the count read, 0 at the end of the
    /// input, or -1 on a read error (with errno set).
    virtual long read(char* into, std::size_t n) = 0;
};

/// Reads a file descriptor, which it closes when destroyed.
class FdSource final : public ByteSource {
public:
    explicit FdSource(int fd);
    ~FdSource() override;
    FdSource(const FdSource&) = delete;
    FdSource& operator=(const FdSource&) = delete;
    long read(char* into, std::size_t n) override;

private:
    int fd_;
};

/// Serves bytes from memory, in pieces of at most `piece` bytes; after
/// `failAfter` bytes it reports a read error (EIO) instead of the rest.
class MemorySource final : public ByteSource {
public:
    static constexpr std::size_t kNever = static_cast<std::size_t>(-1);
    explicit MemorySource(std::string_view data, std::size_t piece = kNever, std::size_t failAfter = kNever)
        : data_(data), piece_(piece == 0 ? 1 : piece), failAfter_(failAfter) {}
    long read(char* into, std::size_t n) override;

private:
    std::string_view data_;
    std::size_t piece_;
    std::size_t failAfter_;
    std::size_t served_ = 0;
};

/// Splits a byte source into lines as std::getline does: a line ends at a
/// line feed, which is not part of it; a carriage return before it is. After
/// a final line feed one more, empty, line is read, and only reading it sets
/// the end indicator. A read error ends the input: the line it interrupted is
/// dropped rather than acted on in part.
class LineReader {
public:
    explicit LineReader(ByteSource& source);

    /// Reads the next line. The view stays valid until the next call.
    /// Returns false, with no line, once a read error has occurred.
    bool next(std::string_view& line);

    /// Reads the next line only if it is at hand: a whole line is buffered,
    /// or the source has ended and what is left is the last line. Otherwise
    /// returns false and reads nothing. Reading ahead only this way keeps
    /// the source's reads exactly those a line-by-line reader makes.
    bool nextAtHand(std::string_view& line);

    /// True once reading a line met the end of the input.
    bool atEnd() const { return atEnd_; }
    /// The errno of the read error that ended the input, or 0.
    int error() const { return error_; }

private:
    bool fill();
    /// Takes the line at begin_ if its line feed is buffered (at or after
    /// `searched`) or the source has ended.
    bool takeBuffered(std::size_t searched, std::string_view& line);

    ByteSource& source_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;  // start of the unread bytes in buffer_
    std::size_t end_ = 0;    // end of the bytes read so far
    bool sourceDone_ = false;
    bool atEnd_ = false;
    int error_ = 0;
};

/// Standard output could not be written.
class OutputError : public std::runtime_error {
public:
    explicit OutputError(int error);
    int error() const { return error_; }

private:
    int error_;
};

/// Receives output one complete line at a time.
class LineSink {
public:
    virtual ~LineSink() = default;
    /// Writes one line, its line feed included; throws OutputError when the
    /// line cannot be written.
    virtual void writeLine(const char* data, std::size_t size) = 0;
};

/// Writes each line to a file descriptor with a single write where the
/// system allows it.
class FdSink final : public LineSink {
public:
    explicit FdSink(int fd) : fd_(fd) {}
    void writeLine(const char* data, std::size_t size) override;

private:
    int fd_;
};

/// Collects the lines in a string.
class StringSink final : public LineSink {
public:
    void writeLine(const char* data, std::size_t size) override { text.append(data, size); }
    std::string text;
};

/// Drops every line.
class NullSink final : public LineSink {
public:
    void writeLine(const char*, std::size_t) override {}
};

/// Assembles lines from pieces (text and ints) and hands each to a sink
/// whole. The pieces are copied straight into one buffer that only grows.
class LineWriter {
public:
    explicit LineWriter(LineSink& sink) : sink_(sink) {}

    // Three lines a command, each a few pieces: kept inline where it is
    // called, so the pieces' sizes and copies are worked out there.
    template <typename... Parts>
    [[gnu::always_inline]] inline void line(const Parts&... parts) {
        const std::size_t most = (bound(parts) + ... + 1);
        if (most > buffer_.size()) buffer_.resize(most);
        char* const start = buffer_.data();
        char* end = start;
        ((end = put(end, parts)), ...);
        *end++ = '\n';
        sink_.writeLine(start, static_cast<std::size_t>(end - start));
    }

    /// Hands text that is not one line (part of a document) to the sink as
    /// it is, in one piece.
    void raw(std::string_view text) {
        if (!text.empty()) sink_.writeLine(text.data(), text.size());
    }

private:
    // Literals keep their lengths from the compiler, whether or not line()
    // is inlined where it is called.
    template <std::size_t N>
    static constexpr std::size_t bound(const char (&)[N]) {
        return N - 1;
    }
    template <std::size_t N>
    static char* put(char* at, const char (&text)[N]) {
        std::memcpy(at, text, N - 1);
        return at + N - 1;
    }
    static std::size_t bound(std::string_view text) { return text.size(); }
    static std::size_t bound(int) { return kIntChars; }
    static char* put(char* at, std::string_view text) {
        if (!text.empty()) std::memcpy(at, text.data(), text.size());
        return at + text.size();
    }
    static char* put(char* at, int number) { return formatInt(at, number); }

    LineSink& sink_;
    std::vector<char> buffer_ = std::vector<char>(256);
};

}  // namespace orlo
