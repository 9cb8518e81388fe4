// The scanner's answers to the standard control requests on endpoint 0, as a table.
// The device descriptor comes from the simulator on every request (so a device that
// vanished fails it); the rest is the fixed layout of usb_descriptors.h. Requests not
// in the table stall, as a real device's do.
#pragma once

#include <stdint.h>
#include <vector>

namespace bus {

struct SetupPacket {
    uint8_t requestType, request;
    uint16_t value, index, length;
};

SetupPacket ParseSetup(const uint8_t bytes[8]);

struct ControlResult {
    int error = 0;             // 0, EPIPE for a stall, or the simulator's errno
    std::vector<uint8_t> data; // IN: the data stage, at most setup.length bytes
};

ControlResult AnswerControl(const SetupPacket& setup, intptr_t simulatorHandle);

} // namespace bus
