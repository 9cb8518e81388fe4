// White balance of colour pages. In colour each channel is lit by its own LED, while the
// pixel gains are measured with all LEDs together, so the three channels of white paper
// land at different levels, and the pixels the white reference saturated read high.
// Calibration measures each LED alone on the white card, finds the LED windows that
// bring the channels to one white level below clipping and, per channel and sensor
// pixel, the gain correction that brings every pixel to that level; both are kept in a
// file of their own beside the shading files. Gray and black-and-white pages, and colour
// pages without a sound file, keep the "LedTime Z3" times and the gray gains.
#pragma once

#include "plover_state.h"

namespace plover {

// LED on and off times of red, green and blue, as registers 0x2C-0x37 take them.
struct LedTimes {
    uint16_t on[3];
    uint16_t off[3];
};

// A colour page's balance as the file keeps it.
struct WhiteBalance {
    LedTimes led;
    bool corrected = false; // an older file holds the LED times only
    uint16_t gainCorrection[3][SHADING_WORDS]; // per sensor pixel, GAIN_UNITY = 1.0
};

// Measures the balanced LED times and gain corrections on the white card in the feeder
// (calibration's chip set-up, identity gamma) and keeps them; false when the image data
// did not arrive. Channels that cannot be balanced leave no file.
bool MeasureWhiteBalance(PloverState& s);
// Removes the kept balance: it belongs to the exposure and gains it was measured with.
void ForgetWhiteBalance(PloverState& s);
// The balance of a colour page from the file; false for other pages and when the file
// is missing or not sound (then nothing of it applies).
bool LoadWhiteBalance(const PloverState& s, WhiteBalance* balance);
void SetLedTimes(lm9831::RegisterImage& r, const LedTimes& t);

} // namespace plover
