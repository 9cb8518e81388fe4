// Tone table arithmetic shared by IO_AdjustChannelValue and the driver's own table.
#pragma once

#include <stdint.h>

namespace plover {

enum ToneKind { TONE_CALLER, TONE_DRIVER };
void BuildToneTable(uint8_t table[256], int brightness, int contrast, int gamma, int highlight,
                    int shadow, ToneKind kind);

} // namespace plover
