// White balance of colour pages. In colour each channel is lit by its own LED, while the
// pixel gains are measured with all LEDs together, so the three channels of white paper
// land at different levels. Calibration measures each LED alone on the white card and
// finds the LED windows that bring the channels to one white level below clipping; they
// are kept in a file of their own beside the shading files. Gray and black-and-white
// pages, and colour pages without a sound file, keep the "LedTime Z3" times.
#pragma once

#include "plover_state.h"

namespace plover {

// Measures the balanced LED times on the white card in the feeder (calibration's
// chip set-up, identity gamma) and keeps them; false when the image data did not
// arrive. Channels that cannot be balanced leave no file.
bool MeasureWhiteBalance(PloverState& s);
// Removes the kept times: they belong to the exposure they were measured with.
void ForgetWhiteBalance(PloverState& s);
// A colour page's LED times from the file, when it holds sound ones.
void ApplyWhiteBalance(PloverState& s);

} // namespace plover
