// A sheet in the paper path: a reflectance image (0..255 per channel = 0..1) at a
// known resolution, top-down, red-green-blue. Built-in test cards and BMP files.
#pragma once

#include <stdint.h>
#include <string>
#include <vector>

namespace scansim {

const double kBackingReflectance = 0.04; // the dark plate behind the paper path

struct Sheet {
    int width = 0;  // pixels
    int height = 0; // rows
    int dpi = 600;
    std::vector<uint8_t> rgb; // width * height * 3

    // Reflectance at a point given in 1/600 inch from the top-left corner; false outside.
    bool reflectance(int x600, int y600, double out[3]) const;
    int heightSteps() const { return height * 600 / dpi; }
};

// SCANSIM_CARD_* of scansim.h; false for an unknown card.
bool makeCard(int card, Sheet& out);

// The sheet as a scanner sees it at `dpi`: 8-bit reflectance, red-green-blue, top-down;
// pixel (i, j) is the mean over the square of 600 / dpi sheet units (1/600 inch) from
// (x0 + i * 600 / dpi, y0 + j * 600 / dpi), the backing where it lies off the sheet.
void renderTruth(const Sheet& sheet, double dpi, double x0, double y0, int width, int height, uint8_t* rgb);

// Uncompressed 24-bit or 8-bit palette BMP; the resolution comes from the file (600 if none).
bool loadBmp(const char* path, Sheet& out, std::string& error);

} // namespace scansim
