// The controller's bulk framing, shared by both drivers: framed register writes,
// chunked register and image reads, memory-port bursts and discovery of a scanner
// among the platform's USB devices. What differs between the drivers is data
// (TransportRules); nothing here keeps state.
#pragma once

#include "lm9831_registers.h"
#include "platform.h"

#include <stdint.h>

namespace lm9831 {

// An open device and the platform it was opened on.
struct Link {
    const platform::Platform* platform = nullptr;
    platform::UsbHandle device = nullptr;
    bool isOpen() const { return device != nullptr; }
};

enum class ShortRead {
    FailsRead, // every chunk must arrive whole; a short or failed chunk ends the read
    Continues  // a partial chunk is followed by a read of the rest; an empty answer ends it
};

struct TransportRules {
    // A write transfer goes out once it holds this many bytes (or the data end);
    // `count` is the length of the whole write.
    int64_t (*flushAt)(uint32_t count);
    uint32_t readChunk; // most bytes asked for by one bulk read
    ShortRead shortRead;
    // A write that reaches REG_MISC_IO_58 is followed by two reads of REG_SENSORS.
    bool sensorReadsAfterGpio;
};

// Writes `count` bytes to `reg` (with increment: to reg, reg + 1, ...) in chunks of at
// most FRAME_MAX_CHUNK data bytes, each behind its header. True when every transfer
// was taken whole; false at once when the link is closed.
bool WriteRegisters(const Link& link, const TransportRules& rules, uint8_t reg, const uint8_t* data,
                    uint32_t count, bool increment);

// The chunk that ended a read early: bytes asked and bytes that came.
struct ReadShortfall {
    uint32_t asked = 0;
    uint32_t received = 0;
};

// Reads `count` bytes from `reg` in chunks of at most rules.readChunk, one header per
// chunk. Returns the bytes received: `count` when complete (also for count 0, with no
// transfer). Under ShortRead::FailsRead only whole chunks count.
uint32_t ReadRegisters(const Link& link, const TransportRules& rules, uint8_t reg, uint8_t* buffer,
                       uint32_t count, bool increment, ReadShortfall* shortfall = nullptr);

// A burst into a memory region from address 0: region and address registers, then the
// data to the memory port. True when every write was taken whole.
bool WriteMemory(const Link& link, const TransportRules& rules, uint8_t region, const uint8_t* data,
                 uint32_t count);

// Opens `device` and keeps it when its descriptor ids pass `accept`; else closes it.
// Null when it cannot be opened or is not accepted.
platform::UsbHandle OpenIfAccepted(const platform::Platform& platform, const platform::UsbDeviceRef& device,
                                   platform::UsbIdFilter accept, platform::UsbDescriptor* descriptor);

struct FoundDevice {
    platform::UsbDeviceRef ref = {};
    platform::UsbDescriptor descriptor = {};
};

// Opens the first accepted device in enumeration order. With `skipHeld`, devices
// whose lock is held are passed over unopened, and *heldSeen tells whether there were any.
platform::UsbHandle DiscoverDevice(const platform::Platform& platform, platform::UsbIdFilter accept,
                                   bool skipHeld, FoundDevice* found, bool* heldSeen = nullptr);

} // namespace lm9831
