// Page size and chip window of a settings record.
#include "page_geometry.h"

#include <algorithm>

namespace plover {

namespace {

// The right edge of a black-and-white card (1/100 inch).
const int CARD_RIGHT_BW = 216;

struct DividerEntry { int dpi; int code; };
// Resolutions the chip makes, with their horizontal divider codes.
const DividerEntry kDividers[] = {
    {50, 7}, {75, 6}, {100, 5}, {150, 4}, {200, 3}, {300, 2}, {400, 1}, {600, 0},
};

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

} // namespace

int DividerCode(int dpi)
{
    for (const DividerEntry& d : kDividers)
        if (d.dpi == dpi)
            return d.code;
    return -1;
}

int BytesPerLine(int mode, int width)
{
    if (mode == MODE_BW || mode == MODE_HALFTONE)
        return width / 8;
    if (mode == MODE_COLOR)
        return width * 3;
    return width;
}

bool ComputePage(const ScanSettings& s, bool preview, PageGeometry* page)
{
    PageGeometry p;
    if (s.mode < MODE_GRAY || s.mode > MODE_COLOR)
        return false;
    p.mode = s.mode == MODE_HALFTONE ? int(MODE_BW) : int(s.mode);
    p.dpi = s.resolution;
    if (DividerCode(p.dpi) < 0)
        return false;
    p.left = Clamp(s.left, 0, BED_WIDTH);
    p.right = Clamp(s.right, 0, BED_WIDTH);
    p.top = Clamp(s.top, 0, BED_HEIGHT);
    p.bottom = Clamp(s.bottom, 0, BED_HEIGHT);
    int content = (p.right - p.left) * p.dpi / 100;
    p.height = (p.bottom - p.top) * p.dpi / 100;
    if (content <= 0 || p.height <= 0)
        return false;
    if (preview) {
        p.width = content / 8 * 8;
        if (p.width == 0)
            return false;
    } else {
        p.width = (content + 3) / 4 * 4;
        if (p.mode == MODE_BW)
            p.width = (p.width + 31) / 32 * 32;
    }
    p.wideCcd = p.width * SENSOR_DPI / p.dpi;
    // The reversed block shows the window's last sensor pixel at the image's left, and
    // sensor pixel a sees the card at 1320 - a: place the window so that output
    // column 0 sees the area's left edge and any padding falls past its right edge.
    p.windowStart = BED_WIDTH * STEPS_PER_HUNDREDTH - p.left * STEPS_PER_HUNDREDTH - p.wideCcd;
    p.windowStart = std::max(p.windowStart, -int(FIRST_ACTIVE_PIXEL));
    p.colorFactor = p.mode == MODE_GRAY || p.mode == MODE_BW ? 1 : 3;
    *page = p;
    return true;
}

PageGeometry CardPage(int dpi, bool blackAndWhite, int* bytesPerLine)
{
    PageGeometry p;
    p.mode = MODE_GRAY;
    p.dpi = dpi;
    p.right = blackAndWhite ? CARD_RIGHT_BW : BED_WIDTH;
    p.bottom = BED_HEIGHT;
    p.wideCcd = p.right * SENSOR_DPI / 100;
    int bytes = p.wideCcd * dpi / SENSOR_DPI;
    if (blackAndWhite) {
        bytes = bytes / 32 * 32;
        p.wideCcd = bytes * SENSOR_DPI / dpi;
    }
    *bytesPerLine = bytes;
    return p;
}

} // namespace plover
