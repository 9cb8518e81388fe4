// The chip set-up of a scan up to its start command, shared by the page scan and
// IO_Scan's card; the page scan adds the test table, its clock and the motor switch.
#pragma once

#include "plover_state.h"

namespace plover {

enum class ScanKind { Page, Card };

// Programs s.page: reset, start registers, gamma, mode, shading, window; then the
// register image, stop and scan.
void ProgramScan(PloverState& s, ScanKind kind);

} // namespace plover
