// Reading the fiducial card back from a scanned image: mark centroids, the gray
// ramp, the colour patches and the flatness of a white card, in output pixels.
#pragma once

#include "scansim.h"
#include "support/bmp_reader.h"

#include <math.h>
#include <algorithm>
#include <vector>

namespace cardcheck {

// Where the image starts on the card, in 1/600 inch, and how many 1/600 per pixel.
struct Placement {
    double originX = 0, originY = 0, ratio = 1;
    // Centre of the output pixel holding card point (x, y).
    double Column(double x) const { return (x - originX) / ratio - 0.5; }
    double Row(double y) const { return (y - originY) / ratio - 0.5; }
};

inline double Luminance(const DecodedBmp& b, int x, int y)
{
    return (b.Red(x, y) + b.Green(x, y) + b.Blue(x, y)) / 3.0;
}

struct Centroid {
    bool found = false;
    double x = 0, y = 0;
};

// Centroid of the dark pixels near an expected point (within 1.5 mark sizes).
inline Centroid DarkCentroid(const DecodedBmp& b, double cx, double cy, double ratio)
{
    Centroid c;
    int reach = int(SCANSIM_MARK_SIZE * 1.5 / ratio) + 1;
    double sx = 0, sy = 0;
    int count = 0;
    for (int y = int(cy) - reach; y <= int(cy) + reach; ++y)
        for (int x = int(cx) - reach; x <= int(cx) + reach; ++x)
            if (x >= 1 && y >= 0 && x < b.width && y < b.height && Luminance(b, x, y) < 80) {
                sx += x;
                sy += y;
                ++count;
            }
    double expected = (SCANSIM_MARK_SIZE / ratio) * (SCANSIM_MARK_SIZE / ratio);
    if (count > expected * 0.6 && count < expected * 1.6) {
        c.found = true;
        c.x = sx / count;
        c.y = sy / count;
    }
    return c;
}

// Every mark whose centre lies in the image: found, and within `tolerance` pixels of
// its place; returns a description of the first failure, empty when all hold.
inline std::string CheckMarks(const DecodedBmp& b, const Placement& p, double tolerance,
                              int* marksSeen)
{
    *marksSeen = 0;
    for (int k = 0; k < SCANSIM_MARK_COUNT; ++k) {
        double ex = p.Column(SCANSIM_MARK_X[k]), ey = p.Row(SCANSIM_MARK_Y[k]);
        double half = SCANSIM_MARK_SIZE / 2.0 / p.ratio;
        if (ex - half < 1 || ey - half < 0 || ex + half >= b.width || ey + half >= b.height)
            continue;
        Centroid c = DarkCentroid(b, ex, ey, p.ratio);
        char text[160];
        if (!c.found) {
            snprintf(text, sizeof text, "mark %d not found near %.1f,%.1f", k, ex, ey);
            return text;
        }
        if (fabs(c.x - ex) > tolerance || fabs(c.y - ey) > tolerance) {
            snprintf(text, sizeof text, "mark %d at %.2f,%.2f, expected %.2f,%.2f", k, c.x, c.y, ex, ey);
            return text;
        }
        ++*marksSeen;
    }
    return std::string();
}

// Mean of one channel (0 red, 1 green, 2 blue, 3 luminance) over a card rectangle.
inline double AreaMean(const DecodedBmp& b, const Placement& p, double x0, double y0, double x1,
                       double y1, int channel)
{
    double sum = 0;
    int count = 0;
    for (int y = int(ceil(p.Row(y0) + 1)); y <= int(floor(p.Row(y1) - 1)); ++y)
        for (int x = int(ceil(p.Column(x0) + 1)); x <= int(floor(p.Column(x1) - 1)); ++x) {
            if (x < 1 || y < 0 || x >= b.width || y >= b.height)
                continue;
            sum += channel == 0 ? b.Red(x, y) : channel == 1 ? b.Green(x, y)
                 : channel == 2 ? b.Blue(x, y) : Luminance(b, x, y);
            ++count;
        }
    return count ? sum / count : -1;
}

// Ramp step means, left to right.
inline std::vector<double> RampMeans(const DecodedBmp& b, const Placement& p)
{
    std::vector<double> means;
    for (int k = 0; k < SCANSIM_RAMP_STEPS; ++k) {
        double x0 = SCANSIM_RAMP_X + k * SCANSIM_RAMP_STEP_W;
        means.push_back(AreaMean(b, p, x0 + 16, SCANSIM_RAMP_Y + 40, x0 + SCANSIM_RAMP_STEP_W - 16,
                                 SCANSIM_RAMP_Y + SCANSIM_RAMP_H - 40, 3));
    }
    return means;
}

// Spread (max - min) of the column means of the middle rows, columns [first, last).
inline double ColumnSpread(const DecodedBmp& b, int first, int last)
{
    double lo = 1e9, hi = -1e9;
    for (int x = first; x < last; ++x) {
        double sum = 0;
        int n = 0;
        for (int y = b.height / 4; y < b.height * 3 / 4; ++y, ++n)
            sum += Luminance(b, x, y);
        lo = std::min(lo, sum / n);
        hi = std::max(hi, sum / n);
    }
    return hi - lo;
}

} // namespace cardcheck
