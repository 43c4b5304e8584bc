// How values are written: exactly as std::ostream's operator<< writes them
// with default flags in the classic locale (integers in decimal, doubles in
// the %g form with six significant digits, strings byte for byte).
#pragma once

#include <string>
#include <string_view>

namespace orlo {

void appendValue(std::string& out, int value);
void appendValue(std::string& out, double value);
inline void appendValue(std::string& out, std::string_view value) { out.append(value); }

}  // namespace orlo
