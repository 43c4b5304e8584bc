// The escaper; see Escape.h for what each mode does.
#include "Escape.h"

namespace orlo {

namespace {

/// \xnn in text a person reads; %NN, as URLs write it, in the page's data.
void appendHex(std::string& out, unsigned char byte, char lead) {
    static constexpr char kLower[] = "0123456789abcdef", kUpper[] = "0123456789ABCDEF";
    const char* digits = lead == '%' ? kUpper : kLower;
    out += lead;
    if (lead == '\\') out += 'x';
    out += digits[byte >> 4];
    out += digits[byte & 15];
}

/// The Shown form of one byte, quoted for DOT when asked.
void appendShownByte(std::string& out, unsigned char byte, bool dot) {
    if (byte == '\\') {
        out += dot ? "\\\\\\\\" : "\\\\";
    } else if (byte < 0x20 || byte >= 0x7f) {
        if (dot) out += '\\';
        appendHex(out, byte, '\\');
    } else if (dot && byte == '"') {
        out += "\\\"";
    } else if (dot && byte == '&') {
        out += "&amp;";
    } else {
        out += static_cast<char>(byte);
    }
}

}  // namespace

std::size_t validUtf8Length(std::string_view text) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = at(0);
    if (lead < 0x80) return 1;
    std::size_t length;
    unsigned char low = 0x80, high = 0xbf;  // the range of the second byte
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        if (lead == 0xe0) low = 0xa0;   // no overlong forms
        if (lead == 0xed) high = 0x9f;  // no surrogates
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        if (lead == 0xf0) low = 0x90;
        if (lead == 0xf4) high = 0x8f;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || at(1) < low || at(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (at(i) < 0x80 || at(i) > 0xbf) return 0;
    }
    return length;
}

void appendEscaped(std::string& out, std::string_view text, Escape mode) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        switch (mode) {
            case Escape::Shown:
            case Escape::Dot:
                appendShownByte(out, byte, mode == Escape::Dot);
                ++i;
                continue;
            case Escape::Text: {
                const std::size_t n = validUtf8Length(text.substr(i));
                // U+0080 to U+009F, control characters too, are C2 80 to C2 9F.
                const bool control = n == 0 || (byte < 0x20 && byte != '\n') || byte == 0x7f ||
                                     (n == 2 && byte == 0xc2 && static_cast<unsigned char>(text[i + 1]) < 0xa0);
                if (control) {
                    appendHex(out, byte, '\\');
                    ++i;
                } else if (byte == '\\') {
                    out += "\\\\";
                    ++i;
                } else {
                    out.append(text, i, n);
                    i += n;
                }
                continue;
            }
            case Escape::PageData: {
                const std::size_t n = validUtf8Length(text.substr(i));
                if (n == 0 || byte == '%' || byte == '<' || byte == '>' || byte == '\r' || byte == 0) {
                    appendHex(out, byte, '%');
                    ++i;
                } else {
                    out.append(text, i, n);
                    i += n;
                }
                continue;
            }
        }
    }
}

void unescapePageData(std::string& text) {
    const auto hex = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            text[out++] = static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            text[out++] = text[i];
        }
    }
    text.resize(out);
}

}  // namespace orlo
