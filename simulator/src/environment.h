// Configuration from the environment, so that a demo runs without code:
// SCANSIM_DEVICES, SCANSIM_SHEET and SCANSIM_FAULTS (formats in scansim.h). It applies
// once, at the first io or status call, unless the control API was used before.
#pragma once

namespace scansim {

void configureFromEnvironment();
// A control call takes over: the environment no longer applies.
void ignoreEnvironment();

} // namespace scansim
