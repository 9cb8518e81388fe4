// The benchmark's device seam: record from the simulator, then replay.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <vector>

// Replays from byte `at` of the recording.
void ReplayStart(size_t at);
const std::vector<uint8_t>& Recording();
