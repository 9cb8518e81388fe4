// Operations that each open the scanner, work and close it again: the device lock,
// presence, sensor variant, paper sensor, buttons and the feed-out.
#pragma once

#include "transport.h"

namespace wren {

// The device to work on: the locked one while the lock is held, else the first
// accepted device no other process holds.
HANDLE OpenWorkDevice(DeviceInfo* info = nullptr);

int TakeDeviceLock();     // 1, -1 busy, -2 no device
void ReleaseDeviceLock();

int ReadSensorVariant(HANDLE h); // programs a standard scan and reads the variant bits
int PaperPresent();
int ButtonPressed(int button);

// Feeds the sheet out; `value` is the caller's feed value (0: always eject).
// 0 when the sheet did not leave the paper sensor in time.
int FeedOut(int value);
// The same on an open device.
int FeedOutOn(HANDLE h, int value);

// Moves `steps` motor steps with a short scan of one line (feeds during calibration).
bool FeedSteps(HANDLE h, int steps);

} // namespace wren
