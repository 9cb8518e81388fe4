// Sensor geometry and the per-pixel response of each device kind. The tables are
// data; the line engine reads them.
#pragma once

#include <stdint.h>
#include <vector>

namespace scansim {

enum class Kind { Ccd, Cis0, Cis1 };

struct SensorGeometry {
    int positionOffset;  // register position of sensor pixel 0 (positions below are shielded)
    int pixelCount;      // sensor pixels
    int sheetOrigin;     // sensor pixel that sees the card's left edge (x = 0)
    bool faceDown;       // the card passes face down: sensor pixels ascend from its right edge
    bool ccdLineRule;    // (end - start + 2) / ratio pixels, else (end - start) / ratio, even, + 2
    bool serialDelay;    // lines leave shifted by 8 - (bits per pixel) bits, see line_engine.cpp
    bool ledPerColour;   // three separately timed LEDs; otherwise one lamp on the blue timing
    double lightPerPeriod; // signal in 8-bit levels per LED pixel period at reflectance 1
    double ledShare[3];  // share of each LED in a line lit by all of them (sums to 1)
    double darkBase, darkSpread;
    double sensBase, sensSpread;
    uint64_t seed;
};

const SensorGeometry& geometryOf(Kind kind);

// Per-pixel dark level (8-bit levels) and sensitivity, drawn from the kind's fixed seed.
// Deliberately uneven: a slow ripple, random spread, and a few much weaker columns.
struct PixelResponse {
    std::vector<float> dark;
    std::vector<float> sensitivity;
};

PixelResponse makePixelResponse(Kind kind);

// Small deterministic noise in [-amplitude, amplitude] for a (line, pixel) pair.
double pixelNoise(uint64_t line, int pixel, double amplitude);

// Analog stage codes: gain code 16 is unity; offset codes 32-62 are negative (code - 31).
double analogGain(uint8_t code);
double analogOffset(uint8_t code);

} // namespace scansim
