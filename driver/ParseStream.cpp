// ParseStream: value extraction from the run's carried-over text.
#include "ParseStream.h"

#include <locale>

namespace orlo {

namespace {

// White space of the classic locale, which the stream's sentry skips.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

ParseStream::ParseStream() : stream_(&buffer_) { stream_.imbue(std::locale::classic()); }

void ParseStream::append(std::string_view text) {
    if (stuck_) return;  // nothing behind the stuck character is ever read
    compact();
    text_.append(text);
}

void ParseStream::compact() {
    if (pos_ == text_.size()) {
        text_.clear();
        pos_ = 0;
    } else if (pos_ >= 4096 && pos_ * 2 >= text_.size()) {
        text_.erase(0, pos_);
        pos_ = 0;
    }
}

bool ParseStream::skipSpace() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
    return pos_ < text_.size();
}

template <typename T>
bool ParseStream::extractWithStream(T& value) {
    char* const start = text_.data() + pos_;
    buffer_.show(start, text_.data() + text_.size());
    stream_.clear();
    stream_ >> value;
    const bool ok = !stream_.fail();
    char* const stop = buffer_.position();
    if (!ok && stop == start) {
        // A number cannot start here. Extractors decide that from this one
        // character, so every later attempt fails here too.
        stuck_ = true;
        text_.erase(pos_ + 1);
    } else {
        pos_ += static_cast<std::size_t>(stop - start);
    }
    return ok;
}

bool ParseStream::extract(int& value) {
    if (!skipSpace()) return false;  // the value is left as it was
    return extractWithStream(value);
}

bool ParseStream::extract(double& value) {
    if (!skipSpace()) return false;
    return extractWithStream(value);
}

bool ParseStream::extract(std::string& value) {
    if (!skipSpace()) return false;
    return extractWithStream(value);
}

}  // namespace orlo
