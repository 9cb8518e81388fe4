// Finding the fiducial card's marks in a scanned image and checking that they lie
// where the card puts them relative to each other.
#pragma once

#include "scansim.h"

#include <gtest/gtest.h>

#include <functional>
#include <math.h>
#include <string>

namespace wrentest {

struct MarkPlace {
    bool found = false;
    double x = 0, y = 0;
};

// Centroid of the dark pixels (below 80) in a window around where mark m should be,
// with the card's top at row `top` and its left edge at column 0.
inline MarkPlace FindMark(const std::function<int(int, int)>& pixel, int width, int height, int dpi, int m,
                          double top)
{
    const double ex = SCANSIM_MARK_X[m] * dpi / 600.0, ey = SCANSIM_MARK_Y[m] * dpi / 600.0 + top;
    const int half = int(40 * dpi / 600.0) + 3;
    MarkPlace p;
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = int(ey) - half; y <= int(ey) + half; ++y)
        for (int x = int(ex) - half; x <= int(ex) + half; ++x)
            if (x >= 0 && y >= 0 && x < width && y < height && pixel(x, y) < 80) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++n;
            }
    if (n > 0) {
        p.found = true;
        p.x = sx / n;
        p.y = sy / n;
    }
    return p;
}

// Every mark found, and each within one output pixel of its place relative to mark 0.
// Returns the row of the card's top edge the marks imply.
inline double ExpectMarksInPlace(const std::function<int(int, int)>& pixel, int width, int height, int dpi,
                                 const std::string& what)
{
    MarkPlace first = FindMark(pixel, width, height, dpi, 0, 0.0);
    EXPECT_TRUE(first.found) << what << ": mark 0";
    if (!first.found)
        return 0;
    const double top = first.y - SCANSIM_MARK_Y[0] * dpi / 600.0;
    for (int m = 1; m < SCANSIM_MARK_COUNT; ++m) {
        MarkPlace p = FindMark(pixel, width, height, dpi, m, top);
        EXPECT_TRUE(p.found) << what << ": mark " << m;
        if (!p.found)
            continue;
        const double dx = (SCANSIM_MARK_X[m] - SCANSIM_MARK_X[0]) * dpi / 600.0;
        const double dy = (SCANSIM_MARK_Y[m] - SCANSIM_MARK_Y[0]) * dpi / 600.0;
        EXPECT_NEAR(dx, p.x - first.x, 1.0) << what << ": mark " << m << " across";
        EXPECT_NEAR(dy, p.y - first.y, 1.0) << what << ": mark " << m << " down";
    }
    return top;
}

} // namespace wrentest
