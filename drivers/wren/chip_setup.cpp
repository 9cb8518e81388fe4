#include "chip_setup.h"

#include <math.h>

using namespace lm9831;

namespace wren {

namespace {

// Defaults of every programming; where two values differ, [0] is variant 0, [1] variant 1.
struct DefaultRegister {
    uint8_t reg;
    uint8_t value[2];
};
const DefaultRegister kDefaults[] = {
    {0x0B, {9, 2}},       {0x0D, {0x65, 0x25}}, {0x0E, {0x13, 0x06}}, {0x0F, {5, 5}},
    {0x10, {0x0A, 0x0A}}, {0x11, {5, 1}},       {0x12, {7, 2}},       {0x13, {0, 3}},
    {0x14, {1, 4}},       {0x17, {6, 4}},       {0x18, {2, 7}},       {0x1A, {1, 1}},
    {0x1B, {1, 1}},       {0x1D, {0x0F, 0x0F}}, {0x2A, {0x0F, 0x0F}}, {0x2B, {0xFF, 0xFF}},
    {0x45, {0x13, 0x13}}, {0x53, {1, 1}},       {0x55, {0x1B, 0x1B}}, {0x56, {8, 8}},
    {0x57, {0x15, 0x15}}, {0x59, {0x26, 0x26}}, {0x5A, {0x62, 0x62}}, {0x5B, {0xF6, 0xF6}},
    {0x70, {0x73, 0x73}},
};

const double kDividerRatio[8] = {1, 1.5, 2, 3, 4, 6, 8, 12};
const int kMasterClockHz = 96000000;
const uint16_t kLedOn[2] = {1300, 200};
const int kDummyPlusMargin = 15 + 20;

uint8_t DividerCode(int resolution)
{
    int q = 6000 / resolution;
    return q >= 120 ? 0x1F : q >= 80 ? 0x1E : q >= 60 ? 0x1D : q >= 40 ? 0x1C
         : q >= 30 ? 0x1B : q >= 20 ? 0x1A : q >= 15 ? 0x19 : 0x18;
}

int BitsPerPixel(uint8_t format)
{
    switch (format & PIXEL_FORMAT_DEPTH) {
    case PIXEL_DEPTH_1: return 1;
    case PIXEL_DEPTH_2: return 2;
    case PIXEL_DEPTH_4: return 4;
    case PIXEL_DEPTH_8: return 8;
    case PIXEL_DEPTH_16: return 16;
    default: return 8;
    }
}

} // namespace

int LinePeriod(RegisterImage& r, bool undivided)
{
    const int L = r.get16(REG_LINE_LENGTH);
    const int mode = r.get8(REG_CHANNEL_MODE) & 7;
    const int t = (mode == 1 || mode == 5) ? 3 : 1;
    int u = 1;
    if (r.get8(REG_SENSOR_CONTROL) & 3) {
        u = ((r.get8(REG_SENSOR_CONTROL) >> 2) & 3) + 2;
        if (u == 5)
            u = 6;
    }
    const int v = (r.get8(REG_SENSOR_TIMING_0B) >> 3) & 3;
    const int w = r.get8(REG_INTEGRATION_ADJUST) & 0x7F;
    const int s = r.get8(REG_SENSOR_TIMING_0D) >> 7;
    const int e0 = r.get8(REG_SENSOR_TIMING_0E);
    int A;
    if (v == 0)
        A = ((e0 & 0x0F) + (e0 >> 4) * 2 + 1) * (s + 1) + (1 - s) * (w != 0 ? 1 : 0);
    else if (v == 2)
        A = 3;
    else
        A = 1;
    int P = t * ((A - s + 3) * u + L);
    if (w != 0) {
        const int h = (w + 1) >> 1;
        int E, F;
        if (mode != 0) {
            E = (h + (L + A) * 8 + 11) / (w * 8) + 1;
            F = (w * E * 8 - h - 7) % 8;
        } else {
            E = (h + (L + A) * 24 + 35) / (w * 24) + 1;
            F = (w * E * 24 - h - 23) % 24;
        }
        P = t * (E + L + A + 4 + (F == 0 ? 1 : 0));
    } else if (v == 0) {
        P = P + t;
    }
    const int M = r.get16(REG_SCAN_STEP_SIZE);
    const uint8_t r51 = r.get8(REG_LINE_PERIOD_HI);
    const int field = (r51 >> 4) & 3;
    const int k = (r.get8(REG_MOTOR_50) & 0x3F) + 4 * (field == 3 ? 8 : field) +
                  2 * (r51 < 192 ? (r51 >> 6) : 8);
    const int Q = P != 0 ? P - int((int64_t(M) * k * 4) % P) : 0;
    r.set8(REG_LINE_PERIOD_LO, uint8_t(Q & 0xFF));
    r.set8(REG_LINE_PERIOD_MID, uint8_t((Q >> 8) & 0xFF));
    r.set8(REG_LINE_PERIOD_HI, uint8_t(r51 | ((Q >> 16) & 3)));
    return undivided ? P : P / t;
}

void BufferLevel(RegisterImage& r)
{
    const uint8_t format = r.get8(REG_PIXEL_FORMAT);
    const double ratio = kDividerRatio[format & 7];
    const int span = int(r.get16(REG_END_PIXEL)) - int(r.get16(REG_START_PIXEL));
    const double bytes = trunc(span / ratio) * (BitsPerPixel(format) / 8.0) * 3.0;
    const int d = (int(floor(bytes)) & ~1) + 2;
    int f = ((r.get8(REG_SHADING_MODE) & SHADING_BUFFER_MASK) == SHADING_BUFFER_LARGE ? 512 : 256) -
            d / 1024 - 217;
    if (r.get8(REG_MOTOR_50) == 0)
        f -= ((r.get8(REG_MOTOR_54) & 7) * d + 1023) / 1024;
    r.set8(REG_BUFFER_LEVEL, uint8_t(f > 2 ? f - 2 : f));
    r.set8(REG_BUFFER_4F, 0);
}

void MasterClockDivider(RegisterImage& r, int a)
{
    const int mode = r.get8(REG_CHANNEL_MODE) & 7;
    const double q = mode != 0 ? 8 : 24;
    const int code = r.get8(REG_PIXEL_FORMAT) & 7;
    const double k1 = code >= 2 ? 4 : 1;
    const double g = kDividerRatio[code];
    const double k2 = mode == 5 ? 3 : 1;
    const double M = r.get16(REG_SCAN_STEP_SIZE);
    const int n = int(r.get16(REG_END_PIXEL)) - int(r.get16(REG_START_PIXEL));
    const double clock = kMasterClockHz;
    auto bounded = [](double value, double low) {
        if (value <= low)
            value = low;
        return value >= 65 ? 65.0 : value;
    };
    double e = floor(k1 * clock / (a * q * 1000));
    if (e <= 2)
        e = 2;
    const double h = double(int(n / g));
    double lo = bounded(ceil((h * clock) / (h * k2 * 1000 * a * 8)), e);
    double hi = bounded(floor(1728000000.0 / (a * q * 1000)), e);
    double o = bounded(ceil(clock / (M * q * 4800)), e);
    if (o > hi) {
        lo = hi;
        o = hi;
    }
    const double R = lo;
    int i = int(lo), x = 0, T = 1;
    const int high = int(hi), start = int(o);
    for (;;) {
        if (T * i * g >= 12 && i <= high && (x + 1) * i >= R)
            break;
        if (x == 0 && i < high) {
            ++i;
        } else {
            ++T;
            x = T;
            i = start;
        }
    }
    r.set8(REG_INTEGRATION_ADJUST, uint8_t(x));
    r.set8(REG_MCLK_DIVIDER, uint8_t((i > start ? i : start) - 2));
}

RegisterImage ComputeRegisters(const ChipSetup& s)
{
    const int variant = s.variant ? 1 : 0;
    RegisterImage r;
    for (const DefaultRegister& d : kDefaults)
        r.set8(d.reg, d.value[variant]);
    r.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
    r.set8(REG_ILLUMINATION, s.lampOff ? ILLUM_OFF : ILLUM_ALL);
    for (int c = 0; c < 3; ++c) {
        r.set8(uint8_t(REG_LINE_OFFSET_RED + c), s.lineOffset);
        r.set8(uint8_t(REG_LINE_GAIN_RED + c), s.lineGain);
    }
    r.set16(REG_FIXED_OFFSET, s.fixedOffset);
    r.set16(REG_FIXED_GAIN, s.fixedGain);
    r.set8(REG_SHADING_MODE, SHADING_NONE); // the module corrects the lines itself
    uint8_t motor = r.get8(REG_MOTOR_CONTROL);
    r.set8(REG_MOTOR_CONTROL, s.motor ? uint8_t(motor | MOTOR_SCAN_MOTION) : uint8_t(motor & ~MOTOR_SCAN_MOTION));

    r.set8(REG_PIXEL_FORMAT, DividerCode(s.resolution));
    const uint16_t dummy = r.get8(REG_SENSOR_TIMING_1D);
    r.set16(REG_DUMMY_PIXELS, dummy);
    const int start = dummy + s.firstPixel * 600 / s.resolution;
    r.set16(REG_START_PIXEL, uint16_t(start));
    r.set16(REG_END_PIXEL, uint16_t(start + s.rawPixels * 600 / s.resolution));
    r.set16(REG_STEP_COUNT, s.steps);

    for (int k = 0; k < 5; ++k)
        r.set16(uint8_t(REG_LED_RED_ON + 2 * k), kLedOn[variant]);
    r.set16(REG_LED_BLUE_OFF, s.exposure);
    const int shortest = kDummyPlusMargin + (variant ? 1305 : 1300);
    r.set16(REG_LINE_LENGTH, uint16_t(s.exposure > shortest ? s.exposure : shortest));

    const int whole = LinePeriod(r, true);
    const int stepSize = s.resolution * whole / 2400;
    r.set16(REG_SCAN_STEP_SIZE, uint16_t(stepSize > 2 ? stepSize : 2));
    const int effective = LinePeriod(r, false);
    BufferLevel(r);
    MasterClockDivider(r, effective);
    LinePeriod(r, false);
    BufferLevel(r);
    r.set16(REG_FAST_STEP_SIZE, r.get16(REG_SCAN_STEP_SIZE));
    return r;
}

bool ProgramChip(const Link& h, const RegisterImage& r, bool identityGamma)
{
    const uint8_t* b = r.data();
    bool ok = WriteReg(h, REG_SENSOR_TIMING_18, 0x18);
    if (h.isOpen())
        h.platform->clock.sleep(h.platform->clock.context, 2);
    ok = WriteReg(h, REG_COMMAND, CMD_RESET) && ok;
    ok = WriteReg(h, REG_INTEGRATION_ADJUST, 6) && ok;
    ok = WriteRegs(h, REG_MCLK_DIVIDER, b + REG_MCLK_DIVIDER, 87, true) && ok;
    ok = WriteRegs(h, REG_MEM_REGION, b + REG_MEM_REGION, 3, true) && ok;
    ok = WriteRegs(h, REG_HIGH_5C, b + REG_HIGH_5C, REGISTER_FILE_SIZE - REG_HIGH_5C, true) && ok;
    ok = WriteReg(h, REG_COMMAND, CMD_STOP) && ok;
    if (identityGamma) {
        uint8_t gamma[GAMMA_TABLE_SIZE];
        for (uint32_t e = 0; e < GAMMA_TABLE_SIZE; ++e)
            gamma[e] = uint8_t(e / 16);
        for (uint8_t region : {MEM_GAMMA_RED, MEM_GAMMA_GREEN, MEM_GAMMA_BLUE})
            ok = WriteMemory(h, region, gamma, GAMMA_TABLE_SIZE) && ok;
    }
    return ok;
}

} // namespace wren
