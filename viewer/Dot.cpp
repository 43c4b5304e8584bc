// How large Graphviz draws nodes, and the largest drawing it renders as a
// bitmap at full size; see Dot.h.
#include "Dot.h"

#include <algorithm>

namespace orlo {

namespace {

// Graphviz's defaults: 14-point text (a monospace character is 0.6 em
// wide, a line 1.2 em high), labels kept 0.11 by 0.055 inches from the
// edge, nodes at least 0.75 by 0.5 inches, an ellipse the text's box times
// the square root of two; 0.25 inches between nodes, 0.5 between levels.
// Bitmaps are drawn at 96 pixels per inch and Cairo's are at most 32,767
// pixels a side: larger drawings are scaled down until they fit.
constexpr double kChar = 14 * 0.6;
constexpr double kLine = 14 * 1.2;
constexpr double kNodeSep = 18, kRankSep = 36;
constexpr double kPixelsPerPoint = 96.0 / 72.0;
constexpr double kLargestSide = 32767 * 0.9;  // with room for the margins and the label

}  // namespace

NodeExtent nodeExtent(std::size_t chars, int lines, bool ellipse) {
    double width = static_cast<double>(chars) * kChar + 16;
    double height = lines * kLine + 8;
    if (ellipse) {
        width *= 1.4142;
        height *= 1.4142;
    }
    return {std::max(width, 54.0), std::max(height, 36.0)};
}

bool fitsBitmap(double width, long nodes, int levels, double levelHeight) {
    const double wide = (width + static_cast<double>(std::max(nodes - 1, 0L)) * kNodeSep) * kPixelsPerPoint;
    const double tall = levels * (levelHeight + kRankSep) * kPixelsPerPoint;
    return wide <= kLargestSide && tall <= kLargestSide;
}

}  // namespace orlo
