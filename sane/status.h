// Every driver outcome the backend meets, turned into a SANE status here and nowhere
// else.
#pragma once

#include "driver_core.h"

#include <sane/sane.h>

namespace kestrel_sane {

enum class Outcome {
    NoScanner,          // the device is gone or cannot be opened
    Busy,               // another process holds the device
    NeedsCalibration,   // the driver wants a calibration first (the user runs it)
    NoPaper,            // the feeder is empty, or the page found no sheet
    PageRefused,        // the driver did not start a page with paper in the feeder
    NotAnswering,       // the device stopped answering in the middle
    NoMemory,
    Jammed,             // the sheet did not leave the feeder
    CalibrationFailed,  // a calibration with a sheet in the feeder measured nothing
    Cancelled,
};

SANE_Status StatusOf(Outcome outcome);
Outcome OutcomeOfBegin(BeginResult result);
// A failed IO_StartScanPage (0, -1 or IO_NO_MEMORY), knowing whether paper is in.
Outcome OutcomeOfStartPage(int result, bool paperOn);
// A failed IO_GetImageBlock; `firstBlock` when nothing of the page came yet.
Outcome OutcomeOfBlock(short result, bool firstBlock);
const char* TextOf(Outcome outcome);

} // namespace kestrel_sane
