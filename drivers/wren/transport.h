// wren's side of the usbscan link: framed register writes and reads, discovery of
// an accepted scanner (optionally skipping devices another process holds), and the
// open-work-close pattern every operation follows.
#pragma once

#include <windows.h>
#include <stdint.h>

namespace wren {

enum : int { DEVICE_NAME_COUNT = 127 };

struct DeviceInfo {
    int index = -1;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// "\\.\usbscanN" and the lock event's name "usbscanN".
void DeviceName(int index, char* out, size_t size);
void EventName(int index, char* out, size_t size);

bool IsAcceptedId(uint16_t vendorId, uint16_t productId);

// True while another process (or this one) holds the named event of device `index`.
bool IsHeldElsewhere(int index);

// Opens the first accepted device from `firstIndex` on. With `skipHeld`, devices whose
// lock event exists are passed over; *heldSeen tells whether any accepted one was.
HANDLE DiscoverDevice(bool skipHeld, DeviceInfo* info, bool* heldSeen = nullptr);
// Opens device `index` when it is an accepted scanner.
HANDLE OpenDeviceAt(int index, DeviceInfo* info);

// Framed transfers. Writes return false when a WriteFile failed.
bool WriteRegs(HANDLE h, uint8_t reg, const uint8_t* data, uint32_t count, bool increment);
bool WriteReg(HANDLE h, uint8_t reg, uint8_t value);
// Reads `count` bytes; returns the bytes received (a 0-byte answer ends the read).
uint32_t ReadRegs(HANDLE h, uint8_t reg, uint8_t* buffer, uint32_t count, bool increment);
// One register; false when nothing arrived.
bool ReadReg(HANDLE h, uint8_t reg, uint8_t* value);

// The end of every operation: power the chip down and close the handle.
void CloseDevice(HANDLE& h);

} // namespace wren
