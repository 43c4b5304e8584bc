// Writes frames (Frame.h): words, then the text their spans point into.
// Texts are escaped for display, and a long one is cut to its start and its
// end around "…", so a value of a megabyte costs the page a few dozen bytes;
// the span of a text cut keeps the length of the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "Escape.h"
#include "Frame.h"

namespace orlo::session {

/// A label's share of a long value: this many bytes from each end.
constexpr std::size_t kLabelEnds = 24;
/// A line's or a message's share.
constexpr std::size_t kLineEnds = 512;

class FrameWriter {
public:
    /// Starts a frame: the header and the step's spans, all zero.
    void start() {
        words_.assign(frame::Header::kWords + frame::Spans::kCount * frame::Span::kWords, 0);
        text_.clear();
    }

    std::uint32_t& header(std::uint32_t field) { return words_[field]; }

    /// Sets one of the step's spans.
    void span(std::uint32_t which, std::string_view raw, std::size_t ends = kLineEnds) {
        put(frame::Header::kWords + which * frame::Span::kWords, raw, ends);
    }

    /// Appends a record of n words, zero, and returns where it starts.
    std::size_t record(std::size_t n) {
        words_.resize(words_.size() + n, 0);
        return words_.size() - n;
    }
    std::uint32_t& word(std::size_t at) { return words_[at]; }
    void push(std::uint32_t w) { words_.push_back(w); }

    /// Writes a span (three words at `at`) for raw text.
    void put(std::size_t at, std::string_view raw, std::size_t ends = kLabelEnds) {
        const std::size_t start = text_.size();
        cut_.clear();
        const bool cut = appendCut(cut_, raw, ends);
        appendEscaped(text_, cut_, Escape::Text);
        words_[at] = static_cast<std::uint32_t>(start);
        words_[at + 1] = static_cast<std::uint32_t>(text_.size() - start);
        words_[at + 2] = cut ? static_cast<std::uint32_t>(raw.size()) : 0;
    }

    /// Appends raw text, or where it is longer than two `ends` its first and
    /// last `ends` bytes (whole characters) around "…"; tells whether it cut.
    static bool appendCut(std::string& out, std::string_view raw, std::size_t ends) {
        if (raw.size() <= 2 * ends + 1) {
            out.append(raw);
            return false;
        }
        out.append(raw.substr(0, startOfCharacter(raw, ends)));
        out.append("\xe2\x80\xa6");  // …
        out.append(raw.substr(startOfCharacter(raw, raw.size() - ends)));
        return true;
    }

    /// The frame in one block; valid until the next start().
    const std::uint8_t* finish() {
        words_[frame::Header::textBytes] = static_cast<std::uint32_t>(text_.size());
        block_.resize(words_.size() * 4 + text_.size());
        std::memcpy(block_.data(), words_.data(), words_.size() * 4);
        std::memcpy(block_.data() + words_.size() * 4, text_.data(), text_.size());
        return block_.data();
    }
    std::size_t size() const { return block_.size(); }

private:
    /// `at`, moved back to the start of the UTF-8 character it falls in.
    static std::size_t startOfCharacter(std::string_view raw, std::size_t at) {
        for (int back = 0; back < 3 && at > 0 && (static_cast<unsigned char>(raw[at]) & 0xc0) == 0x80; ++back) --at;
        return at;
    }

    std::vector<std::uint32_t> words_;
    std::string text_;
    std::string cut_;
    std::vector<std::uint8_t> block_;
};

}  // namespace orlo::session
