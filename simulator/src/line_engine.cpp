// The image data port: line shape from the window and divider registers, optics of
// the sensor over the sheet, the analog stage, chip shading, gamma and packing.
//
// Every line carries its pixels in ascending sensor order, samples packed most
// significant bit first, red, green, blue within a colour pixel. The divider code of
// REG_PIXEL_FORMAT averages `ratio` sensor pixels per output pixel, and the sheet
// moves `ratio` motor steps per line while MOTOR_SCAN_MOTION is set (600 / ratio
// lines per inch). Pixel-gain and pixel-offset word i applies to output pixel i.
//   CCD kind: (end - start + 2) / ratio pixels. The card passes face down, so
//   ascending sensor positions run from the card's right edge to its left (sensor
//   position 24 + a sees the card at x = 1320 - a, in 1/600 inch). The line leaves
//   delayed by 8 - (bits per pixel) bits (advanced, when negative): reversing a
//   block byte by byte, one byte offset, gives upright lines with left-to-right
//   blue-green-red pixels and 1-bit pixels leftmost in the most significant bit.
//   CIS kind: ((end - start) / ratio rounded down to even) + 2 pixels, face up
//   (sensor position 15 + s sees x = s - 18), no delay: lines come out as they are.
#include "box_cells.h"
#include "device.h"

#include <algorithm>
#include <math.h>

