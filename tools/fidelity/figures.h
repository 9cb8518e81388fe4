// The figures of one case: uniform cards inside their edges, and the fiducial card
// against what a faithful scan of it would show.
#pragma once

#include "card.h"
#include "scansim.h"

namespace fidelity {

struct FlatFigures {
    bool measured = false;
    int channels = 0;
    double mean[3] = {0, 0, 0};
    double clipped = 0;      // % of pixels with a channel at 255
    double columnSpread = 0; // standard deviation of the column means, worst channel
    double columnRange = 0;  // highest minus lowest column mean, worst channel
    double channelSpread() const; // highest minus lowest channel mean
    double whitePoint() const;    // the mean of the channel means
};
FlatFigures MeasureFlat(const Image& scan, const Region& inside);

// A faithful scan: the truth in the scan's channels (one channel: luminance) scaled so
// that the card's white (`cardWhite` in the truth) lands on `white`; with `binary`,
// black or white at half of `white`, and UNDECIDED where the truth lies too near that
// threshold for either to be wrong.
enum : uint8_t { UNDECIDED = 128 };
Image ExpectedImage(const Image& truth, int channels, double cardWhite, double white, bool binary);

struct RampFigures {
    double scan[SCANSIM_RAMP_STEPS] = {}, expected[SCANSIM_RAMP_STEPS] = {};
    double meanError = 0, worstError = 0; // |scan - expected| over the decided steps
    double smallestStep = 0; // least rise from a step to the next; 0 or less: steps merge or turn back
};
RampFigures MeasureRamp(const Image& scan, const Image& expected, const Placement& p, bool binary);

// Mean |scan - expected| over the channels of `inside`, undecided pixels of a binary
// expectation left out.
double MeanAbsoluteError(const Image& scan, const Image& expected, const Region& inside, bool binary);

struct PatchFigures {
    double mean[SCANSIM_PATCH_COUNT][3] = {};
    int kept = 0; // patches whose strong channels (as in the truth) all read above their weak ones
};
PatchFigures MeasurePatches(const Image& scan, const Placement& p);

// The 10-90 % rise of the marks' edges in pixels, averaged: across the sensor line (left
// and right edges) and along the feed (top and bottom edges).
struct EdgeFigures {
    bool measured = false;
    double across = 0, along = 0;
};
EdgeFigures MeasureEdges(const Image& image, const Placement& p);

} // namespace fidelity
