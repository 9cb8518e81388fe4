// Operations that each open the scanner, work and close it again: the device lock,
// presence, sensor variant, paper sensor, buttons and the feed-out.
#pragma once

#include "transport.h"
#include "wren_state.h"

namespace wren {

// The device to work on: the locked one while the lock is held, else the first
// accepted device no other process holds.
Link OpenWorkDevice(ModuleState& m, platform::UsbDescriptor* descriptor = nullptr);

// IO_START_READY, IO_START_BUSY or IO_START_NO_SCANNER.
int TakeDeviceLock(ModuleState& m);
void ReleaseDeviceLock(ModuleState& m);

int ReadSensorVariant(const Link& h); // programs a standard scan and reads the variant bits
int PaperPresent(ModuleState& m);
int ButtonPressed(ModuleState& m, int button);

// Feeds the sheet out; `value` is the caller's feed value (0: always eject).
// 0 when the sheet did not leave the paper sensor in time.
int FeedOut(ModuleState& m, int value);
// The same on an open device.
int FeedOutOn(const Link& h, int variant, int value);

// Moves `steps` motor steps with a short scan of one line (feeds during calibration).
bool FeedSteps(const Link& h, int variant, int steps);

} // namespace wren
