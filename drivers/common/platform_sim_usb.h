// The seam's USB calls on the simulated scanner linked into the same process (the
// simulator library's io functions), so that a core runs natively against it. For
// tests and tools only: the product never links it.
#pragma once

#include "platform_usb.h"

namespace platform {

// Devices are listed as the usbscan names the simulator answers to, every one a
// candidate, as on Windows; the context is unused.
UsbOps SimulatedUsbOps();

} // namespace platform
