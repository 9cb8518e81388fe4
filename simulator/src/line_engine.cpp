// The image data port: line shape from the window and divider registers, optics of
// the sensor over the sheet, the analog stage, chip shading, gamma and packing.
//
// Line shape: the window runs from the start to the end pixel register (sensor
// positions), the divider code of REG_PIXEL_FORMAT averages `ratio` sensor pixels per
// output pixel, and the sheet moves `ratio` motor steps per line while
// MOTOR_SCAN_MOTION is set (600 / ratio lines per inch).
//   CCD kind: (end - start + 2) / ratio pixels. The line leaves far end first (red,
//   green, blue within a pixel, samples packed most significant bit first) behind one
//   latched byte: the byte the sensor read just past the window's end.
//   CIS kind: ((end - start) / ratio rounded down to even) + 2 pixels, in sensor
//   order from the window's start.
#include "device.h"

#include <algorithm>
#include <math.h>

namespace scansim {

namespace {

const double kRatio[8] = {1, 1.5, 2, 3, 4, 6, 8, 12};
const double kBacking = 0.04; // the dark plate behind the paper path
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
    int span = geometry_.pipelineByte ? f.end - f.start + 2 : f.end - f.start;
    if (span <= 0)
        return f.pixels = 0, f.bytes = 0, f;
    f.pixels = int(floor(span / f.ratio + 1e-9));
    if (!geometry_.pipelineByte)
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
    double reflect[3] = {kBacking, kBacking, kBacking};
    int x = s - geometry_.sheetOrigin;
    if (x < 0)
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
    bool farEndFirst = geometry_.pipelineByte;
    // Groups in the order they leave the chip; the CCD adds groups past the window's
    // end until they fill the one latched byte.
    int extra = 0;
    if (farEndFirst)
        for (extra = 1; (extra * f.channels * f.bits) % 8 != 0; ++extra) {
        }
    int groups = f.pixels + extra;
    double row = paper_.rowAtScanLine();
    int rows = std::max(1, int(f.ratio + 0.5));
    bool motion = scanRegs_.get8(REG_MOTOR_CONTROL) & MOTOR_SCAN_MOTION;
    if (!motion)
        rows = 1;

    std::vector<uint16_t> samples;
    samples.reserve(size_t(groups) * f.channels);
    for (int n = 0; n < groups; ++n) {
        int g = farEndFirst ? groups - 1 - n : n;
        int p0 = f.start + int(floor(g * f.ratio + 1e-9));
        int p1 = std::max(p0 + 1, f.start + int(floor((g + 1) * f.ratio + 1e-9)));
        for (int c = 0; c < f.channels; ++c) {
            int light = f.channels == 3 ? c : 1; // one channel: green LED and tables
            double sum = 0;
            for (int y = 0; y < rows; ++y)
                for (int p = p0; p < p1; ++p)
                    sum += analogSample(p, row + y, light);
            double analog = sum / (rows * (p1 - p0)) + pixelNoise(lineCounter_, g * 3 + c, kNoise);
            samples.push_back(chipPipeline(analog, g, light));
        }
    }
    ++lineCounter_;
    ++linesScanned_;
    if (motion)
        paper_.step(f.ratio);

    // Pack most significant bit first, then drop the head that precedes the latched byte.
    std::vector<uint8_t> packed;
    uint32_t acc = 0;
    int accBits = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        int light = f.channels == 3 ? int(i % 3) : 1;
        uint32_t v;
        if (f.bits == 16) {
            v = samples[i];
        } else {
            const std::vector<uint8_t>* gamma = region(kGammaRegion[light]);
            uint8_t g8 = (*gamma)[samples[i] >> 4];
            v = uint32_t(g8) >> (8 - f.bits);
        }
        acc = (acc << f.bits) | v;
        accBits += f.bits;
        while (accBits >= 8) {
            packed.push_back(uint8_t(acc >> (accBits - 8)));
            accBits -= 8;
        }
    }
    if (accBits > 0)
        packed.push_back(uint8_t(acc << (8 - accBits)));
    size_t head = farEndFirst ? size_t(extra) * f.channels * f.bits / 8 - 1 : 0;
    out.assign(packed.begin() + head, packed.begin() + head + f.bytes);
}

} // namespace scansim
