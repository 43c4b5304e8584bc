// How text from a run is shown: one escaper, with a mode for each place the
// text goes. Values and command lines are arbitrary bytes; every mode shows
// them so that two different texts never look alike.
#pragma once

#include <string>
#include <string_view>

namespace orlo {

enum class Escape {
    /// Printable ASCII as it is, a backslash doubled, every other byte as
    /// \xNN: reads back unambiguously in any font.
    Shown,
    /// Shown, then written as the inside of a DOT double-quoted string: each
    /// backslash and quote escaped, & as &amp; (Graphviz reads entities).
    Dot,
    /// Valid UTF-8 as it is, a backslash doubled; control characters but the
    /// line feed, and bytes that are not part of valid UTF-8, as \xNN. For
    /// text a browser shows.
    Text,
    /// The run's bytes, embedded in the page (in an HTML comment): %, <, >,
    /// carriage return, NUL and bytes that are not part of valid UTF-8 as
    /// %XX, all else as it is. An HTML parser keeps every other character of
    /// the page's UTF-8 as it is, no text can end the comment, and
    /// unescapePageData() turns %XX back into bytes.
    PageData,
};

/// Appends text to out as the mode says.
void appendEscaped(std::string& out, std::string_view text, Escape mode);

/// Escape::PageData undone, in place: each %XX (two hexadecimal digits,
/// either case) back to the byte it stands for; anything else as it is.
void unescapePageData(std::string& text);

/// The length of the valid UTF-8 sequence at the start of text (1 to 4), or
/// 0 when its first byte does not start one.
std::size_t validUtf8Length(std::string_view text);

}  // namespace orlo
