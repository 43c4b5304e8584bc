// Value formatting; see Format.h for the rules it follows.
#include "Format.h"

#include <cstdio>

namespace orlo {

void appendValue(std::string& out, int value) {
    char digits[16];
    char* end = digits + sizeof digits;
    char* p = end;
    // Work on the magnitude as unsigned so the most negative int has one.
    unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0) *--p = '-';
    out.append(p, static_cast<std::size_t>(end - p));
}

void appendValue(std::string& out, double value) {
    // The stream's default floating-point output is printf's %g at the
    // stream's default precision, 6; the program never changes the C locale.
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%.*g", 6, value);
    out.append(text, static_cast<std::size_t>(n));
}

}  // namespace orlo
