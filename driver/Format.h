// How values are written: exactly as std::ostream's operator<< writes them
// with default flags in the classic locale (integers in decimal, doubles in
// the %g form with six significant digits, strings byte for byte).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orlo {

/// The most characters an int takes in decimal: "-2147483648".
constexpr std::size_t kIntChars = 11;

/// Writes value in decimal at `at`; returns the end of what it wrote.
char* formatInt(char* at, int value);

void appendValue(std::string& out, int value);
void appendValue(std::string& out, double value);
inline void appendValue(std::string& out, std::string_view value) { out.append(value); }

}  // namespace orlo
