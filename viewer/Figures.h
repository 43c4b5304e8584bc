// What a tree holds and how deep its leaves lie, worked out by walking the
// whole tree, for orlo-dot's drawing and --stats. (The page cannot walk the
// tree at every step: its session keeps the same figures up to date from
// each update's report, web/session/TreeShape.h, and its tests hold them
// to orlo-dot --stats.)
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bstset/BSTSET.h"

namespace orlo {

/// Depths count the root as 1.
struct TreeFigures {
    long distinct = 0;          // leaves
    long long occurrences = 0;  // multiplicities added up
    long routing = 0;           // routing nodes
    int height = 0;             // levels: the deepest leaf's depth
    double averageLeafDepth = 0;
    std::vector<long> leavesAtDepth;  // [d]: leaves at depth d; [0] unused
    std::vector<long> nodesAtDepth;   // [d]: nodes of either kind at depth d
};

template <typename T>
TreeFigures figuresOf(const BSTSET<T>& set) {
    TreeFigures f;
    long long depthSum = 0;
    set.visit([&](const typename BSTSET<T>::NodeView& node) {
        const auto d = static_cast<std::size_t>(node.depth);
        if (f.nodesAtDepth.size() <= d) {
            f.nodesAtDepth.resize(d + 1, 0);
            f.leavesAtDepth.resize(d + 1, 0);
        }
        ++f.nodesAtDepth[d];
        if (!node.leaf) {
            ++f.routing;
            return;
        }
        ++f.distinct;
        ++f.leavesAtDepth[d];
        f.occurrences += node.count;
        depthSum += node.depth;
        if (node.depth > f.height) f.height = node.depth;
    });
    if (f.distinct != 0) f.averageLeafDepth = static_cast<double>(depthSum) / static_cast<double>(f.distinct);
    return f;
}

/// The figures in one line, for a graph label.
std::string figuresLine(const TreeFigures& f);

/// The figures as lines of text: "name: value", then the leaves at each
/// depth (orlo-dot --stats).
std::vector<std::string> figuresText(const TreeFigures& f);

}  // namespace orlo
