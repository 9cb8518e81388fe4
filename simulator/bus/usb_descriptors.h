// The standard USB descriptors of the devices on the mocked bus: the scanner (one
// configuration, interface 0 with a bulk-in and a bulk-out endpoint, full speed as the
// controller is) and the bus's root hub. Wire format, little-endian words.
#pragma once

#include <stdint.h>
#include <vector>

namespace bus {

enum : uint8_t {
    SCANNER_BULK_IN = 0x81,
    SCANNER_BULK_OUT = 0x02,
    SCANNER_INTERFACE = 0,
    SCANNER_CONFIGURATION = 1,
    DEVICE_DESCRIPTOR_SIZE = 18
};
enum : uint16_t {
    SCANNER_RELEASE = 0x0100,
    ROOT_HUB_VENDOR = 0x1d6b,
    ROOT_HUB_PRODUCT = 0x0001,
    ROOT_HUB_RELEASE = 0x0601
};

// The device descriptor of a scanner with these ids and release (bcdDevice).
std::vector<uint8_t> ScannerDeviceDescriptor(uint16_t vendorId, uint16_t productId, uint16_t release);
// Its configuration descriptor with the interface and endpoint descriptors behind it.
std::vector<uint8_t> ScannerConfiguration();
// Device descriptor then configuration: the sysfs "descriptors" file and the device node.
std::vector<uint8_t> ScannerDescriptors(uint16_t vendorId, uint16_t productId);
std::vector<uint8_t> RootHubDescriptors();

} // namespace bus
