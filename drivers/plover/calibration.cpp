// Calibration: LED exposure, dark and white references, and the shading download
// before every page.
#include "calibration.h"

#include "chip_commands.h"
#include "chip_setup.h"
#include "driver_functions.h"
#include "gamma.h"
#include "messages.h"
#include "module.h"
#include "white_balance.h"

#include <stdio.h>
#include <string>
#include <vector>

using namespace lm9831;

namespace plover {

namespace {

const char kGrayOffsetFile[] = "DadaVorG.oft";
const char kGrayGainFile[] = "DadaVorG.gan";
const char kColorOffsetFile[] = "DadaVor.oft";
const char kGainListFile[] = "GryUsbGan2.txt";
const uint8_t kOffsetRegion[3] = {MEM_OFFSET_RED, MEM_OFFSET_GREEN, MEM_OFFSET_BLUE};
const uint8_t kGainRegion[3] = {MEM_GAIN_RED, MEM_GAIN_GREEN, MEM_GAIN_BLUE};

enum : int { CALIBRATION_MIN_FILE = 100, REFERENCE_LINES = 512, LED_START_OFF = 500,
             LED_STEP = 100, LED_MAX_OFF = LINE_LENGTH, LED_PROBE_FIRST = 1000,
             LED_PROBE_COUNT = 300, LED_MEASURE_STEP_SIZE = 344, CALIBRATION_EJECT_STEPS = 1200,
             SETTLE_MS = 200 };
enum : uint16_t { WHITE_FIXED_GAIN = 0x3FFF };

void Pause(const PloverState& s, uint32_t ms) { s.platform->clock.sleep(s.platform->clock.context, ms); }

void SetLineRegisters(PloverState& s)
{
    for (int c = 0; c < 3; ++c) {
        s.device.registers.set8(uint8_t(REG_LINE_OFFSET_RED + c), s.lineOffset[c]);
        s.device.registers.set8(uint8_t(REG_LINE_GAIN_RED + c), s.lineGain[c]);
    }
}

void ResetLineValues(PloverState& s)
{
    for (int c = 0; c < 3; ++c) {
        s.lineOffset[c] = 0;
        s.lineGain[c] = 16;
    }
}

void FileError(const PloverState& s, const std::string& path) { Tell(s, path.c_str(), "File Error"); }

void WriteTable(Device& d, uint8_t region, const uint16_t* words)
{
    uint8_t bytes[SHADING_FILE_BYTES];
    for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
        bytes[2 * i] = uint8_t(words[i] >> 8);
        bytes[2 * i + 1] = uint8_t(words[i]);
    }
    WriteMemory(d, region, bytes, SHADING_FILE_BYTES);
}

// The green gain list, a diagnostic file written fresh for every page.
void WriteGainList(const PloverState& s, const uint16_t* gains)
{
    const platform::FileOps& files = s.platform->files;
    char path[4096];
    if (!files.resolve(files.context, platform::DataPlace::Diagnostics, kGainListFile, path, sizeof path))
        return;
    files.remove(files.context, path);
    std::string text;
    char line[16];
    for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
        snprintf(line, sizeof line, "%03u\n", unsigned(gains[i]));
        text += line;
    }
    files.appendText(files.context, path, text.c_str());
}

std::string DriverFile(const PloverState& s, const char* name) { return DriverFilePath(*s.platform, name); }

// The mean of n lines per sensor pixel; false when the image data did not arrive.
bool GetOneGrayLine(PloverState& s, uint8_t* dest, bool illuminate, int n)
{
    RegisterImage& r = s.device.registers;
    r.set16(REG_SCAN_STEP_SIZE, LED_MEASURE_STEP_SIZE);
    r.set8(REG_ILLUMINATION, illuminate ? ILLUM_ALL : ILLUM_OFF);
    WriteRegisterImage(s.device);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    WriteReg(s.device, REG_COMMAND, CMD_SCAN);
    Pause(s, SETTLE_MS);
    std::vector<uint8_t> lines(size_t(SENSOR_PIXELS) * (n + 1));
    bool ok = ReadRegs(s.device, REG_DATA_PORT, lines.data(), uint32_t(lines.size()), false);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    for (int p = 0; p < SENSOR_PIXELS; ++p) {
        uint32_t sum = 0;
        for (int l = 0; l < n; ++l)
            sum += lines[size_t(l) * SENSOR_PIXELS + p];
        dest[p] = uint8_t(sum / uint32_t(n));
    }
    return ok;
}

