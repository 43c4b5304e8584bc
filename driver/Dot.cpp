// DOT text escaping.
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

}  // namespace orlo
