// Whole pages through plover's core page calls, for the tests of damaged files in
// both tiers: a page of the fiducial card and how far two pages differ.
#pragma once

#include "driver_functions.h"
#include "scansim.h"

#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

namespace plovertest {

// A whole 150-dpi gray page of the fiducial card; empty when the page failed.
inline std::vector<uint8_t> ScanFiducialPage(plover::PloverState& state)
{
    scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
    ScanSettings s = {};
    s.mode = MODE_GRAY;
    s.resolution = 150;
    s.adjust[0].gamma = 10;
    s.adjust[0].highlight = 255;
    s.right = 220;
    s.bottom = 360;
    int w = 0, h = 0;
    if (plover::StartScanPage(state, &s, &w, &h) != 1 || w <= 0 || h <= 0)
        return {};
    const int lineBytes = (w + 3) / 4 * 4;
    std::vector<uint8_t> page(size_t(lineBytes) * h);
    int lines = 0;
    while (lines < h) {
        const short got = plover::GetImageBlock(state, page.data() + size_t(lines) * lineBytes,
                                                short(std::min(64, h - lines)), w);
        if (got == IO_PAGE_ENDED)
            break;
        if (got <= 0) {
            page.clear();
            break;
        }
        lines += got;
    }
    plover::EndScanPage(state);
    return page;
}

// Mean absolute difference of two pages of one card (the sensor adds a little noise).
inline double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

// Bytes of a damaged file: a pattern no calibration writes.
inline std::vector<uint8_t> Garbage(size_t bytes)
{
    std::vector<uint8_t> garbage(bytes);
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = uint8_t(i * 37 + 11);
    return garbage;
}

} // namespace plovertest