bool LedExposure(PloverState& s)
{
    RegisterImage& r = s.device.registers;
    uint16_t on[3] = {1, 1, 1};
    uint16_t off[3] = {LED_START_OFF, LED_START_OFF, LED_START_OFF};
    r.set8(REG_MOTOR_CONTROL, 0);
    r.set8(REG_SHADING_MODE, SHADING_LED_MEASURE);
    int target = ConfigInt(s.config, CFG_LED_TARGET) & 0xFF;
    uint8_t line[SENSOR_PIXELS];
    for (;;) {
        for (int c = 0; c < 3; ++c) {
            r.set16(uint8_t(REG_LED_RED_ON + 4 * c), on[c]);
            r.set16(uint8_t(REG_LED_RED_OFF + 4 * c), off[c]);
        }
        if (!GetOneGrayLine(s, line, true, 1))
            return false;
        uint32_t sum = 0;
        for (int p = LED_PROBE_FIRST; p < LED_PROBE_FIRST + LED_PROBE_COUNT; ++p)
            sum += line[p];
        if (int(sum / LED_PROBE_COUNT) > target)
            break;
        for (int c = 0; c < 3; ++c)
            off[c] = uint16_t(off[c] + LED_STEP);
        if (off[1] > LED_MAX_OFF) {
            off[1] = LED_MAX_OFF;
            break;
        }
    }
    const ConfigKey keys[6] = {CFG_R_ON, CFG_G_ON, CFG_B_ON, CFG_R_OFF, CFG_G_OFF, CFG_B_OFF};
    const unsigned values[6] = {on[0], on[1], on[2], off[0], off[1], off[2]};
    for (int k = 0; k < 6; ++k)
        ConfigWriteUnsigned(s.config, kConfigIntKeys[keys[k]].section, kConfigIntKeys[keys[k]].name, values[k]);
    return true;
}

bool DarkReference(PloverState& s)
{
    RegisterImage& r = s.device.registers;
    ResetChip(s.device);
    Init9831(s);
    SetLineRegisters(s);
    r.set16(REG_FIXED_OFFSET, 0);
    r.set16(REG_FIXED_GAIN, GAIN_UNITY);
    r.set8(REG_SHADING_MODE, SHADING_NONE);
    r.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
    r.set8(REG_ILLUMINATION, ILLUM_ALL);
    uint8_t mean[SENSOR_PIXELS];
    if (!GetOneGrayLine(s, mean, false, REFERENCE_LINES))
        return false;
    uint16_t words[SHADING_WORDS];
    for (int p = 0; p < SENSOR_PIXELS; ++p)
        words[p] = uint16_t(mean[p] << 8);
    std::string path = DriverFile(s, kGrayOffsetFile);
    if (!EnsureDriverFolder(*s.platform) || !WriteWordFile(*s.platform, path, words, SHADING_WORDS))
        FileError(s, path);
    return true;
}

bool WhiteReference(PloverState& s)
{
    RegisterImage& r = s.device.registers;
    Init9831(s);
    r.set8(REG_SHADING_MODE, SHADING_OFFSETS_ONLY);
    WriteResetPair(s.device);
    ResetChip(s.device);
    SetLineRegisters(s);
    r.set16(REG_FIXED_OFFSET, 0);
    r.set16(REG_FIXED_GAIN, WHITE_FIXED_GAIN);
    uint16_t offsets[SHADING_WORDS];
    std::string offsetPath = DriverFile(s, kGrayOffsetFile);
    if (!ReadWordFile(*s.platform, offsetPath, offsets, SHADING_WORDS)) {
        FileError(s, offsetPath);
        return true;
    }
    for (uint8_t region : kOffsetRegion)
        WriteTable(s.device, region, offsets);
    r.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
    r.set8(REG_ILLUMINATION, ILLUM_ALL);
    uint8_t mean[SENSOR_PIXELS];
    if (!GetOneGrayLine(s, mean, true, REFERENCE_LINES))
        return false;
    uint16_t gains[SHADING_WORDS];
    for (int p = 0; p < SENSOR_PIXELS; ++p) {
        double m = mean[p] == 0 ? 255.0 : mean[p];
        double g = 255.0 / m * 16384.0;
        gains[p] = uint16_t(g > 65535.0 ? 65535.0 : g);
    }
    std::string path = DriverFile(s, kGrayGainFile);
    if (!EnsureDriverFolder(*s.platform) || !WriteWordFile(*s.platform, path, gains, SHADING_WORDS))
        FileError(s, path);
    return true;
}

} // namespace

int IsCalibrationNeeded(PloverState& s)
{
    if (!s.device.present)
        return 0;
    std::string path = DriverFile(s, kGrayOffsetFile);
    if (path.empty())
        return 1;
    // Opened for reading only: asking must not create the file.
    const platform::FileOps& files = s.platform->files;
    platform::FileHandle f = files.open(files.context, path.c_str(), platform::FileMode::ReadShared);
    if (!f)
        return 1;
    uint64_t size = 0;
    const bool known = files.size(files.context, f, &size);
    files.close(files.context, f);
    return !known || size < uint64_t(CALIBRATION_MIN_FILE) ? 1 : 0;
}

