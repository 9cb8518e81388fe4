// wren's use of the shared framing: its transport rules (flush once a transfer holds
// count - 59 bytes, reads of up to 65535 bytes that continue after a partial chunk,
// two sensor reads after a write of register 0x58), the accepted ids, and the
// open-work-close pattern every operation follows.
#pragma once

#include "lm9831_transport.h"

#include <stdint.h>

namespace wren {

using lm9831::Link;

bool IsAcceptedId(uint16_t vendorId, uint16_t productId);

// Opens the first accepted device. With `skipHeld`, devices whose lock is held are
// passed over; *heldSeen tells whether any accepted one was.
Link DiscoverDevice(const platform::Platform& platform, bool skipHeld, lm9831::FoundDevice* found,
                    bool* heldSeen = nullptr);
// Opens `device` when it is an accepted scanner; a closed link otherwise.
Link OpenDeviceAt(const platform::Platform& platform, const platform::UsbDeviceRef& device,
                  platform::UsbDescriptor* descriptor);

// Framed transfers. Writes return false when a transfer was not taken whole.
bool WriteRegs(const Link& h, uint8_t reg, const uint8_t* data, uint32_t count, bool increment);
bool WriteReg(const Link& h, uint8_t reg, uint8_t value);
// Reads `count` bytes; returns the bytes received (a 0-byte answer ends the read).
uint32_t ReadRegs(const Link& h, uint8_t reg, uint8_t* buffer, uint32_t count, bool increment);
// One register; false when nothing arrived.
bool ReadReg(const Link& h, uint8_t reg, uint8_t* value);
bool WriteMemory(const Link& h, uint8_t region, const uint8_t* data, uint32_t count);

// The end of every operation: power the chip down and close the device.
void CloseDevice(Link& h);

} // namespace wren
