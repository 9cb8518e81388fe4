#include "pipeline.h"

#include <string.h>

namespace plover {

namespace {

uint8_t BitReversed(uint8_t b)
{
    uint8_t r = 0;
    for (int k = 0; k < 8; ++k)
        if (b & (1 << k))
            r |= uint8_t(0x80 >> k);
    return r;
}

const uint8_t kBwThreshold = 187;

} // namespace

void ReverseBlock(const uint8_t* received, size_t n, uint8_t* out)
{
    if (n == 0)
        return;
    out[0] = 0;
    for (size_t i = 1; i < n; ++i)
        out[i] = received[n - i];
}

void ReverseBits(uint8_t* data, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        data[i] = BitReversed(data[i]);
}

void InvertBytes(uint8_t* data, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        data[i] = uint8_t(255 - data[i]);
}

void ApplyTone(uint8_t* data, size_t n, const uint8_t tone[256])
{
    for (size_t i = 0; i < n; ++i)
        data[i] = tone[data[i]];
}

void ComposeByteMap(bool bitReverse, bool invert, const uint8_t* tone, uint8_t map[256])
{
    for (int b = 0; b < 256; ++b) {
        uint8_t v = bitReverse ? BitReversed(uint8_t(b)) : uint8_t(b);
        if (invert)
            v = uint8_t(255 - v);
        if (tone)
            v = tone[v];
        map[b] = v;
    }
}

void ReorderMapped(const uint8_t* received, size_t n, const uint8_t map[256], uint8_t* out)
{
    if (n == 0)
        return;
    out[0] = map[0];
    const uint8_t* src = received + n - 1;
    for (size_t i = 1; i < n; ++i)
        out[i] = map[*src--];
}

void MirrorLines(uint8_t* data, int lines, int bytesPerLine)
{
    for (int l = 0; l < lines; ++l) {
        uint8_t* line = data + size_t(l) * bytesPerLine;
        // byte j takes byte (bpl - j): reverse bytes 1..bpl-1 among themselves, then shift.
        for (int j = 1, k = bytesPerLine - 1; j < k; ++j, --k) {
            uint8_t t = line[j];
            line[j] = line[k];
            line[k] = t;
        }
        if (bytesPerLine > 0)
            line[0] = 0; // the position past the line counts as zero
    }
}

void Gray2Bw(uint8_t* data, int lines, int bytesPerLine)
{
    int packed = bytesPerLine / 8;
    for (int l = 0; l < lines; ++l) {
        const uint8_t* gray = data + size_t(l) * bytesPerLine;
        uint8_t* out = data + size_t(l) * packed;
        for (int g = 0; g < packed; ++g) {
            uint8_t b = 0;
            for (int k = 0; k < 8; ++k)
                if (gray[g * 8 + k] > kBwThreshold)
                    b |= uint8_t(0x80 >> k);
            out[g] = b;
        }
    }
}

} // namespace plover
