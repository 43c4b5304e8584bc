// Writes the page's frame-layout.js from Frame.h, so that the page reads the
// frames the session writes by the very same names and positions. Built and
// run for the build machine, as part of putting the page together.
//
//   orlo-frame-layout > frame-layout.js
#include <cstdio>
#include <string>

#include "Frame.h"

namespace {

std::string out;

void begin(const char* name) {
    out += "export const ";
    out += name;
    out += " = Object.freeze({";
}

void field(const char* name, unsigned value) {
    out += ' ';
    out += name;
    out += ": ";
    out += std::to_string(value);
    out += ',';
}

void end() { out += " });\n"; }

}  // namespace

int main() {
    out += "// Generated from web/Frame.h by orlo-frame-layout: do not edit. What each\n"
           "// name means is written there.\n";
    unsigned n = 0;
#define ORLO_INDEX(name) field(#name, n++);
#define ORLO_VALUE(name, value) field(#name, value);
#define ORLO_RECORD(js, list, size)    \
    begin(js);                         \
    n = 0;                             \
    list(ORLO_INDEX) field(size, n);   \
    end();
    ORLO_RECORD("HEADER", ORLO_FRAME_HEADER, "WORDS")
    ORLO_RECORD("SPANS", ORLO_FRAME_SPANS, "COUNT")
    ORLO_RECORD("SPAN", ORLO_SPAN, "WORDS")
    ORLO_RECORD("WALK_ITEM", ORLO_WALK_ITEM, "WORDS")
    ORLO_RECORD("CHANGE_ITEM", ORLO_CHANGE_ITEM, "WORDS")
    ORLO_RECORD("NODE_ITEM", ORLO_NODE_ITEM, "WORDS")
    ORLO_RECORD("FIGURES", ORLO_FIGURES, "WORDS")
#define ORLO_ENUM(js, list) \
    begin(js);              \
    list(ORLO_VALUE) end();
    ORLO_ENUM("TYPE", ORLO_FRAME_TYPE)
    ORLO_ENUM("KIND", ORLO_FRAME_KIND)
    ORLO_ENUM("FLAG", ORLO_FRAME_FLAG)
    ORLO_ENUM("WALK_HOW", ORLO_WALK_HOW)
    ORLO_ENUM("CHANGE_WHAT", ORLO_CHANGE_WHAT)
    ORLO_ENUM("NODE_KIND", ORLO_NODE_KIND)
    ORLO_ENUM("LIMITS", ORLO_FRAME_LIMITS)
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
