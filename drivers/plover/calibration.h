// Calibration (LED exposure, dark and white references into the shading files) and
// the shading download before every page.
#pragma once

#include "plover_state.h"

namespace plover {

// Loads the shading files, cuts and resamples them to the page and downloads them.
// Missing or damaged files give neutral tables, never stale or zero ones.
void FillCalibData(PloverState& s);

} // namespace plover
