// Choice of the driver module from the profile's "Drivers" list.
#pragma once

#include <windows.h>

#define kDriversSection  "Drivers"
#define kNoDriver        "NODRIVER"
#define kFallbackDriver  "plover.dll"

// Probes the modules named by "Driver00", "Driver01", ... of `profile` in turn and
// returns the first one accepted, loaded. When none is accepted, the module named
// by "Driver00" (or "plover.dll" without one) is loaded without probing; NULL when
// that fails too. A module accepted from a later entry is written to "Driver00".
HMODULE SelectDriverModule(const char* profile);
