// ParseStream: the one text stream a run reads its values from.
//
// Each command line appends its argument text; each extraction takes one
// value from the front, and whatever it leaves unread waits for the next
// line. Extraction is std::istream's `>>` in the classic locale, with its
// exact results: what it consumes, what it stores in the value on failure and
// when it fails.
//
// Only text that can still be read is held. Consumed text is dropped. And an
// integer or floating-point extraction that stops at a character it cannot
// use, having consumed nothing but white space, stops there again on every
// later line whatever is appended: from then on the stream keeps that one
// character and ignores new text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <streambuf>
#include <string>
#include <string_view>

namespace orlo {

class ParseStream {
public:
    ParseStream();
    ParseStream(const ParseStream&) = delete;
    ParseStream& operator=(const ParseStream&) = delete;

    /// Appends text behind whatever is still unread.
    void append(std::string_view text);

    /// Extracts one value as `stream >> value` would: true on success; on
    /// failure the value holds what the extraction left in it.
    bool extract(int& value);
    bool extract(double& value);
    bool extract(std::string& value);

    /// Bytes held, for checking that the stream does not grow without need.
    std::size_t held() const { return text_.size() - pos_; }
    /// True once the stream has met text that no extraction can get past.
    bool stuck() const { return stuck_; }
    /// Bytes of appended text consumed so far (skipped or extracted); once
    /// stuck, where the character it cannot get past stands.
    std::uint64_t consumed() const { return dropped_ + pos_; }

private:
    // The unread text as the get area of a stream buffer, so that the
    // standard extractors can work on it in place.
    class Buffer : public std::streambuf {
    public:
        void show(char* begin, char* end) { setg(begin, begin, end); }
        char* position() const { return gptr(); }
    };

    /// Skips white space; false when nothing else is left.
    bool skipSpace();
    template <typename T>
    bool extractWithStream(T& value);
    template <typename T, typename Fast>
    bool extractWith(T& value, Fast readPlain);
    void compact();

    std::string text_;
    std::size_t pos_ = 0;  // the unread text is text_[pos_, size)
    std::uint64_t dropped_ = 0;  // consumed bytes no longer held in text_
    bool stuck_ = false;
    Buffer buffer_;
    std::istream stream_;
};

}  // namespace orlo
