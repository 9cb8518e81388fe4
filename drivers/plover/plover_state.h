// Everything plover keeps between calls, in one place. The module (or a test) owns
// the instance and hands it to every call.
#pragma once

#include "config.h"
#include "device.h"
#include "io_driver.h"
#include "page_geometry.h"
#include "platform.h"
#include "shading.h"

#include <stdint.h>
#include <vector>

namespace plover {

// Work tables of a shading download.
struct ShadingTables {
    uint16_t offsets[3][SHADING_WORDS];
    uint16_t gains[3][SHADING_WORDS];
    uint16_t colorOffsets[3 * SHADING_WORDS]; // the colour offset file as read
};

struct PloverState {
    const platform::Platform* platform = nullptr;
    Config config;
    Device device;
    // Two resolutions for a reason: the record taken last (IO_GetPageDimension takes
    // one too) sets the chip's start registers; the page programmed last its window.
    ScanSettings settings = {};
    PageGeometry page;
    int paperPolarity = 0, buttonPolarity = 1;
    bool firstFeed = true;
    bool preview = false;         // IO_GetPreviewResolution asked: the next page is a preview
    bool cardScanRunning = false; // IO_Scan runs; IO_AbortScan ends it
    int cardScanLines = 0;
    uint8_t tone[256] = {};       // the last table of IO_AdjustChannelValue
    uint8_t lineOffset[3] = {0, 0, 0}, lineGain[3] = {16, 16, 16};
    std::vector<uint8_t> received; // raw block plus the zero bytes past it
    ShadingTables shading;
};

} // namespace plover
