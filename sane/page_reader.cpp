#include "page_reader.h"

#include <math.h>
#include <string.h>

namespace kestrel_sane {

namespace {

const int kMostContrast = 99; // contrast 100 would divide by zero: the hardest step is 99

int Clamp(int v, int lo, int hi) { return v < lo ? lo : v > hi ? hi : v; }

void ColorLine(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    for (int x = 0; x < l.pixels; ++x, in += 3, out += 3) {
        out[0] = l.tone[in[2]];
        out[1] = l.tone[in[1]];
        out[2] = l.tone[in[0]];
    }
}

void GrayLine(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    for (int x = 0; x < l.pixels; ++x)
        out[x] = l.tone[in[x]];
}

void LineartLine(const LineLayout& l, const uint8_t* in, uint8_t* out)
{
    memset(out, 0, size_t(l.bytesPerLine));
    for (int x = 0; x < l.pixels; ++x)
        if (in[x] < l.threshold)
            out[x / 8] |= uint8_t(0x80 >> (x % 8));
}

} // namespace

void MakeTone(int brightness, int contrast, uint8_t tone[256])
{
    const int c = Clamp(contrast, -100, kMostContrast);
    const int lift = Clamp(brightness, -100, 100) * 255 / 200;
    for (int v = 0; v < 256; ++v) {
        // Contrast scales around the middle by (100 + c) / (100 - c); brightness lifts.
        const int scaled = 128 + int(lround((v + lift - 128) * (100.0 + c) / (100.0 - c)));
        tone[v] = uint8_t(Clamp(scaled, 0, 255));
    }
}

LineLayout MakeLayout(ScanMode mode, int driverWidth, int pixels, int brightness, int contrast, int threshold,
                      bool firstColumnNotImage)
{
    LineLayout l;
    l.mode = mode;
    l.driverWidth = driverWidth;
    l.pixels = pixels < driverWidth ? pixels : driverWidth;
    const int bitsPerPixel = mode == ScanMode::Color ? 24 : 8;
    l.stride = (driverWidth * bitsPerPixel + 31) / 32 * 4;
    l.bytesPerLine = mode == ScanMode::Color ? 3 * l.pixels : mode == ScanMode::Gray ? l.pixels : (l.pixels + 7) / 8;
    MakeTone(brightness, contrast, l.tone);
    l.threshold = threshold;
    l.mendFirstColumn = firstColumnNotImage && driverWidth > 1;
    return l;
}

void ConvertBlock(const LineLayout& layout, uint8_t* block, int lines, uint8_t* out)
{
    const size_t pixelBytes = layout.mode == ScanMode::Color ? 3 : 1;
    for (int k = 0; k < lines; ++k) {
        uint8_t* in = block + size_t(lines - 1 - k) * size_t(layout.stride);
        if (layout.mendFirstColumn)
            memcpy(in, in + pixelBytes, pixelBytes);
        uint8_t* line = out + size_t(k) * size_t(layout.bytesPerLine);
        switch (layout.mode) {
        case ScanMode::Color: ColorLine(layout, in, line); break;
        case ScanMode::Gray: GrayLine(layout, in, line); break;
        case ScanMode::Lineart: LineartLine(layout, in, line); break;
        }
    }
}

void WhiteLine(const LineLayout& layout, uint8_t* out)
{
    memset(out, layout.mode == ScanMode::Lineart ? 0 : 255, size_t(layout.bytesPerLine));
}

} // namespace kestrel_sane
