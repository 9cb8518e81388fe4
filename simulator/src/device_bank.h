// The simulated devices at their indices (0..SCANSIM_MAX_DEVICES - 1), whether each is
// connected, and the handles open on them ("\\.\usbscanN"). Not locked itself: the C
// API holds the simulator's lock around every call.
#pragma once

#include "device.h"
#include "io_error.h"
#include "scansim.h"

#include <stdint.h>

namespace scansim {

// Null when the index holds no device.
Device* deviceAt(int index);

// A fresh device of SCANSIM_KIND_* at the index, replacing any; false for a bad index or kind.
bool attach(int index, int kind, uint16_t vendorId, uint16_t productId);
bool detach(int index);
// Every device and handle gone.
void detachAll();
// The device vanishes (its handles die, opens fail) or comes back powered up afresh;
// false when there is no device or it already is in that state.
bool disconnect(int index);
bool reconnect(int index);

// SCANSIM_CARD_* or a BMP file into the device's feeder; false when either is missing.
bool insertCard(int index, int card);
bool insertBmp(int index, const char* path);

// False for a bad index or no status; an empty slot answers all zero.
bool getStatus(int index, ScanSimStatus& status);

// A handle on "\\.\usbscanN", or 0 with the reason.
intptr_t openHandle(const char* name, IoError& why);
// The device behind an open handle, with its index; null with the reason when the
// handle is unknown or its device has gone since it was opened.
Device* deviceOfHandle(intptr_t handle, int& index, IoError& why);
bool closeHandle(intptr_t handle);
// After a read: a device that a fault took away vanishes now.
void settlePendingDisconnect(int index);

} // namespace scansim
