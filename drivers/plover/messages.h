// Messages to the user go through the platform's message service (on Windows a
// message box, or the hook a test sets).
#pragma once

#include "plover_state.h"

namespace plover {

// Shows `text` with an OK button; returns the answer.
int Tell(const PloverState& s, const char* text, const char* caption);
// The notice before a calibration the driver runs by itself.
int TellCalibrationNeeded(const PloverState& s);

} // namespace plover
