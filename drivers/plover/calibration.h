// Calibration (LED exposure, dark and white references into the shading files) and
// the shading download before every page.
#pragma once

#include "plover_state.h"

namespace plover {

// Loads the shading files, cuts and resamples them to the page and downloads them.
// Missing or damaged files give neutral tables, never stale or zero ones. A colour
// page's gain corrections (per channel and sensor pixel, or null) scale the gains first.
void FillCalibData(PloverState& s, const uint16_t (*gainCorrection)[SHADING_WORDS]);

} // namespace plover
