// Configuration from the environment, so that a demo runs without code:
// SCANSIM_DEVICES, SCANSIM_SHEET and SCANSIM_FAULTS (formats in scansim.h). It applies
// once, at the first io or status call, unless the control API was used before.
#pragma once

#include <string>

namespace scansim {

// The three settings as text in the formats of scansim.h (null: none), sheets also as
// feeder stacks "0=white+fiducial".
struct ConfigText {
    const char* devices;
    const char* sheets;
    const char* faults;
};

// Applies every item it can; false with the first bad item named in `error`. The
// environment no longer applies afterwards. Not locked: call it under the simulator's
// lock or before any other thread uses the simulator.
bool configure(const ConfigText& text, std::string& error);

void configureFromEnvironment();
// A control call takes over: the environment no longer applies.
void ignoreEnvironment();

} // namespace scansim
