// The driver functions besides the page scan and calibration, on the module's state;
// the export layer calls them with its one instance.
#pragma once

#include "wren_state.h"

namespace wren {

// The module's start: its file name (the product it stands for) and its 64 KiB
// division table, which the caller owns and keeps until Detach.
void Attach(ModuleState& m, const platform::Platform* os, const char* moduleFileName, const uint8_t* division);
// At process end other modules (the device seam's) may be gone already: then only the
// lock is let go, no device is spoken to.
void Detach(ModuleState& m, bool processEnding);

int HasScanner(ModuleState& m);
int HardwareCheck(ModuleState& m, char* model, char* interfaceType, char* attachment, char* versionMajor,
                  char* versionMinor, short* value1, short* value2, short* value3);
int ResolutionInfo(short* maximum, short* minimum, short* step);
int HalftonePatternNames(char* names, short* count);
int PatternData(int pattern, unsigned char* buffer, short* width, short* height);
int IsCapableOf(short capability);
void DriverName(char* name);

} // namespace wren