int CalibrateScanner(PloverState& s)
{
    Init9831(s);
    WriteRegisterImage(s.device);
    ResetLineValues(s);
    // Measurements go through the chip's gamma tables: make them neutral first.
    DownloadIdentityGamma(s);
    WriteReg(s.device, REG_COMMAND, CMD_FORWARD);
    Pause(s, SETTLE_MS);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    if (!IsPaperOn(s))
        return 0;
    ForgetWhiteBalance(s);
    bool measured = LedExposure(s);
    if (measured) {
        ResetLineValues(s);
        ResetChip(s.device);
        Init9831(s);
        SetLineRegisters(s);
        measured = DarkReference(s) && WhiteReference(s) && MeasureWhiteBalance(s);
    }
    RunSteps(s.device, CALIBRATION_EJECT_STEPS);
    WriteReg(s.device, REG_ILLUMINATION, ILLUM_OFF);
    return measured ? 1 : 0;
}

void FillCalibData(PloverState& s, const uint16_t (*gainCorrection)[SHADING_WORDS])
{
    const ConfigKey lineKeys[6] = {CFG_LINE_OFFSET_R, CFG_LINE_OFFSET_G, CFG_LINE_OFFSET_B,
                                   CFG_LINE_GAIN_R, CFG_LINE_GAIN_G, CFG_LINE_GAIN_B};
    for (int c = 0; c < 3; ++c) {
        s.lineOffset[c] = uint8_t(ConfigInt(s.config, lineKeys[c]));
        s.lineGain[c] = uint8_t(ConfigInt(s.config, lineKeys[3 + c]));
    }
    SetLineRegisters(s);

    ShadingTables& t = s.shading;
    bool colorOffsets = false;
    if (s.page.mode == MODE_COLOR) {
        const std::string path = DriverFile(s, kColorOffsetFile);
        colorOffsets = ReadWordFile(*s.platform, path, t.colorOffsets, 3 * SHADING_WORDS);
        if (colorOffsets)
            for (int c = 0; c < 3; ++c)
                for (uint32_t i = 0; i < SHADING_WORDS; ++i)
                    t.offsets[c][i] = t.colorOffsets[c * SHADING_WORDS + i];
    }
    if (!colorOffsets) {
        if (!ReadWordFile(*s.platform, DriverFile(s, kGrayOffsetFile), t.offsets[0], SHADING_WORDS))
            for (uint32_t i = 0; i < SHADING_WORDS; ++i)
                t.offsets[0][i] = 0;
        for (int c = 1; c < 3; ++c)
            for (uint32_t i = 0; i < SHADING_WORDS; ++i)
                t.offsets[c][i] = t.offsets[0][i];
    }
    if (!ReadWordFile(*s.platform, DriverFile(s, kGrayGainFile), t.gains[0], SHADING_WORDS))
        for (uint32_t i = 0; i < SHADING_WORDS; ++i)
            t.gains[0][i] = GAIN_UNITY;
    for (int c = 1; c < 3; ++c)
        for (uint32_t i = 0; i < SHADING_WORDS; ++i)
            t.gains[c][i] = t.gains[0][i];
    for (int c = 0; c < 3 && gainCorrection; ++c)
        for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
            const uint32_t g = (uint32_t(t.gains[c][i]) * gainCorrection[c][i] + GAIN_UNITY / 2) / GAIN_UNITY;
            t.gains[c][i] = uint16_t(g > 0xFFFF ? 0xFFFF : g);
        }

    bool zeroOffsets = ConfigInt(s.config, CFG_PIXEL_OFFSET) == 0;
    bool unityGains = ConfigInt(s.config, CFG_PIXEL_GAIN) == 0;
    for (int c = 0; c < 3; ++c) {
        ResampleShading(t.offsets[c], s.page.windowStart, s.page.wideCcd, s.page.dpi);
        ResampleShading(t.gains[c], s.page.windowStart, s.page.wideCcd, s.page.dpi);
    }
    WriteGainList(s, t.gains[1]);
    for (int c = 0; c < 3; ++c) {
        for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
            if (zeroOffsets)
                t.offsets[c][i] = 0;
            if (unityGains)
                t.gains[c][i] = GAIN_UNITY;
        }
    }
    for (int c = 0; c < 3; ++c)
        WriteTable(s.device, kOffsetRegion[c], t.offsets[c]);
    for (int c = 0; c < 3; ++c)
        WriteTable(s.device, kGainRegion[c], t.gains[c]);
}

} // namespace plover
