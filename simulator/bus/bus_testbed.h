// The mocked bus in a umockdev testbed: bus 001 with its root hub at address 1 and
// the scanners, each a sysfs device as the kernel shows one (ids, descriptors, bus
// and device numbers, speed, the udev properties) and a device node under /dev/bus/usb.
#pragma once

#include "usbfs_handler.h"

#include <umockdev.h>

#include <string>
#include <vector>

namespace bus {

enum : int { BUS_NUMBER = 1, FIRST_SCANNER_ADDRESS = 2, LAST_ADDRESS = 127 };

// "/dev/bus/usb/001/007"
std::string DeviceNode(uint8_t address);

// Null with the reason when umockdev refuses a device. Sets $UMOCKDEV_DIR.
UMockdevTestbed* MakeTestbed(const std::vector<BusDevice>& scanners, std::string& error);

} // namespace bus
