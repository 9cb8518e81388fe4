// The drivers' image blocks as SANE lines. A block holds whole driver lines, each
// padded to 4 bytes, bottom-up within the block (blocks come from the top of the
// page); colour pixels are blue-green-red. SANE wants lines top-down, colour as
// red-green-blue, no padding, and Lineart with 1 = black. Brightness and contrast
// (Color, Gray) and the threshold (Lineart, scanned in gray) are applied here, and a
// first column that is no image (plover's) is given the second column's pixels.
#pragma once

#include "options.h"

#include <stddef.h>
#include <stdint.h>

namespace kestrel_sane {

struct LineLayout {
    ScanMode mode;
    int driverWidth;  // pixels of a driver line
    int stride;       // bytes of a driver line
    int pixels;       // pixels of a SANE line (at most driverWidth)
    int bytesPerLine; // bytes of a SANE line
    uint8_t tone[256];
    int threshold;    // Lineart: a gray value below it is black
    bool mendFirstColumn;
};

LineLayout MakeLayout(ScanMode mode, int driverWidth, int pixels, int brightness, int contrast, int threshold,
                      bool firstColumnNotImage);

// `lines` driver lines of a block into as many SANE lines at `out` (the block is
// mended in place).
void ConvertBlock(const LineLayout& layout, uint8_t* block, int lines, uint8_t* out);

// One SANE line of white, for lines a page did not deliver.
void WhiteLine(const LineLayout& layout, uint8_t* out);

// The tone of the brightness and contrast options (-100..100 each; 0 and 0 change nothing).
void MakeTone(int brightness, int contrast, uint8_t tone[256]);

} // namespace kestrel_sane
