// The scanners on the bus that kestrel.conf names and a driver takes.
#pragma once

#include "config_file.h"
#include "driver_core.h"
#include "platform.h"

#include <vector>

namespace kestrel_sane {

struct FoundScanner {
    platform::UsbDeviceRef ref; // ref.path ("usb:BBB:AAA") is the SANE device name
    const DriverFacts* driver;
};

// Asks the bus only (opens nothing): a device another program uses is listed too.
std::vector<FoundScanner> FindScanners(const platform::Platform& os, const BackendConfig& config);

} // namespace kestrel_sane
