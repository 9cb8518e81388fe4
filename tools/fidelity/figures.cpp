#include "figures.h"

#include <math.h>
#include <algorithm>
#include <vector>

namespace fidelity {

namespace {

const double kLuminance[3] = {0.299, 0.587, 0.114};
const double kUndecidedBand = 0.02; // of white, around the threshold of a binary scan
enum : int { STEP_INSET = 20, PATCH_INSET = 20, PATCH_GAP = 12, EDGE_OUTSIDE = 4 }; // card units, pixels

double RegionMean(const Image& image, const Region& r, int c)
{
    double sum = 0;
    for (int y = r.y0; y < r.y1; ++y)
        for (int x = r.x0; x < r.x1; ++x)
            sum += image.at(x, y, c);
    return r.empty() ? 0 : sum / double(r.area());
}

double RegionLevel(const Image& image, const Region& r)
{
    double sum = 0;
    for (int c = 0; c < image.channels; ++c)
        sum += RegionMean(image, r, c);
    return sum / image.channels;
}

// 10-90 % rise of an edge in a profile running from outside the mark to its centre;
// negative when the profile shows no edge.
double Rise(const std::vector<double>& v)
{
    if (v.size() < 4)
        return -1;
    const double white = (v[0] + v[1]) / 2, black = v.back(), span = white - black;
    if (span < 40)
        return -1;
    auto crossing = [&](double level) {
        for (size_t i = 1; i < v.size(); ++i)
            if (v[i] < level)
                return double(i - 1) + (v[i - 1] - level) / (v[i - 1] - v[i]);
        return -1.0;
    };
    const double p10 = crossing(white - 0.1 * span), p90 = crossing(white - 0.9 * span);
    return p10 < 0 || p90 < 0 ? -1 : p90 - p10;
}

// Profile through a mark's centre from `from` towards it, each sample the mean of the
// mark's middle half across the profile. `across`: along a row.
std::vector<double> Profile(const Image& image, double cx, double cy, double half, bool across, int from)
{
    const double centre = across ? cx : cy, side = across ? cy : cx;
    const int lo = int(ceil(side - half / 2)), hi = int(floor(side + half / 2));
    const int to = int(floor(centre)), step = from < to ? 1 : -1;
    const int limit = across ? image.width : image.height, otherLimit = across ? image.height : image.width;
    std::vector<double> v;
    if (from < 0 || from >= limit || to < 0 || to >= limit || lo < 0 || hi >= otherLimit || hi < lo)
        return v;
    for (int i = from; i != to + step; i += step) {
        double sum = 0;
        for (int k = lo; k <= hi; ++k)
            sum += across ? image.level(i, k) : image.level(k, i);
        v.push_back(sum / (hi - lo + 1));
    }
    return v;
}

} // namespace

double FlatFigures::channelSpread() const
{
    const double* end = mean + channels;
    return *std::max_element(mean, end) - *std::min_element(mean, end);
}

double FlatFigures::whitePoint() const
{
    double sum = 0;
    for (int c = 0; c < channels; ++c)
        sum += mean[c];
    return sum / channels;
}

FlatFigures MeasureFlat(const Image& scan, const Region& inside)
{
    FlatFigures f;
    if (inside.empty())
        return f;
    f.measured = true;
    f.channels = scan.channels;
    long clipped = 0;
    for (int y = inside.y0; y < inside.y1; ++y)
        for (int x = inside.x0; x < inside.x1; ++x)
            for (int c = 0; c < scan.channels; ++c)
                if (scan.at(x, y, c) == 255) {
                    ++clipped;
                    break;
                }
    f.clipped = 100.0 * clipped / double(inside.area());
    for (int c = 0; c < scan.channels; ++c) {
        std::vector<double> columns;
        for (int x = inside.x0; x < inside.x1; ++x)
            columns.push_back(RegionMean(scan, Region{x, inside.y0, x + 1, inside.y1}, c));
        double mean = 0, square = 0;
        for (double m : columns)
            mean += m / columns.size();
        for (double m : columns)
            square += (m - mean) * (m - mean) / columns.size();
        f.mean[c] = mean;
        f.columnSpread = std::max(f.columnSpread, sqrt(square));
        f.columnRange = std::max(f.columnRange, *std::max_element(columns.begin(), columns.end()) -
                                                    *std::min_element(columns.begin(), columns.end()));
    }
    return f;
}

Image ExpectedImage(const Image& truth, int channels, double cardWhite, double white, bool binary)
{
    Image out(truth.width, truth.height, channels);
    const double scale = white / cardWhite;
    for (int y = 0; y < truth.height; ++y)
        for (int x = 0; x < truth.width; ++x)
            for (int c = 0; c < channels; ++c) {
                double v = 0;
                if (channels == 3)
                    v = truth.at(x, y, c);
                else
                    for (int k = 0; k < 3; ++k)
                        v += kLuminance[k] * truth.at(x, y, k);
                v *= scale;
                if (binary)
                    v = fabs(v - white / 2) < kUndecidedBand * white ? UNDECIDED : v > white / 2 ? 255 : 0;
                out.at(x, y, c) = uint8_t(std::min(255.0, v + 0.5));
            }
    return out;
}

RampFigures MeasureRamp(const Image& scan, const Image& expected, const Placement& p, bool binary)
{
    RampFigures f;
    f.smallestStep = 255;
    int decided = 0;
    for (int k = 0; k < SCANSIM_RAMP_STEPS; ++k) {
        const double x = SCANSIM_RAMP_X + k * SCANSIM_RAMP_STEP_W;
        const Region r = CardRect(p, scan, x + STEP_INSET, SCANSIM_RAMP_Y + STEP_INSET,
                                  x + SCANSIM_RAMP_STEP_W - STEP_INSET, SCANSIM_RAMP_Y + SCANSIM_RAMP_H - STEP_INSET);
        f.scan[k] = RegionLevel(scan, r);
        f.expected[k] = RegionLevel(expected, r);
        if (k > 0)
            f.smallestStep = std::min(f.smallestStep, f.scan[k] - f.scan[k - 1]);
        if (binary && f.expected[k] == UNDECIDED)
            continue;
        const double error = fabs(f.scan[k] - f.expected[k]);
        f.meanError += error;
        f.worstError = std::max(f.worstError, error);
        ++decided;
    }
    f.meanError /= std::max(decided, 1);
    return f;
}

double MeanAbsoluteError(const Image& scan, const Image& expected, const Region& inside, bool binary)
{
    double sum = 0, count = 0;
    for (int y = inside.y0; y < inside.y1; ++y)
        for (int x = inside.x0; x < inside.x1; ++x)
            for (int c = 0; c < scan.channels; ++c)
                if (!binary || expected.at(x, y, c) != UNDECIDED) {
                    sum += fabs(double(scan.at(x, y, c)) - expected.at(x, y, c));
                    count += 1;
                }
    return count > 0 ? sum / count : 0;
}

PatchFigures MeasurePatches(const Image& scan, const Placement& p)
{
    PatchFigures f;
    for (int k = 0; k < SCANSIM_PATCH_COUNT; ++k) {
        const double x = SCANSIM_PATCH_X + k * SCANSIM_PATCH_W;
        const Region r = CardRect(p, scan, x + PATCH_INSET, SCANSIM_PATCH_Y + PATCH_INSET,
                                  x + SCANSIM_PATCH_W - PATCH_GAP - PATCH_INSET,
                                  SCANSIM_PATCH_Y + SCANSIM_PATCH_H - PATCH_INSET);
        const Image truth = RenderTruth(SCANSIM_CARD_FIDUCIAL, p, r);
        if (truth.width == 0)
            continue;
        double lowestStrong = 255, highestWeak = 0;
        for (int c = 0; c < 3; ++c) {
            f.mean[k][c] = RegionMean(scan, r, c);
            if (RegionMean(truth, Region{0, 0, truth.width, truth.height}, c) > 127)
                lowestStrong = std::min(lowestStrong, f.mean[k][c]);
            else
                highestWeak = std::max(highestWeak, f.mean[k][c]);
        }
        if (lowestStrong > highestWeak)
            ++f.kept;
    }
    return f;
}

EdgeFigures MeasureEdges(const Image& image, const Placement& p)
{
    EdgeFigures f;
    double sum[2] = {0, 0};
    int count[2] = {0, 0};
    const double half = SCANSIM_MARK_SIZE / 2.0 / p.ratio;
    for (int m = 0; m < SCANSIM_MARK_COUNT; ++m) {
        const double cx = p.column(SCANSIM_MARK_X[m]), cy = p.row(SCANSIM_MARK_Y[m]);
        for (int across = 0; across < 2; ++across) {
            const double centre = across ? cx : cy;
            for (int side = -1; side <= 1; side += 2) {
                const int from = int(floor(centre + side * (half + EDGE_OUTSIDE)));
                const double rise = Rise(Profile(image, cx, cy, half, across == 1, from));
                if (rise >= 0)
                    sum[across] += rise, ++count[across];
            }
        }
    }
    if (count[0] == 0 || count[1] == 0)
        return f;
    f.measured = true;
    f.across = sum[1] / count[1];
    f.along = sum[0] / count[0];
    return f;
}

} // namespace fidelity
