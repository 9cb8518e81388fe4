// The USB device as the driver cores see it: one table of calls, each with its
// contract. Implementations: Win32 (the usbscan device objects, real or simulated,
// through usb_device.h) and POSIX (libusb-1.0). Only implementation files include a
// platform's headers.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace platform {

// An open device; only the implementation that opened it looks inside.
typedef struct UsbDevice* UsbHandle;

// A device enumeration found: how to open it and what its cross-process lock is called.
struct UsbDeviceRef {
    char path[48];    // Win32 "\\.\usbscan3", POSIX "usb:003:007" (bus, address)
    char lockKey[32]; // Win32 "usbscan3", POSIX "usb-003-007"
};

enum : int { USB_MOST_DEVICES = 127 };

struct UsbDescriptor {
    uint16_t vendorId;
    uint16_t productId;
    uint16_t release; // bcdDevice
};

// The ids a driver takes.
typedef bool (*UsbIdFilter)(uint16_t vendorId, uint16_t productId);

struct UsbOps {
    void* context;

    // Lists at most `most` devices that may be the driver's, always in the same order;
    // returns how many. Opens nothing and never blocks on a device. Where ids cannot be
    // known without opening (Win32: the 127 usbscan names) every candidate is listed;
    // elsewhere only devices whose descriptor ids pass `accept` (null: all).
    int (*enumerate)(void* context, UsbIdFilter accept, UsbDeviceRef* out, int most);

    // Opens a listed device for bulk transfers; null when it is gone, not openable or
    // in use elsewhere. Blocks only as long as the system's open does.
    UsbHandle (*open)(void* context, const UsbDeviceRef& device);

    // Asks the device itself (not a copy kept at open) for its descriptor, so that a
    // failure means the device no longer answers. False on failure, *out zeroed.
    bool (*descriptor)(void* context, UsbHandle device, UsbDescriptor* out);

    // One bulk-out transfer; blocks until the device took it or the transfer failed.
    // *written: the bytes taken. False on failure.
    bool (*write)(void* context, UsbHandle device, const void* data, uint32_t size, uint32_t* written);

    // One bulk-in transfer of at most `size` bytes; blocks until the device answers or
    // fails (POSIX also gives up after a timeout, as a failure). A short answer is a
    // success with *received < size. False on failure, *received: what arrived anyway.
    bool (*read)(void* context, UsbHandle device, void* buffer, uint32_t size, uint32_t* received);

    // Closes a handle from open; null is ignored.
    void (*close)(void* context, UsbHandle device);
};

} // namespace platform
