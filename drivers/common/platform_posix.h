// The platform seam on POSIX: USB through libusb-1.0, the settings file through
// ini_text, data files in folders the caller chooses, clock_gettime and nanosleep,
// flock on a lock file per device, and a log hook for messages.
#pragma once

#include "platform.h"

#include <string>

namespace platform {


struct PosixOptions {
    std::string settingsFolder;    // default $XDG_CONFIG_HOME/kestrel (~/.config/kestrel)
    std::string dataFolder;        // default $XDG_DATA_HOME/kestrel (~/.local/share/kestrel)
    std::string lockFolder;        // default /run/lock when writable, else /tmp
    std::string diagnosticsFolder; // default none: no diagnostic files are written
    LogHook log = nullptr;         // messages and diagnostics; default: messages to stderr
    unsigned usbTimeoutMs = 30000; // a bulk transfer that takes longer fails
};

// One per core (or per process); its tables point back at it.
struct PosixPlatform {
    Platform platform = {};
    PosixOptions options;
    void* usbContext = nullptr; // libusb_context, made on first use
};

// Binds the tables and fills the folders left empty with their defaults.
void InitPosixPlatform(PosixPlatform* p, const PosixOptions& options);
// Ends the libusb session; every device must be closed before.
void ClosePosixPlatform(PosixPlatform* p);

// The libusb part alone (used by InitPosixPlatform).
UsbOps PosixUsbOps(PosixPlatform* p);

} // namespace platform
