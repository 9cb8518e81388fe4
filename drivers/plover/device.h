// The device unit: the one open scanner of the module, its register cache, the count
// of consecutive short reads and reconnection. Transfers are framed by the shared
// transport with plover's rules (flush at 191 bytes, reads of up to 0xF800 bytes,
// every chunk whole). Re-initialising a reconnected chip is its owner's business:
// the owner hands in that step.
#pragma once

#include "lm9831_register_image.h"
#include "lm9831_transport.h"

#include <stdint.h>

namespace plover {

// The scanner's USB ids, matched during discovery.
enum : uint16_t { PLOVER_VENDOR_ID = 0x0400, PLOVER_PRODUCT_ID = 0x1000 };

enum : uint32_t { READ_FAILURES_TOLERATED = 10 }; // the next consecutive short read reconnects

struct Device {
    lm9831::Link link;              // its platform is set by the owner; closed while no scanner
    uint32_t vendorId = 0, productId = 0;
    bool present = false;           // found at load (or by the last EnsureDevice)
    uint32_t readFailures = 0;      // consecutive short reads
    lm9831::RegisterImage registers; // the image written as a whole by WriteRegisterImage
    void (*reinitialise)(void* owner) = nullptr; // run after a reconnection found the scanner
    void* owner = nullptr;
};

// Discovers and opens the scanner; false when none is there.
bool OpenDevice(Device& d);
void CloseDevice(Device& d);
// Reopens the device when the handle kept since load no longer reaches it (asks for
// the descriptor); false when no scanner is there. Sets `present`.
bool EnsureDevice(Device& d);

// Writes: true when every transfer was taken whole.
bool WriteRegs(Device& d, uint8_t reg, const uint8_t* data, uint32_t count, bool increment);
bool WriteReg(Device& d, uint8_t reg, uint8_t value);
// True when all `count` bytes arrived. A short read counts toward reconnection: the
// READ_FAILURES_TOLERATED + 1st in a row closes, re-discovers and re-initialises.
bool ReadRegs(Device& d, uint8_t reg, uint8_t* buffer, uint32_t count, bool increment);
// One register: the byte, or 0 when it did not arrive.
uint8_t ReadReg(Device& d, uint8_t reg);
// Like ReadReg, reporting whether the byte arrived.
bool ReadRegChecked(Device& d, uint8_t reg, uint8_t* value);
void WriteMemory(Device& d, uint8_t region, const uint8_t* data, uint32_t count);
// The register cache, 0x00..0x7E with increment.
void WriteRegisterImage(Device& d);

} // namespace plover
