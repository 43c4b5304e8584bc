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
#define ORLO_RECORD(name, js, list, size, jsSize) \
    begin(#js);                                   \
    n = 0;                                        \
    list(ORLO_INDEX) field(#jsSize, n);           \
    end();
    ORLO_FRAME_RECORDS(ORLO_RECORD)
#define ORLO_ENUM(js, list) \
    begin(#js);             \
    list(ORLO_VALUE) end();
    ORLO_FRAME_ENUMS(ORLO_ENUM)
    return std::fwrite(out.data(), 1, out.size(), stdout) == out.size() && std::fflush(stdout) == 0 ? 0 : 1;
}
