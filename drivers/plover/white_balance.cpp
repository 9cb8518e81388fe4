#include "white_balance.h"

#include "calibration.h"
#include "chip_commands.h"
#include "chip_setup.h"
#include "gamma.h"
#include "module.h"
#include "pipeline.h"

#include <math.h>
#include <algorithm>
#include <vector>

using namespace lm9831;

namespace plover {

namespace {

const char kLedFile[] = "DadaVor.led";

// The file: a tag ("LED1"), the six times in register order, a check word.
enum : uint16_t { LED_FILE_TAG_HI = 0x4C45, LED_FILE_TAG_LO = 0x4431 };
enum : uint32_t { LED_FILE_WORDS = 9, LED_FILE_CHECK = LED_FILE_WORDS - 1 };

// LED on and off times of red, green and blue, as registers 0x2C-0x37 take them.
struct LedTimes {
    uint16_t on[3];
    uint16_t off[3];
};

enum : int {
    // The default tone curve lifts 233 to about 241: white, with room below 255 for the
    // pixels whose gains came out high (up to 5 %: the white reference saturates them).
    WHITE_TARGET = 233,
    MEASURE_LINES = 16,
    MEASURE_FIRST_PIXEL = 100, // the middle of the card, clear of its edges
    MEASURE_END_PIXEL = 1220,
    MEASURE_TRIES = 6,
    MIN_RESPONSE = 16,         // an LED this dim cannot be balanced
    SETTLE_MS = 200
};
const double kTolerance = 0.5; // levels before the tone curve, which steepens them by about 1.4

uint16_t CheckWord(const uint16_t* words)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i < LED_FILE_CHECK; ++i)
        sum = uint16_t(sum + words[i]);
    return uint16_t(~sum);
}

void Encode(const LedTimes& t, uint16_t words[LED_FILE_WORDS])
{
    words[0] = LED_FILE_TAG_HI;
    words[1] = LED_FILE_TAG_LO;
    for (int c = 0; c < 3; ++c) {
        words[2 + 2 * c] = t.on[c];
        words[3 + 2 * c] = t.off[c];
    }
    words[LED_FILE_CHECK] = CheckWord(words);
}

bool Decode(const uint16_t words[LED_FILE_WORDS], LedTimes* t)
{
    if (words[0] != LED_FILE_TAG_HI || words[1] != LED_FILE_TAG_LO || words[LED_FILE_CHECK] != CheckWord(words))
        return false;
    for (int c = 0; c < 3; ++c) {
        t->on[c] = words[2 + 2 * c];
        t->off[c] = words[3 + 2 * c];
        if (t->on[c] >= t->off[c] || t->off[c] > LINE_LENGTH)
            return false;
    }
    return true;
}

std::string LedFilePath(const PloverState& s) { return DriverFilePath(*s.platform, kLedFile); }

void SetLedTimes(RegisterImage& r, const LedTimes& t)
{
    for (int c = 0; c < 3; ++c) {
        r.set16(uint8_t(REG_LED_RED_ON + 4 * c), t.on[c]);
        r.set16(uint8_t(REG_LED_RED_OFF + 4 * c), t.off[c]);
    }
}

LedTimes ConfiguredLedTimes(const RegisterImage& r)
{
    LedTimes t;
    for (int c = 0; c < 3; ++c) {
        t.on[c] = r.get16(uint8_t(REG_LED_RED_ON + 4 * c));
        t.off[c] = r.get16(uint8_t(REG_LED_RED_OFF + 4 * c));
    }
    return t;
}

// A 600-dpi colour page over the whole bed: the measurement sees what colour pages see.
PageGeometry MeasurePage()
{
    ScanSettings settings = {};
    settings.mode = MODE_COLOR;
    settings.resolution = SENSOR_DPI;
    settings.right = BED_WIDTH;
    settings.bottom = BED_HEIGHT;
    PageGeometry page;
    ComputePage(settings, false, &page);
    return page;
}

// Programs the chip as for the colour page, with the tone curve neutral and the sheet
// held still (every line sees the same white).
void ProgramMeasurement(PloverState& s)
{
    RegisterImage& r = s.device.registers;
    ResetChip(s.device);
    Init9831(s);
    DownloadIdentityGamma(s);
    SetModeRegisters(r, s.page);
    FillCalibData(s);
    SetClockRegisters(r, s.config, s.page);
    SetLineWindow(r, s.page);
    r.set8(REG_MOTOR_CONTROL, 0);
}

