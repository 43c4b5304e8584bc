// ParseStream: value extraction from the run's carried-over text.
#include "ParseStream.h"

#include <cfloat>
#include <climits>
#include <locale>

namespace orlo {

namespace {

// White space of the classic locale, which the stream's sentry skips.
bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The fast paths below take only tokens that every standard library reads
// alike: a plain decimal number ending at white space or at the end of the
// text. They give the value the stream would and consume the same text;
// anything else (more digits, exponents, trailing letters, a lone sign) is
// left to the stream itself.

// [+-]?[0-9]{1,10} within int's range; anything longer or out of range is
// the stream's (it fails and stores the nearest limit).
bool readPlainInt(const char*& p, const char* end, int& value) {
    const char* q = p;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    const char* digits = q;
    const char* const stop = end - q > 10 ? q + 10 : end;
    long long magnitude = 0;
    for (; q < stop && isDigit(*q); ++q) magnitude = magnitude * 10 + (*q - '0');
    // An eleventh digit, like any other character but white space, is not plain.
    if (q == digits || (q < end && !isSpace(*q))) return false;
    const long long signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT_MIN || signedValue > INT_MAX) return false;
    value = static_cast<int>(signedValue);
    p = q;
    return true;
}

// [+-]?([0-9]+(\.[0-9]*)?|\.[0-9]+) with at most 15 digits: the digits as an
// integer and the power of ten are both exact in a double, so one division
// rounds exactly as strtod does.
#if defined(FLT_EVAL_METHOD) && FLT_EVAL_METHOD == 0
bool readPlainDouble(const char*& p, const char* end, double& value) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6, 1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char* q = p;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    long long mantissa = 0;
    int digits = 0;
    int fraction = -1;  // digits after the point; -1 before a point is seen
    for (; q < end && !isSpace(*q); ++q) {
        if (isDigit(*q)) {
            if (++digits > 15) return false;
            mantissa = mantissa * 10 + (*q - '0');
            if (fraction >= 0) ++fraction;
        } else if (*q == '.' && fraction < 0) {
            fraction = 0;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    const double magnitude = static_cast<double>(mantissa) / kPowers[fraction < 0 ? 0 : fraction];
    value = negative ? -magnitude : magnitude;
    p = q;
    return true;
}
#else
// Where arithmetic runs in wider registers (x87), the division would be
// rounded twice: every number is left to the stream there.
bool readPlainDouble(const char*&, const char*, double&) { return false; }
#endif

}  // namespace

ParseStream::ParseStream() : stream_(&buffer_) { stream_.imbue(std::locale::classic()); }

void ParseStream::append(std::string_view text) {
    if (stuck_) return;  // nothing behind the stuck character is ever read
    compact();
    text_.append(text);
}

void ParseStream::compact() {
    if (pos_ == text_.size()) {
        dropped_ += pos_;
        text_.clear();
        pos_ = 0;
    } else if (pos_ >= 4096 && pos_ * 2 >= text_.size()) {
        dropped_ += pos_;
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

template <typename T, typename Fast>
bool ParseStream::extractWith(T& value, Fast readPlain) {
    if (!skipSpace()) return false;  // nothing to read: the value is left as it was
    const char* p = text_.data() + pos_;
    if (readPlain(p, text_.data() + text_.size(), value)) {
        pos_ = static_cast<std::size_t>(p - text_.data());
        return true;
    }
    return extractWithStream(value);
}

bool ParseStream::extract(int& value) { return extractWith(value, readPlainInt); }

bool ParseStream::extract(double& value) { return extractWith(value, readPlainDouble); }

bool ParseStream::extract(std::string& value) {
    if (!skipSpace()) return false;
    // A word is everything up to the next white space; it cannot fail.
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !isSpace(text_[pos_])) ++pos_;
    value.assign(text_, start, pos_ - start);
    return true;
}

}  // namespace orlo