namespace scansim {

namespace {

const double kRatio[8] = {1, 1.5, 2, 3, 4, 6, 8, 12};
const double kNoise = 0.6;
const uint8_t kOffsetRegion[3] = {MEM_OFFSET_RED, MEM_OFFSET_GREEN, MEM_OFFSET_BLUE};
const uint8_t kGainRegion[3] = {MEM_GAIN_RED, MEM_GAIN_GREEN, MEM_GAIN_BLUE};
const uint8_t kGammaRegion[3] = {MEM_GAMMA_RED, MEM_GAMMA_GREEN, MEM_GAMMA_BLUE};
const int kMaxPixels = 16384;

int bitsOf(uint8_t format)
{
    switch (format & PIXEL_FORMAT_DEPTH) {
    case PIXEL_DEPTH_1: return 1;
    case PIXEL_DEPTH_2: return 2;
    case PIXEL_DEPTH_4: return 4;
    case PIXEL_DEPTH_16: return 16;
    default: return 8;
    }
}

} // namespace

LineFormat Device::computeLineFormat() const
{
    LineFormat f;
    uint8_t format = regs_.get8(REG_PIXEL_FORMAT);
    uint8_t channelMode = regs_.get8(REG_CHANNEL_MODE) & CHANNEL_MODE_MASK;
    f.start = regs_.get16(REG_START_PIXEL);
    f.end = regs_.get16(REG_END_PIXEL);
    f.ratio = kRatio[format & PIXEL_FORMAT_DIVIDER];
    f.bits = bitsOf(format);
    f.channels = (channelMode == CHANNELS_COLOR || channelMode == CHANNELS_COLOR_ALT) ? 3 : 1;
    int span = geometry_.ccdLineRule ? f.end - f.start + 2 : f.end - f.start;
    if (span <= 0)
        return f; // an empty window: no image data
    f.pixels = int(floor(span / f.ratio + 1e-9));
    if (!geometry_.ccdLineRule)
        f.pixels = (f.pixels & ~1) + 2;
    f.pixels = std::min(f.pixels, kMaxPixels);
    f.bytes = uint32_t((int64_t(f.pixels) * f.channels * f.bits + 7) / 8);
    return f;
}

// Light reaching the sensor for one channel, in LED pixel periods times reflectance.
double Device::ledLight(int channel, const double reflect[3]) const
{
    const RegisterImage& r = scanRegs_;
    uint32_t lineLength = r.get16(REG_LINE_LENGTH);
    double window[3];
    for (int k = 0; k < 3; ++k) {
        uint32_t on = std::min<uint32_t>(r.get16(uint8_t(REG_LED_RED_ON + 4 * k)), lineLength);
        uint32_t off = std::min<uint32_t>(r.get16(uint8_t(REG_LED_RED_OFF + 4 * k)), lineLength);
        window[k] = off > on ? double(off - on) : 0.0;
    }
    uint8_t illumination = r.get8(REG_ILLUMINATION);
    if (illumination == ILLUM_OFF)
        return 0.0;
    if (!geometry_.ledPerColour) {
        double luminance = 0.299 * reflect[0] + 0.587 * reflect[1] + 0.114 * reflect[2];
        return window[2] * luminance; // one lamp on the third LED's timing
    }
    if (illumination == ILLUM_ALL) {
        double sum = 0;
        for (int k = 0; k < 3; ++k)
            sum += geometry_.ledShare[k] * window[k] * reflect[k];
        return sum;
    }
    if (illumination == ILLUM_PER_CHANNEL)
        return 3.0 * geometry_.ledShare[channel] * window[channel] * reflect[channel];
    return 0.0;
}

// Sensor output (8-bit levels) at one register position while `row` is under the line.
double Device::analogSample(int position, double row, int channel) const
{
    int s = position - geometry_.positionOffset;
    if (s < 0 || s >= geometry_.pixelCount)
        return geometry_.darkBase; // shielded pixels: dark level only
    double reflect[3] = {kBackingReflectance, kBackingReflectance, kBackingReflectance};
    int x = geometry_.faceDown ? geometry_.sheetOrigin - s : s - geometry_.sheetOrigin;
    if (!geometry_.faceDown && x < 0)
        reflect[0] = reflect[1] = reflect[2] = 0.0; // the frame beside the paper guide
    else if (paper_.present() && row >= 0)
        sheet_.reflectance(x, int(floor(row)), reflect);
    return response_.dark[s] + response_.sensitivity[s] * ledLight(channel, reflect) *
                                   geometry_.lightPerPeriod;
}

// Analog offset and gain, ADC, shading and gamma; returns the sample at 16 bits.
uint16_t Device::chipPipeline(double analog, int group, int tc) const
{
    const RegisterImage& r = scanRegs_;
    double a = (analog + analogOffset(r.get8(uint8_t(REG_LINE_OFFSET_RED + tc)))) *
               analogGain(r.get8(uint8_t(REG_LINE_GAIN_RED + tc)));
    double x = std::min(65535.0, std::max(0.0, a * 256.0));
    uint8_t shading = r.get8(REG_SHADING_MODE);
    double offset = (shading & SHADING_PIXEL_OFFSET) ? memWord(kOffsetRegion[tc], group)
                                                     : r.get16(REG_FIXED_OFFSET);
    double gain = (shading & SHADING_PIXEL_GAIN) ? memWord(kGainRegion[tc], group)
                                                 : r.get16(REG_FIXED_GAIN);
    x = std::max(0.0, x - offset) * gain / double(GAIN_UNITY);
    return uint16_t(std::min(65535.0, x));
}

void Device::produceLine(std::vector<uint8_t>& out)
{
    const LineFormat& f = format_;
    const int bitsPerPixel = f.channels * f.bits;
    const int delay = geometry_.serialDelay ? 8 - bitsPerPixel : 0;
    // Groups before the window feed a delayed stream, groups past it an advanced one.
    const int first = delay > 0 ? -((delay + bitsPerPixel - 1) / bitsPerPixel) : 0;
    const int last = f.pixels + (delay < 0 ? (-delay + bitsPerPixel - 1) / bitsPerPixel : 0) + 1;
    const bool motion = scanRegs_.get8(REG_MOTOR_CONTROL) & MOTOR_SCAN_MOTION;

    std::vector<std::pair<int, double>> rows, cols;
    boxCells(paper_.rowAtScanLine(), motion ? f.ratio : 1.0, rows);
    std::vector<uint8_t> bits; // one entry per bit, most significant first
    bits.reserve(size_t(last - first) * bitsPerPixel);
    for (int g = first; g < last; ++g) {
        boxCells(g * f.ratio, f.ratio, cols);
        for (int c = 0; c < f.channels; ++c) {
            int light = f.channels == 3 ? c : 1; // one channel: green LED and tables
            double sum = 0, weight = 0;
            for (const auto& y : rows)
                for (const auto& x : cols) {
                    sum += y.second * x.second * analogSample(f.start + x.first, y.first, light);
                    weight += y.second * x.second;
                }
            double analog = sum / weight + pixelNoise(lineCounter_, (g + 8) * 3 + c, kNoise);
            uint16_t x16 = chipPipeline(analog, g, light);
            uint32_t v;
            if (f.bits == 16) {
                v = x16;
            } else {
                uint8_t g8 = (*region(kGammaRegion[light]))[x16 >> 4];
                v = uint32_t(g8) >> (8 - f.bits);
            }
            for (int b = f.bits - 1; b >= 0; --b)
                bits.push_back(uint8_t((v >> b) & 1));
        }
    }
    ++lineCounter_;
    ++linesScanned_;
    if (motion)
        paper_.step(f.ratio);

    size_t startBit = size_t(-delay - first * bitsPerPixel);
    out.assign(f.bytes, 0);
    for (uint32_t i = 0; i < f.bytes; ++i) {
        uint8_t byte = 0;
        for (int b = 0; b < 8; ++b) {
            size_t at = startBit + size_t(i) * 8 + b;
            byte = uint8_t((byte << 1) | (at < bits.size() ? bits[at] : 0));
        }
        out[i] = byte;
    }
}

} // namespace scansim
