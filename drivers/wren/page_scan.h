// One page: settings corrections, set-up, reading and correcting raw lines, leading
// edge and sheet end, scaling, and the per-block tone, filter and inversion.
#pragma once

#include "io_driver.h"
#include "wren_state.h"

namespace wren {

// Copies and corrects the caller's record into the module, rebuilds the tone tables,
// and gives the page size (0 for an empty area); false when the page cannot be
// scanned (empty area, colour).
bool TakeSettings(ModuleState& m, const ScanSettings* caller, int* width, int* height);

int StartPage(ModuleState& m, const ScanSettings* caller, int* width, int* height);
short GetBlock(ModuleState& m, unsigned char* destination, short wanted, int width, int pageHeight);
void EndPage(ModuleState& m);

} // namespace wren
