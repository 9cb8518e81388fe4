// The sensor's fixed geometry and the page a settings record asks for.
#pragma once

#include "io_driver.h"

namespace plover {

// Sensor geometry (600-dpi CCD), fixed.
enum : int {
    SENSOR_DPI = 600,
    SENSOR_PIXELS = 1344,     // pixels per sensor line (calibration width)
    FIRST_ACTIVE_PIXEL = 24,
    LINE_LENGTH = 1400,       // pixel periods per line
    BED_WIDTH = 220,          // 1/100 inch
    BED_HEIGHT = 360,
    STEPS_PER_HUNDREDTH = 6,  // 600 motor steps per inch
    PAPER_SENSOR_STEPS = 420  // paper sensor to scan line
};

// One page as the chip will scan it.
struct PageGeometry {
    int mode = MODE_GRAY;  // effective mode: halftone (3) is scanned as black and white (2)
    int dpi = 0;
    int left = 0, top = 0, right = 0, bottom = 0; // area clamped to the bed
    int width = 0;         // pixels per line delivered (padded)
    int height = 0;        // lines
    int wideCcd = 0;       // the window in sensor pixels
    int windowStart = 0;   // first sensor pixel of the window, from the first active pixel
    int colorFactor = 1;
};

// Horizontal divider code of a resolution; -1 when the chip cannot make it.
int DividerCode(int dpi);
// Page geometry of a settings record; false when the record asks for something the
// chip cannot scan (a resolution without a divider code, an empty area).
bool ComputePage(const ScanSettings& settings, bool preview, PageGeometry* page);
int BytesPerLine(int mode, int width);

// The card of IO_Scan: the whole bed in gray at `dpi`, its window narrowed to whole
// 32-pixel groups for black and white. *bytesPerLine: the gray line read.
PageGeometry CardPage(int dpi, bool blackAndWhite, int* bytesPerLine);

} // namespace plover
