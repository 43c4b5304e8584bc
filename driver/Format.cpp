// Value formatting; see Format.h for the rules it follows.
#include "Format.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace orlo {

namespace {

// "00" to "99": two digits per division.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

unsigned decimalDigits(unsigned n) {
    // kPowers[0] is 0 so that 0 has one digit too.
    static constexpr unsigned kPowers[] = {0,      10,      100,      1000,      10000,
                                           100000, 1000000, 10000000, 100000000, 1000000000};
#if defined(__GNUC__)
    // log10 from the bit length (1233/4096 ~ log10 2), then one correction.
    const unsigned estimate = static_cast<unsigned>((32 - __builtin_clz(n | 1)) * 1233) >> 12;
    return estimate + (n >= kPowers[estimate] ? 1 : 0);
#else
    unsigned digits = 1;
    while (digits < 10 && n >= kPowers[digits]) ++digits;
    return digits;
#endif
}

}  // namespace

char* formatInt(char* at, int value) {
    // Work on the magnitude as unsigned so the most negative int has one.
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    if (value < 0) *at++ = '-';
    char* const end = at + decimalDigits(magnitude);
    char* p = end;
    while (magnitude >= 100) {
        const unsigned pair = magnitude % 100;
        magnitude /= 100;
        p -= 2;
        std::memcpy(p, kDigitPairs + 2 * pair, 2);
    }
    if (magnitude >= 10) {
        std::memcpy(p - 2, kDigitPairs + 2 * magnitude, 2);
    } else {
        p[-1] = static_cast<char>('0' + magnitude);
    }
    return end;
}

void appendValue(std::string& out, int value) {
    char text[kIntChars];
    out.append(text, static_cast<std::size_t>(formatInt(text, value) - text));
}

void appendValue(std::string& out, double value) {
    // The stream's default floating-point output is printf's %g at the
    // stream's default precision, 6; the program never changes the C locale.
    // For finite values to_chars gives exactly that, several times faster
    // than printf's multi-precision digits. Not for the rest: libc++ writes
    // a negative NaN as "-nan(ind)" where printf writes "-nan".
    if (!std::isfinite(value)) {
        if (std::signbit(value)) out += '-';
        out += std::isnan(value) ? "nan" : "inf";
        return;
    }
    char text[32];
    const std::to_chars_result r = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6);
    out.append(text, static_cast<std::size_t>(r.ptr - text));
}

}  // namespace orlo
