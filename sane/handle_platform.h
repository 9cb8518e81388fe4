// The platform one handle's driver core runs on: the POSIX seam, with two changes.
// USB enumeration lists only the handle's device, so a core that takes "the first
// scanner" takes that one. The settings file is read from the SANE configuration
// folder with the user's own copy (in the data folder) over it, and written to the
// user's copy: calibration stores measured values there, and the configuration
// folder is the system's.
#pragma once

#include "platform_posix.h"

namespace kestrel_sane {

// Its tables point at it: it never moves. The libusb session ends with it.
struct HandlePlatform {
    HandlePlatform() = default;
    HandlePlatform(const HandlePlatform&) = delete;
    HandlePlatform& operator=(const HandlePlatform&) = delete;
    ~HandlePlatform() { platform::ClosePosixPlatform(&posix); }

    platform::PosixPlatform posix;
    platform::Platform platform = {}; // what the core gets
    platform::UsbDeviceRef device = {};
};

void InitHandlePlatform(HandlePlatform* hp, const platform::PosixOptions& options,
                        const platform::UsbDeviceRef& device);

} // namespace kestrel_sane
