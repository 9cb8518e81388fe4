// The device seam: every exchange between a driver and a still-image USB device
// ("\\.\usbscanN") goes through these five calls. The product modules link the
// real implementation (usb_device_real.cpp, plain Win32 file and control calls);
// the simulated modules link usb_device_sim.cpp, which talks to scansim.dll.
// Failures report through GetLastError, as the Win32 calls they stand for do.
#pragma once

#include <windows.h>
#include <stdint.h>

// Control code of the usbscan class driver that returns the device descriptor.
enum : uint32_t { IOCTL_GET_DEVICE_DESCRIPTOR = 0x80002018u };

// The usbscan DEVICE_DESCRIPTOR: four 16-bit words, 8 bytes.
#pragma pack(push, 2)
typedef struct {
    uint16_t vendorId;
    uint16_t productId;
    uint16_t deviceRelease;
    uint16_t languageId;
} UsbScanDescriptor;
#pragma pack(pop)
static_assert(sizeof(UsbScanDescriptor) == 8, "the usbscan device descriptor is 8 bytes");

// Opens a device by name for reading and writing, shared; INVALID_HANDLE_VALUE when absent.
HANDLE UsbDevOpen(const char* name);

// Sends a control request (IOCTL_GET_DEVICE_DESCRIPTOR is the one devices answer); TRUE on success.
BOOL UsbDevControl(HANDLE device, uint32_t code, void* in, uint32_t inSize,
                   void* out, uint32_t outSize, uint32_t* returned);

// Writes one transfer to the bulk-out pipe; *written receives the bytes taken.
BOOL UsbDevWrite(HANDLE device, const void* data, uint32_t size, uint32_t* written);

// Reads one transfer from the bulk-in pipe; *received may be less than size (short read).
BOOL UsbDevRead(HANDLE device, void* buffer, uint32_t size, uint32_t* received);

// Closes a handle from UsbDevOpen; INVALID_HANDLE_VALUE and NULL are ignored.
BOOL UsbDevClose(HANDLE device);
