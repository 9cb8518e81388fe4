// Per-line image processing over plain buffers: reference correction, horizontal
// scaling, black-and-white threshold, the line content test, tone, filter, inversion.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace wren {

enum : int { BW_THRESHOLD = 155 };

// out[p] = curve[division[(raw - min(dark, raw)) * 256 + white]] for `count` pixels.
void CorrectLine(const uint8_t* raw, const uint8_t* dark, const uint8_t* white, int count,
                 const uint8_t* division, const uint8_t* curve, uint8_t* out);

// Gray: averages pairs when shrinking, repeats pixels when growing, copies when equal.
void ScaleGrayLine(const uint8_t* in, int inCount, uint8_t* out, int outCount);
// Black and white: bit set (white) where the sampled value exceeds BW_THRESHOLD.
void ThresholdLine(const uint8_t* in, int inCount, uint8_t* out, int outCount, int outBytes);

// Sheet-edge test: does the line show paper? `level` is the lowest value counted.
bool LineHasContent(const uint8_t* line, int width, bool blackAndWhite, uint8_t level);

void MapBytes(uint8_t* data, size_t count, const uint8_t table[256]);
void InvertBytes(uint8_t* data, size_t count);

// 3x3 filter 1 (soften), 2 (sharpen), 3 (light soften) over `lines` gray lines,
// the block's first and last line repeated as borders, first and last pixel kept.
void FilterBlock(uint8_t* block, int lines, int stride, int pixels, int filter);

} // namespace wren
