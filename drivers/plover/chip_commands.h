// Command sequences of the chip, on the device unit: reset, power-down, motor moves
// and the paper sensor.
#pragma once

#include "device.h"

namespace plover {

// Reset and stop, then a 50 ms pause.
void ResetChip(Device& d);
// Reset and stop in one transfer, no pause.
void WriteResetPair(Device& d);
// Reset and stop, then power down when asked.
void Hypnotize(Device& d, bool powerDown);
// Moves `steps` (16 bits) at the run step size; always 1.
int RunSteps(Device& d, int steps);
// Reads the paper sensor under `polarity` (1: bit set while paper); false when the
// register did not arrive.
bool ReadPaperSensor(Device& d, int polarity, bool* present);

} // namespace plover
