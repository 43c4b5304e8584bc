// Text for drawings: DOT escaping, values shown byte-safely, the figures line.
#include "Dot.h"

#include <cstdio>

namespace orlo {

void appendDotText(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x7f) {
            // Shown, not interpreted: DOT draws "\\x80" as \x80.
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
}

void appendShownText(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (byte < 0x20 || byte >= 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
}

std::string figuresLine(const TreeFigures& f) {
    char average[32];
    std::snprintf(average, sizeof average, "%.2f", f.averageLeafDepth);
    return "distinct values " + std::to_string(f.distinct) + ", occurrences " + std::to_string(f.occurrences) +
           ", routing nodes " + std::to_string(f.routing) + ", height " + std::to_string(f.height) +
           ", leaf depth average " + average + ", largest " + std::to_string(f.height);
}

}  // namespace orlo