// The mean of each channel (red, green, blue) over the middle of the lines, as the page
// delivers them (reversed block: pixels blue, green, red).
bool MeasureChannels(PloverState& s, const LedTimes& t, double mean[3])
{
    SetLedTimes(s.device.registers, t);
    WriteRegisterImage(s.device);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    WriteReg(s.device, REG_COMMAND, CMD_SCAN);
    s.platform->clock.sleep(s.platform->clock.context, SETTLE_MS);
    const size_t bpl = size_t(BytesPerLine(MODE_COLOR, s.page.width));
    const size_t n = bpl * MEASURE_LINES;
    std::vector<uint8_t> received(n + 1, 0), lines(n);
    const bool ok = ReadRegs(s.device, REG_DATA_PORT, received.data(), uint32_t(n), false);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    if (!ok)
        return false;
    ReverseBlock(received.data(), n, lines.data());
    for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int l = 0; l < MEASURE_LINES; ++l)
            for (int p = MEASURE_FIRST_PIXEL; p < MEASURE_END_PIXEL; ++p)
                sum += lines[l * bpl + 3 * p + (2 - c)];
        mean[c] = sum / (MEASURE_LINES * (MEASURE_END_PIXEL - MEASURE_FIRST_PIXEL));
    }
    return true;
}

bool Balanced(const double mean[3], double goal)
{
    for (int c = 0; c < 3; ++c)
        if (fabs(mean[c] - goal) > kTolerance)
            return false;
    return true;
}

// The light grows with the window: each window is scaled to the goal. When one would
// not fit in the line, the goal comes down to what that LED reaches. False when
// nothing changes any more.
bool Rescale(LedTimes& t, const double mean[3], double* goal)
{
    double want[3], fit = 1.0;
    for (int c = 0; c < 3; ++c) {
        want[c] = double(t.off[c] - t.on[c]) * *goal / mean[c];
        fit = std::min(fit, double(LINE_LENGTH - t.on[c]) / want[c]);
    }
    *goal *= fit;
    bool changed = false;
    for (int c = 0; c < 3; ++c) {
        const uint16_t off = uint16_t(t.on[c] + std::max(1.0, floor(want[c] * fit + 0.5)));
        changed = changed || off != t.off[c];
        t.off[c] = off;
    }
    return changed;
}

} // namespace

bool MeasureWhiteBalance(PloverState& s)
{
    const PageGeometry kept = s.page;
    s.page = MeasurePage();
    ProgramMeasurement(s);
    LedTimes t = ConfiguredLedTimes(s.device.registers);
    // Start below the calibrated exposure: a clipped channel does not tell how far over it is.
    for (int c = 0; c < 3; ++c)
        if (t.off[c] > t.on[c])
            t.off[c] = uint16_t(t.on[c] + (t.off[c] - t.on[c]) * 3 / 4);
    bool arrived = true;
    double goal = WHITE_TARGET;
    for (int attempt = 0; attempt < MEASURE_TRIES; ++attempt) {
        double mean[3];
        arrived = MeasureChannels(s, t, mean);
        if (!arrived)
            break;
        if (Balanced(mean, goal)) {
            uint16_t words[LED_FILE_WORDS];
            Encode(t, words);
            if (EnsureDriverFolder(*s.platform))
                WriteWordFile(*s.platform, LedFilePath(s), words, LED_FILE_WORDS);
            break;
        }
        if (std::min({mean[0], mean[1], mean[2]}) < MIN_RESPONSE || !Rescale(t, mean, &goal))
            break;
    }
    s.page = kept;
    // The eject that follows finds the motor set as for scanning, as after the white reference.
    s.device.registers.set8(REG_MOTOR_CONTROL, MOTOR_CONTROL_SCAN);
    WriteReg(s.device, REG_MOTOR_CONTROL, MOTOR_CONTROL_SCAN);
    return arrived;
}

void ForgetWhiteBalance(PloverState& s)
{
    const std::string path = LedFilePath(s);
    if (!path.empty())
        s.platform->files.remove(s.platform->files.context, path.c_str());
}

void ApplyWhiteBalance(PloverState& s)
{
    if (s.page.mode != MODE_COLOR)
        return;
    uint16_t words[LED_FILE_WORDS];
    LedTimes t;
    if (ReadWordFile(*s.platform, LedFilePath(s), words, LED_FILE_WORDS) && Decode(words, &t))
        SetLedTimes(s.device.registers, t);
}

} // namespace plover
