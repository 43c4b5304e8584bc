// The figures as text; see Figures.h.
#include "Figures.h"

#include <cstdio>

namespace orlo {

namespace {

std::string twoDecimals(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", v);
    return text;
}

}  // namespace

std::string figuresLine(const TreeFigures& f) {
    return "distinct values " + std::to_string(f.distinct) + ", occurrences " + std::to_string(f.occurrences) +
           ", routing nodes " + std::to_string(f.routing) + ", height " + std::to_string(f.height) +
           ", leaf depth average " + twoDecimals(f.averageLeafDepth) + ", largest " + std::to_string(f.height);
}

std::vector<std::string> figuresText(const TreeFigures& f) {
    std::vector<std::string> lines = {
        "distinct values: " + std::to_string(f.distinct),
        "occurrences: " + std::to_string(f.occurrences),
        "routing nodes: " + std::to_string(f.routing),
        "height: " + std::to_string(f.height),
        "average leaf depth: " + twoDecimals(f.averageLeafDepth),
        "largest leaf depth: " + std::to_string(f.height),
    };
    for (int d = 1; d <= f.height; ++d) {
        lines.push_back("leaves at depth " + std::to_string(d) + ": " + std::to_string(f.leavesAtDepth[static_cast<std::size_t>(d)]));
    }
    return lines;
}

}  // namespace orlo
