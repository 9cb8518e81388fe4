// Register image of one programming (page, measurement or feed) and its writing.
#pragma once

#include "lm9831_register_image.h"
#include "transport.h"

#include <stdint.h>

namespace wren {

struct ChipSetup {
    uint16_t fixedOffset = 0;
    uint16_t fixedGain = 0x3FFF;
    uint8_t lineOffset = 1;   // analog offset code (negative codes as 31 - code)
    uint8_t lineGain = 12;
    uint16_t exposure = 2500; // LED off time
    bool motor = true;        // the sheet moves while lines are scanned
    bool lampOff = false;     // dark measurements: all LEDs off
    int firstPixel = 0;       // in pixels of `resolution`
    int rawPixels = 0;
    int resolution = 600;
    uint16_t steps = 0;       // motor steps before the first line
    int variant = 0;
};

// Builds the whole register image for `s`.
lm9831::RegisterImage ComputeRegisters(const ChipSetup& s);

// Line-period value: writes 0x51-0x53 and returns the effective line length, the
// whole period with `undivided`, else per channel.
int LinePeriod(lm9831::RegisterImage& r, bool undivided);
// Master clock divider from the effective line length `a`: writes 0x08 and 0x19.
void MasterClockDivider(lm9831::RegisterImage& r, int a);
// Buffer level register 0x4E/0x4F.
void BufferLevel(lm9831::RegisterImage& r);

// The programming sequence; with `identityGamma` also an identity gamma table.
bool ProgramChip(const Link& h, const lm9831::RegisterImage& r, bool identityGamma);

} // namespace wren
