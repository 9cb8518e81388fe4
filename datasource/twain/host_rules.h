// Behaviour that changes for particular host applications. The host is known by
// the ProductName of its identity or by the window class of its parent window.
#pragma once

#include <windows.h>
#include <stdint.h>

enum HostQuirkEffect : uint32_t {
    HOST_QUIRK_XFERCOUNT_UNKNOWN = 1u << 0,  // MSG_ENABLEDS reports transfer count -1
    HOST_QUIRK_PAGEMANAGER_XFER  = 1u << 1,  // MSG_ENDXFER keeps the pending count; every
                                             // second image's first memory request is cancelled
    HOST_QUIRK_FORCE_BW          = 1u << 2,  // MSG_ENABLEDS forces black and white
    HOST_QUIRK_PAD_STRIPS        = 1u << 3,  // memory strips padded to the full strip height
    HOST_QUIRK_NO_NUDGE          = 1u << 4,  // no message posted after a transfer
    HOST_QUIRK_OEM_PROFILE       = 1u << 5,  // a profile file of its own for each host
};

enum class HostSign : uint8_t {
    ProductName,   // ProductName of the host's identity, case-insensitive
    WindowClass,   // class of the parent window handed to MSG_ENABLEDS
    OemProfileKey, // "Scan Settings" / "OEM" = 1 in the profile
};

struct HostQuirk {
    HostSign sign;
    const char* text;       // the product name or window class; nullptr for the profile key
    const char* where;      // the triplet whose behaviour changes
    HostQuirkEffect effect;
};

extern const HostQuirk kHostQuirks[];
extern const int kHostQuirkCount;

// Effects for a host identified by its ProductName (a TW_STR32, possibly without
// a terminating NUL within its 34 bytes).
uint32_t HostQuirksOfProduct(const char* productName);

// Effects for a host whose parent window is `parent` (no effect for NULL or a
// window that does not exist).
uint32_t HostQuirksOfWindow(HWND parent);
