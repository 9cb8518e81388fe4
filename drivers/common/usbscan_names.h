// The usbscan device names ("\\.\usbscanN") and their lock keys ("usbscanN"), for the
// seams whose devices are the still-image class driver's, or a simulation of them.
#pragma once

#include "platform_usb.h"

namespace platform {

// Refs of usbscan0 .. usbscan(most - 1), at most USB_MOST_DEVICES; returns the count.
int UsbScanRefs(UsbDeviceRef* out, int most);

} // namespace platform
