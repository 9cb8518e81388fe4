#include "parameters.h"

#include <math.h>

namespace kestrel_sane {

namespace {

int Hundredths(SANE_Fixed millimetres) { return int(lround(SANE_UNFIX(millimetres) / 0.254)); }

int ContentPixels(const PageRequest& r) { return (r.right - r.left) * r.dpi / 100; }
int ContentLines(const PageRequest& r) { return (r.bottom - r.top) * r.dpi / 100; }

// Neutral tone words: brightness, contrast, gamma 1.0, highlight, shadow.
const ChannelAdjust kNeutral = {0, 0, 10, 255, 0};
const int kDriverThreshold = 128;
// wren trims only the sheet's leading edge: the page has the lines asked for.
const int kTrimLeadingEdgeOnly = 1;

} // namespace

PageRequest RequestOf(const OptionSet& o)
{
    PageRequest r;
    r.mode = CurrentMode(o);
    // A preview is a quick look: the lowest resolution the driver scans.
    r.dpi = o.words[OPT_PREVIEW] ? o.resolutions[1] : o.words[OPT_RESOLUTION];
    r.left = Hundredths(o.words[OPT_TL_X]);
    r.top = Hundredths(o.words[OPT_TL_Y]);
    r.right = Hundredths(o.words[OPT_BR_X]);
    r.bottom = Hundredths(o.words[OPT_BR_Y]);
    r.brightness = o.words[OPT_BRIGHTNESS];
    r.contrast = o.words[OPT_CONTRAST];
    r.threshold = o.words[OPT_THRESHOLD];
    return r;
}

bool HasArea(const PageRequest& r) { return ContentPixels(r) > 0 && ContentLines(r) > 0; }

ScanSettings SettingsOf(const PageRequest& r)
{
    ScanSettings s = {};
    s.mode = int16_t(r.mode == ScanMode::Color ? MODE_COLOR : MODE_GRAY);
    s.resolution = int16_t(r.dpi);
    for (ChannelAdjust& a : s.adjust)
        a = kNeutral;
    s.trimEdge = kTrimLeadingEdgeOnly;
    s.threshold = kDriverThreshold;
    s.channel = ADJUST_ALL;
    s.left = int16_t(r.left);
    s.top = int16_t(r.top);
    s.right = int16_t(r.right);
    s.bottom = int16_t(r.bottom);
    return s;
}

SANE_Parameters ParametersOf(const PageRequest& r, int driverWidth, int driverHeight)
{
    SANE_Parameters p = {};
    int pixels = ContentPixels(r);
    if (driverWidth > 0 && driverWidth < pixels)
        pixels = driverWidth;
    p.pixels_per_line = pixels > 0 ? pixels : 0;
    p.lines = driverHeight > 0 ? driverHeight : (ContentLines(r) > 0 ? ContentLines(r) : 0);
    p.last_frame = SANE_TRUE;
    switch (r.mode) {
    case ScanMode::Color:
        p.format = SANE_FRAME_RGB;
        p.depth = 8;
        p.bytes_per_line = 3 * p.pixels_per_line;
        break;
    case ScanMode::Gray:
        p.format = SANE_FRAME_GRAY;
        p.depth = 8;
        p.bytes_per_line = p.pixels_per_line;
        break;
    case ScanMode::Lineart:
        p.format = SANE_FRAME_GRAY;
        p.depth = 1;
        p.bytes_per_line = (p.pixels_per_line + 7) / 8;
        break;
    }
    return p;
}

} // namespace kestrel_sane
