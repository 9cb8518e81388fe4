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

// The file: a tag, the six times in register order, for "LED2" the gain corrections of
// red, green and blue (a table of sensor pixels each), a check word over all before it.
enum : uint16_t { LED_FILE_TAG_HI = 0x4C45, LED1_TAG_LO = 0x4431, LED2_TAG_LO = 0x4432 };
enum : uint32_t { LED_FILE_TIMES = 2, LED1_WORDS = LED_FILE_TIMES + 6 + 1,
                  LED2_CORRECTION = LED_FILE_TIMES + 6, LED2_WORDS = LED2_CORRECTION + 3 * SHADING_WORDS + 1 };

enum : int {
    // The default tone curve lifts 235 to about 244: white, with room below 255 for the
    // columns that read high below 600 dpi (gains averaged, not responses).
    WHITE_TARGET = 235,
    MEASURE_LINES = 16,
    MEASURE_FIRST_PIXEL = 100, // the middle of the card, clear of its edges
    MEASURE_END_PIXEL = 1220,
    MEASURE_TRIES = 6,
    MIN_RESPONSE = 16,         // an LED this dim cannot be balanced
    SETTLE_MS = 200
};
const double kTolerance = 0.5; // levels before the tone curve, which steepens them by about 1.4
// Gain corrections stay within this range; pixels below the lower share of the white
// level see the backing or the card's edge and keep their gains.
const double kCorrectionMin = 0.75, kCorrectionMax = 1.33;

uint16_t CheckWord(const uint16_t* words, uint32_t count)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i + 1 < count; ++i)
        sum = uint16_t(sum + words[i]);
    return uint16_t(~sum);
}

uint16_t CorrectionWord(double k) { return uint16_t(floor(k * GAIN_UNITY + 0.5)); }

bool CorrectionInRange(uint16_t word)
{
    return word >= CorrectionWord(kCorrectionMin) && word <= CorrectionWord(kCorrectionMax);
}

void Encode(const WhiteBalance& b, std::vector<uint16_t>& words)
{
    words.assign(LED2_WORDS, 0);
    words[0] = LED_FILE_TAG_HI;
    words[1] = LED2_TAG_LO;
    for (int c = 0; c < 3; ++c) {
        words[LED_FILE_TIMES + 2 * c] = b.led.on[c];
        words[LED_FILE_TIMES + 1 + 2 * c] = b.led.off[c];
        for (uint32_t i = 0; i < SHADING_WORDS; ++i)
            words[LED2_CORRECTION + c * SHADING_WORDS + i] = b.gainCorrection[c][i];
    }
    words[LED2_WORDS - 1] = CheckWord(words.data(), LED2_WORDS);
}

bool Decode(const std::vector<uint16_t>& words, WhiteBalance* b)
{
    const uint32_t count = uint32_t(words.size());
    const uint16_t tag = count == LED2_WORDS ? LED2_TAG_LO : LED1_TAG_LO;
    if (words[0] != LED_FILE_TAG_HI || words[1] != tag || words[count - 1] != CheckWord(words.data(), count))
        return false;
    for (int c = 0; c < 3; ++c) {
        b->led.on[c] = words[LED_FILE_TIMES + 2 * c];
        b->led.off[c] = words[LED_FILE_TIMES + 1 + 2 * c];
        if (b->led.on[c] >= b->led.off[c] || b->led.off[c] > LINE_LENGTH)
            return false;
    }
    b->corrected = count == LED2_WORDS;
    for (int c = 0; c < 3 && b->corrected; ++c)
        for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
            b->gainCorrection[c][i] = words[LED2_CORRECTION + c * SHADING_WORDS + i];
            if (!CorrectionInRange(b->gainCorrection[c][i]))
                return false;
        }
    return true;
}

std::string LedFilePath(const PloverState& s) { return DriverFilePath(*s.platform, kLedFile); }

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
    FillCalibData(s, nullptr); // the gray gains as they are: the correction comes from them
    SetClockRegisters(r, s.config, s.page);
    SetLineWindow(r, s.page);
    r.set8(REG_MOTOR_CONTROL, 0);
}

// What a measurement of the white card saw, per channel (red, green, blue).
struct Measurement {
    double mean[3];                // over the middle of the card
    std::vector<double> column[3]; // per sensor pixel (shading word); 0 outside the window
};

// Measures the lines as the page delivers them: a reversed block, pixels blue, green,
// red; output pixel p shows window pixel width - p (pixel 0 is the line's seam).
bool MeasureChannels(PloverState& s, const LedTimes& t, Measurement* m)
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
        m->mean[c] = sum / (MEASURE_LINES * (MEASURE_END_PIXEL - MEASURE_FIRST_PIXEL));
        m->column[c].assign(SHADING_WORDS, 0.0);
        for (int p = 1; p < s.page.width; ++p) {
            const int word = s.page.windowStart + (s.page.width - p);
            if (word < 0 || word >= int(SHADING_WORDS))
                continue;
            double column = 0;
            for (int l = 0; l < MEASURE_LINES; ++l)
                column += lines[l * bpl + 3 * p + (2 - c)];
            m->column[c][size_t(word)] = column / MEASURE_LINES;
        }
    }
    return true;
}

// Brings every pixel on the card to the goal: the gray gains fit all LEDs together, and
// those of the pixels the white reference saturated are too high.
void DeriveGainCorrection(const Measurement& m, double goal, WhiteBalance* b)
{
    for (int c = 0; c < 3; ++c)
        for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
            const double seen = m.column[c][i];
            double k = 1.0;
            if (seen >= goal * kCorrectionMin)
                k = std::max(kCorrectionMin, std::min(kCorrectionMax, goal / seen));
            b->gainCorrection[c][i] = CorrectionWord(k);
        }
    b->corrected = true;
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
    Measurement m;
    for (int attempt = 0; attempt < MEASURE_TRIES; ++attempt) {
        arrived = MeasureChannels(s, t, &m);
        if (!arrived)
            break;
        if (Balanced(m.mean, goal)) {
            WhiteBalance balance;
            balance.led = t;
            DeriveGainCorrection(m, goal, &balance);
            std::vector<uint16_t> words;
            Encode(balance, words);
            if (EnsureDriverFolder(*s.platform))
                WriteWordFile(*s.platform, LedFilePath(s), words.data(), LED2_WORDS);
            break;
        }
        if (std::min({m.mean[0], m.mean[1], m.mean[2]}) < MIN_RESPONSE || !Rescale(t, m.mean, &goal))
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

bool LoadWhiteBalance(const PloverState& s, WhiteBalance* balance)
{
    if (s.page.mode != MODE_COLOR)
        return false;
    const std::string path = LedFilePath(s);
    for (uint32_t count : {uint32_t(LED2_WORDS), uint32_t(LED1_WORDS)}) {
        std::vector<uint16_t> words(count);
        if (ReadWordFile(*s.platform, path, words.data(), count))
            return Decode(words, balance);
    }
    return false;
}

void SetLedTimes(RegisterImage& r, const LedTimes& t)
{
    for (int c = 0; c < 3; ++c) {
        r.set16(uint8_t(REG_LED_RED_ON + 4 * c), t.on[c]);
        r.set16(uint8_t(REG_LED_RED_OFF + 4 * c), t.off[c]);
    }
}

} // namespace plover
