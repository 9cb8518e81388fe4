#include "image_lines.h"

#include <string.h>
#include <vector>

namespace wren {

void CorrectLine(const uint8_t* raw, const uint8_t* dark, const uint8_t* white, int count,
                 const uint8_t* division, const uint8_t* curve, uint8_t* out)
{
    for (int p = 0; p < count; ++p) {
        unsigned v = raw[p];
        unsigned d = dark[p];
        v -= d < v ? d : v;
        out[p] = curve[division[v * 256 + white[p]]];
    }
}

void ScaleGrayLine(const uint8_t* in, int inCount, uint8_t* out, int outCount)
{
    if (outCount == inCount) {
        memcpy(out, in, size_t(outCount));
    } else if (outCount < inCount) {
        // Output k averages the first raw pixel after q(k - 1) with raw pixel q(k).
        int previous = -1;
        for (int k = 0; k < outCount; ++k) {
            int q = int(int64_t(k) * inCount / outCount);
            out[k] = uint8_t((in[previous + 1] + in[q]) / 2);
            previous = q;
        }
    } else {
        for (int k = 0; k < outCount; ++k)
            out[k] = in[int64_t(k) * inCount / outCount];
    }
}

void ThresholdLine(const uint8_t* in, int inCount, uint8_t* out, int outCount, int outBytes)
{
    memset(out, 0, size_t(outBytes));
    for (int k = 0; k < outCount; ++k)
        if (in[int64_t(k) * inCount / outCount] > BW_THRESHOLD)
            out[k / 8] |= uint8_t(0x80 >> (k % 8));
}

bool LineHasContent(const uint8_t* line, int width, bool blackAndWhite, uint8_t level)
{
    const int from = (width / 160) * 8;
    const int to = (width * 19 / 160) * 8;
    int threshold = (to - from) * 75 / 10000;
    if (threshold < 5)
        threshold = 5;
    if (blackAndWhite) {
        int set = 0;
        for (int byte = from / 8; byte < to / 8; ++byte)
            for (uint8_t b = line[byte]; b; b &= uint8_t(b - 1))
                ++set;
        return set > threshold;
    }
    int histogram[256] = {};
    for (int p = from; p < to; ++p)
        ++histogram[line[p]];
    for (int v = level; v <= 255; ++v) // up to and including 255: white paper maps there
        if (histogram[v] > threshold)
            return true;
    return false;
}

void MapBytes(uint8_t* data, size_t count, const uint8_t table[256])
{
    for (size_t i = 0; i < count; ++i)
        data[i] = table[data[i]];
}

void InvertBytes(uint8_t* data, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        data[i] = uint8_t(255 - data[i]);
}

void FilterBlock(uint8_t* block, int lines, int stride, int pixels, int filter)
{
    if (lines <= 0 || pixels < 3 || filter < 1 || filter > 3)
        return;
    const int centreWeight[4] = {0, 3, 23, 5};
    const int neighbourSign[4] = {0, 1, -1, 1};
    const int divisor[4] = {1, 11, 15, 13};
    std::vector<uint8_t> source(block, block + size_t(lines) * stride);
    for (int y = 0; y < lines; ++y) {
        const uint8_t* up = &source[size_t(y > 0 ? y - 1 : 0) * stride];
        const uint8_t* mid = &source[size_t(y) * stride];
        const uint8_t* down = &source[size_t(y + 1 < lines ? y + 1 : y) * stride];
        uint8_t* out = block + size_t(y) * stride;
        for (int x = 1; x + 1 < pixels; ++x) {
            int around = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] +
                         down[x] + down[x + 1];
            int v = (centreWeight[filter] * mid[x] + neighbourSign[filter] * around) / divisor[filter];
            out[x] = uint8_t(v > 254 ? 255 : v < 0 ? 0 : v);
        }
    }
}

} // namespace wren
