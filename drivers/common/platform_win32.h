// The platform seam on today's Win32 calls: usbscan devices through usb_device.h
// (real or simulated), GetPrivateProfile*, files under the Windows folder, the
// "Common AppData" registry value, named events, message boxes.
#pragma once

#include "platform.h"

#include <string>

namespace platform {

typedef int (*Win32MessageHook)(const char* text, const char* caption, unsigned buttons);

// One per loaded module; its tables point back at it.
struct Win32Platform {
    Platform platform = {};
    std::string windowsDir;                 // read once when made; empty when unusable
    std::string driverFolder;               // <Windows>\twain_32\<driverFolder>
    Win32MessageHook messageHook = nullptr; // answers in place of the message box (tests)
    LogHook logHook = nullptr;
};

// Binds the tables and reads the Windows folder. `driverFolder` names the driver's own
// folder under twain_32 (empty: none).
void InitWin32Platform(Win32Platform* p, const char* driverFolder);

// The usbscan part alone (used by InitWin32Platform).
UsbOps Win32UsbOps();

} // namespace platform
