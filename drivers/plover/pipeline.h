// Image steps of a block, over plain buffers.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace plover {

// Output byte i = received byte n - i (received byte n lies past the block and counts
// as zero; received byte 0 is not used). `received` holds n bytes.
void ReverseBlock(const uint8_t* received, size_t n, uint8_t* out);
// Bit order of every byte reversed (bit 7 <-> bit 0, ...).
void ReverseBits(uint8_t* data, size_t n);
void InvertBytes(uint8_t* data, size_t n);
void ApplyTone(uint8_t* data, size_t n, const uint8_t tone[256]);
// The three steps above in one pass through a composed byte map.
void ReorderMapped(const uint8_t* received, size_t n, const uint8_t map[256], uint8_t* out);
// The byte map of a block: bit reversal (black and white), inversion, tone (or null).
void ComposeByteMap(bool bitReverse, bool invert, const uint8_t* tone, uint8_t map[256]);
// Each line reversed in place: byte j = byte (bytesPerLine - j) for j >= 1, byte 0 = 0.
void MirrorLines(uint8_t* data, int lines, int bytesPerLine);
// Gray lines packed to 1 bit (bit set = gray above 187), lines packed consecutively.
void Gray2Bw(uint8_t* data, int lines, int bytesPerLine);

} // namespace plover
