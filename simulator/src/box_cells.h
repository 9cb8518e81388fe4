// How a pixel of the sensor or of an image averages the card: a box over unit cells.
#pragma once

#include <math.h>
#include <algorithm>
#include <utility>
#include <vector>

namespace scansim {

// Overlaps of [from, from + width) with the unit cells it touches.
inline void boxCells(double from, double width, std::vector<std::pair<int, double>>& cells)
{
    cells.clear();
    double to = from + width;
    for (int c = int(floor(from + 1e-9)); c < to - 1e-9; ++c) {
        double w = std::min<double>(to, c + 1) - std::max<double>(from, c);
        if (w > 1e-9)
            cells.push_back({c, w});
    }
}

} // namespace scansim
