// Fixed tables: output curves, halftone matrices, and the tone table arithmetic.
#pragma once

#include <stdint.h>

namespace wren {

// Output curve of a sensor variant: 1 the square-root curve, 0 the tuned curve.
const uint8_t* OutputCurve(int variant);

struct HalftonePattern {
    const char* name;
    int width, height;
    const uint8_t* cells; // row by row
};
enum : int { HALFTONE_COUNT = 3 };
extern const HalftonePattern kHalftones[HALFTONE_COUNT];

// One channel's tone table from its five adjustment words.
void BuildToneTable(uint8_t table[256], int brightness, int contrast, int gamma, int highlight, int shadow);
bool IsNeutralTone(int brightness, int contrast, int gamma, int highlight, int shadow);

// Fills the 64 KB division table: [v * 256 + w] = min(255, v * 255 / w), column 0 left 0.
void FillDivisionTable(uint8_t* table);

} // namespace wren
