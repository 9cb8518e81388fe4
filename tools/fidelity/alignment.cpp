#include "alignment.h"

#include "scansim.h"

#include <math.h>
#include <algorithm>

namespace fidelity {

namespace {

enum : int { SEARCH_REACH = 150, FINE_MARGIN = 12, FINE_PASSES = 3 }; // card units, passes
const double kHalfMark = SCANSIM_MARK_SIZE / 2.0;

struct Point {
    double x = 0, y = 0;
};

Region MarkWindow(const Placement& p, const Image& image, int m, double reach)
{
    return CardRect(p, image, SCANSIM_MARK_X[m] - reach, SCANSIM_MARK_Y[m] - reach, SCANSIM_MARK_X[m] + reach,
                    SCANSIM_MARK_Y[m] + reach);
}

// Centroid of the pixels darker than halfway between the window's extremes.
bool DarkCentroid(const Image& image, const Region& w, Point* c)
{
    double lo = 255, hi = 0;
    for (int y = w.y0; y < w.y1; ++y)
        for (int x = w.x0; x < w.x1; ++x)
            lo = std::min(lo, image.level(x, y)), hi = std::max(hi, image.level(x, y));
    if (w.empty() || hi - lo < 40)
        return false;
    double sx = 0, sy = 0, n = 0;
    for (int y = w.y0; y < w.y1; ++y)
        for (int x = w.x0; x < w.x1; ++x)
            if (image.level(x, y) < (lo + hi) / 2)
                sx += x + 0.5, sy += y + 0.5, n += 1;
    c->x = sx / n, c->y = sy / n;
    return true;
}

// Centroid weighted by darkness between the window border's level and the darkest
// pixel: partly covered pixels count in proportion, so it is finer than a pixel.
bool WeightedCentroid(const Image& image, const Region& w, Point* c)
{
    double border = 0, lo = 255, count = 0;
    for (int y = w.y0; y < w.y1; ++y)
        for (int x = w.x0; x < w.x1; ++x) {
            const double v = image.level(x, y);
            lo = std::min(lo, v);
            if (y == w.y0 || y == w.y1 - 1 || x == w.x0 || x == w.x1 - 1)
                border += v, count += 1;
        }
    border /= count;
    if (border - lo < 20)
        return false;
    double sx = 0, sy = 0, sw = 0;
    for (int y = w.y0; y < w.y1; ++y)
        for (int x = w.x0; x < w.x1; ++x) {
            const double weight = std::min(1.0, std::max(0.0, (border - image.level(x, y)) / (border - lo)));
            sx += weight * (x + 0.5), sy += weight * (y + 0.5), sw += weight;
        }
    c->x = sx / sw, c->y = sy / sw;
    return true;
}

} // namespace

MarkFit FitMarks(const Image& scan, int dpi)
{
    MarkFit fit;
    Placement p;
    p.ratio = 600.0 / dpi;
    double sx = 0, sy = 0;
    for (int m = 0; m < SCANSIM_MARK_COUNT; ++m) {
        Point c;
        if (!DarkCentroid(scan, MarkWindow(p, scan, m, kHalfMark + SEARCH_REACH / 2), &c))
            return fit;
        sx += SCANSIM_MARK_X[m] - c.x * p.ratio;
        sy += SCANSIM_MARK_Y[m] - c.y * p.ratio;
    }
    p.x0 = sx / SCANSIM_MARK_COUNT, p.y0 = sy / SCANSIM_MARK_COUNT;

    Point offset[SCANSIM_MARK_COUNT];
    for (int pass = 0; pass < FINE_PASSES; ++pass) {
        Point mean;
        for (int m = 0; m < SCANSIM_MARK_COUNT; ++m) {
            const Region w = MarkWindow(p, scan, m, kHalfMark + FINE_MARGIN + 2 * p.ratio);
            const Image truth = RenderTruth(SCANSIM_CARD_FIDUCIAL, p, w);
            Point s, t;
            if (truth.width == 0 || !WeightedCentroid(scan, w, &s) ||
                !WeightedCentroid(truth, Region{0, 0, truth.width, truth.height}, &t))
                return fit;
            offset[m].x = s.x - (t.x + w.x0), offset[m].y = s.y - (t.y + w.y0);
            mean.x += offset[m].x / SCANSIM_MARK_COUNT, mean.y += offset[m].y / SCANSIM_MARK_COUNT;
        }
        p.x0 -= mean.x * p.ratio, p.y0 -= mean.y * p.ratio;
        fit.worstError = 0;
        for (const Point& o : offset)
            fit.worstError = std::max(fit.worstError, hypot(o.x - mean.x, o.y - mean.y));
    }
    fit.found = true;
    fit.placement = p;
    return fit;
}

} // namespace fidelity
