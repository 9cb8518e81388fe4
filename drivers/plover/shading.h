// Shading tables: the calibration files' format and the resampling to a page.
#pragma once

#include "platform.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace plover {

enum : uint32_t { SHADING_WORDS = 1344, SHADING_FILE_BYTES = SHADING_WORDS * 2,
                  COLOR_OFFSET_FILE_BYTES = 3 * SHADING_FILE_BYTES };

// Reads exactly `words` big-endian words; false when the file is missing or not that size.
bool ReadWordFile(const platform::Platform& os, const std::string& path, uint16_t* words, uint32_t count);
// Writes big-endian words; false when the file cannot be created or written whole.
bool WriteWordFile(const platform::Platform& os, const std::string& path, const uint16_t* words, uint32_t count);

// Cuts a 1344-word sensor table to a window starting at sensor pixel `start`
// (negative: before the first active pixel) spanning `span` sensor pixels, and
// averages it to the page's resolution. Reads and writes stay inside the table.
void ResampleShading(uint16_t table[SHADING_WORDS], int start, int span, int dpi);

} // namespace plover
