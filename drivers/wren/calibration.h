// The calibration procedure and the record file it stores.
#pragma once

#include "calibration_record.h"
#include "transport.h"
#include "wren_state.h"

namespace wren {

enum : int { PAPER_SOURCE_FEEDER = 1000, PAPER_SOURCE_QUICK = 1001 };

// Measures into `r` on the open device; false when a measurement failed.
bool RunCalibration(ModuleState& m, const Link& h, int paperSource, CalibrationRecord& r);

// The whole IO_CalibrateScanner: 1 when a calibration was stored, else 0.
int CalibrateAndStore(ModuleState& m, int paperSource);

} // namespace wren
