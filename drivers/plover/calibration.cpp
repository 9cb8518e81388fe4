// Calibration: LED exposure, dark and white references, and the shading download
// before every page.
#include "config.h"
#include "driver_state.h"
#include "messages.h"
#include "shading.h"
#include "transport.h"

#include <stdio.h>
#include <vector>

using namespace lm9831;

int PloverRunSteps(int steps);
IO_EXPORT int IO_IsPaperOn(void);

namespace {

const char kGrayOffsetFile[] = "DadaVorG.oft";
const char kGrayGainFile[] = "DadaVorG.gan";
const char kColorOffsetFile[] = "DadaVor.oft";
const char kGainListFile[] = "C:\\GryUsbGan2.txt";
const uint8_t kOffsetRegion[3] = {MEM_OFFSET_RED, MEM_OFFSET_GREEN, MEM_OFFSET_BLUE};
const uint8_t kGainRegion[3] = {MEM_GAIN_RED, MEM_GAIN_GREEN, MEM_GAIN_BLUE};

enum : int { CALIBRATION_MIN_FILE = 100, REFERENCE_LINES = 512, LED_START_OFF = 500,
             LED_STEP = 100, LED_MAX_OFF = LINE_LENGTH, LED_PROBE_FIRST = 1000,
             LED_PROBE_COUNT = 300, LED_MEASURE_STEP_SIZE = 344 };
enum : uint16_t { WHITE_FIXED_GAIN = 0x3FFF };

void SetLineRegisters()
{
    for (int c = 0; c < 3; ++c) {
        Reg9831.set8(uint8_t(REG_LINE_OFFSET_RED + c), g_LineOffset[c]);
        Reg9831.set8(uint8_t(REG_LINE_GAIN_RED + c), g_LineGain[c]);
    }
}

void ResetLineValues()
{
    for (int c = 0; c < 3; ++c) {
        g_LineOffset[c] = 0;
        g_LineGain[c] = 16;
    }
}

void FileError(const std::string& path)
{
    PloverMessageBox(path.c_str(), "File Error", MB_OK);
}

void WriteTable(uint8_t region, const uint16_t* words)
{
    uint8_t bytes[SHADING_FILE_BYTES];
    for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
        bytes[2 * i] = uint8_t(words[i] >> 8);
        bytes[2 * i + 1] = uint8_t(words[i]);
    }
    WriteMemory(region, bytes, SHADING_FILE_BYTES);
}

// The green gain list, a diagnostic file written fresh for every page.
void WriteGainList(const uint16_t* gains)
{
    DeleteFileA(kGainListFile);
    FILE* f = fopen(kGainListFile, "a");
    if (!f)
        return;
    for (uint32_t i = 0; i < SHADING_WORDS; ++i)
        fprintf(f, "%03u\n", unsigned(gains[i]));
    fclose(f);
}

} // namespace

// The mean of n lines per sensor pixel; false when the image data did not arrive.
bool GetOneGrayLine(uint8_t* dest, bool illuminate, int n)
{
    Reg9831.set16(REG_SCAN_STEP_SIZE, LED_MEASURE_STEP_SIZE);
    Reg9831.set8(REG_ILLUMINATION, illuminate ? ILLUM_ALL : ILLUM_OFF);
    WriteRegisterImage();
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    UsbWriteReg(REG_COMMAND, CMD_SCAN);
    Sleep(200);
    std::vector<uint8_t> lines(size_t(SENSOR_PIXELS) * (n + 1));
    int ok = UsbReadRegs(REG_DATA_PORT, lines.data(), uint32_t(lines.size()), false);
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    for (int p = 0; p < SENSOR_PIXELS; ++p) {
        uint32_t sum = 0;
        for (int l = 0; l < n; ++l)
            sum += lines[size_t(l) * SENSOR_PIXELS + p];
        dest[p] = uint8_t(sum / uint32_t(n));
    }
    return ok != 0;
}

IO_EXPORT int IO_IsCalibrationNeeded(void)
{
    if (!g_DevicePresent)
        return 0;
    std::string path = DriverFilePath(kGrayOffsetFile);
    if (path.empty())
        return 1;
    // Opened for reading only: asking must not create the file.
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD size = GetFileSize(f, nullptr);
    CloseHandle(f);
    return size == INVALID_FILE_SIZE || size < DWORD(CALIBRATION_MIN_FILE) ? 1 : 0;
}

namespace {

bool LedExposure()
{
    uint16_t on[3] = {1, 1, 1};
    uint16_t off[3] = {LED_START_OFF, LED_START_OFF, LED_START_OFF};
    Reg9831.set8(REG_MOTOR_CONTROL, 0);
    Reg9831.set8(REG_SHADING_MODE, SHADING_LED_MEASURE);
    int target = ConfigInt(CFG_LED_TARGET) & 0xFF;
    uint8_t line[SENSOR_PIXELS];
    for (;;) {
        for (int c = 0; c < 3; ++c) {
            Reg9831.set16(uint8_t(REG_LED_RED_ON + 4 * c), on[c]);
            Reg9831.set16(uint8_t(REG_LED_RED_OFF + 4 * c), off[c]);
        }
        if (!GetOneGrayLine(line, true, 1))
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
        ConfigWriteUnsigned(kConfigIntKeys[keys[k]].section, kConfigIntKeys[keys[k]].name, values[k]);
    return true;
}

bool DarkReference()
{
    ResetChip();
    Init9831();
    SetLineRegisters();
    Reg9831.set16(REG_FIXED_OFFSET, 0);
    Reg9831.set16(REG_FIXED_GAIN, GAIN_UNITY);
    Reg9831.set8(REG_SHADING_MODE, SHADING_NONE);
    Reg9831.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
    Reg9831.set8(REG_ILLUMINATION, ILLUM_ALL);
    uint8_t mean[SENSOR_PIXELS];
    if (!GetOneGrayLine(mean, false, REFERENCE_LINES))
        return false;
    uint16_t words[SHADING_WORDS];
    for (int p = 0; p < SENSOR_PIXELS; ++p)
        words[p] = uint16_t(mean[p] << 8);
    std::string path = DriverFilePath(kGrayOffsetFile);
    if (!EnsureDriverFolder() || !WriteWordFile(path, words, SHADING_WORDS))
        FileError(path);
    return true;
}

bool WhiteReference()
{
    Init9831();
    Reg9831.set8(REG_SHADING_MODE, SHADING_OFFSETS_ONLY);
    WriteResetPair();
    ResetChip();
    SetLineRegisters();
    Reg9831.set16(REG_FIXED_OFFSET, 0);
    Reg9831.set16(REG_FIXED_GAIN, WHITE_FIXED_GAIN);
    uint16_t offsets[SHADING_WORDS];
    std::string offsetPath = DriverFilePath(kGrayOffsetFile);
    if (!ReadWordFile(offsetPath, offsets, SHADING_WORDS)) {
        FileError(offsetPath);
        return true;
    }
    for (uint8_t region : kOffsetRegion)
        WriteTable(region, offsets);
    Reg9831.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
    Reg9831.set8(REG_ILLUMINATION, ILLUM_ALL);
    uint8_t mean[SENSOR_PIXELS];
    if (!GetOneGrayLine(mean, true, REFERENCE_LINES))
        return false;
    uint16_t gains[SHADING_WORDS];
    for (int p = 0; p < SENSOR_PIXELS; ++p) {
        double m = mean[p] == 0 ? 255.0 : mean[p];
        double g = 255.0 / m * 16384.0;
        gains[p] = uint16_t(g > 65535.0 ? 65535.0 : g);
    }
    std::string path = DriverFilePath(kGrayGainFile);
    if (!EnsureDriverFolder() || !WriteWordFile(path, gains, SHADING_WORDS))
        FileError(path);
    return true;
}

} // namespace

IO_EXPORT int IO_CalibrateScanner(int)
{
    Init9831();
    WriteRegisterImage();
    ResetLineValues();
    // Measurements go through the chip's gamma tables: make them neutral first.
    DownloadIdentityGamma();
    UsbWriteReg(REG_COMMAND, CMD_FORWARD);
    Sleep(200);
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    if (!IO_IsPaperOn())
        return 0;
    bool measured = LedExposure();
    if (measured) {
        ResetLineValues();
        ResetChip();
        Init9831();
        SetLineRegisters();
        measured = DarkReference() && WhiteReference();
    }
    PloverRunSteps(1200);
    UsbWriteReg(REG_ILLUMINATION, ILLUM_OFF);
    return measured ? 1 : 0;
}

// Loads the calibration tables, cuts and resamples them to the page and downloads
// them. Missing or damaged files give neutral tables, never stale or zero ones.
void FillCalibData()
{
    const ConfigKey lineKeys[6] = {CFG_LINE_OFFSET_R, CFG_LINE_OFFSET_G, CFG_LINE_OFFSET_B,
                                   CFG_LINE_GAIN_R, CFG_LINE_GAIN_G, CFG_LINE_GAIN_B};
    for (int c = 0; c < 3; ++c) {
        g_LineOffset[c] = uint8_t(ConfigInt(lineKeys[c]));
        g_LineGain[c] = uint8_t(ConfigInt(lineKeys[3 + c]));
    }
    SetLineRegisters();

    static uint16_t offsets[3][SHADING_WORDS], gains[3][SHADING_WORDS];
    bool colorOffsets = false;
    if (g_Page.mode == MODE_COLOR) {
        static uint16_t all[3 * SHADING_WORDS];
        colorOffsets = ReadWordFile(DriverFilePath(kColorOffsetFile), all, 3 * SHADING_WORDS);
        if (colorOffsets)
            for (int c = 0; c < 3; ++c)
                for (uint32_t i = 0; i < SHADING_WORDS; ++i)
                    offsets[c][i] = all[c * SHADING_WORDS + i];
    }
    if (!colorOffsets) {
        if (!ReadWordFile(DriverFilePath(kGrayOffsetFile), offsets[0], SHADING_WORDS))
            for (uint32_t i = 0; i < SHADING_WORDS; ++i)
                offsets[0][i] = 0;
        for (int c = 1; c < 3; ++c)
            for (uint32_t i = 0; i < SHADING_WORDS; ++i)
                offsets[c][i] = offsets[0][i];
    }
    if (!ReadWordFile(DriverFilePath(kGrayGainFile), gains[0], SHADING_WORDS))
        for (uint32_t i = 0; i < SHADING_WORDS; ++i)
            gains[0][i] = GAIN_UNITY;
    for (int c = 1; c < 3; ++c)
        for (uint32_t i = 0; i < SHADING_WORDS; ++i)
            gains[c][i] = gains[0][i];

    if (g_ScanDpi == 0)
        g_ScanDpi = SENSOR_DPI;
    bool zeroOffsets = ConfigInt(CFG_PIXEL_OFFSET) == 0;
    bool unityGains = ConfigInt(CFG_PIXEL_GAIN) == 0;
    for (int c = 0; c < 3; ++c) {
        ResampleShading(offsets[c], g_Page.windowStart, g_Page.wideCcd, g_ScanDpi);
        ResampleShading(gains[c], g_Page.windowStart, g_Page.wideCcd, g_ScanDpi);
    }
    WriteGainList(gains[1]);
    for (int c = 0; c < 3; ++c) {
        for (uint32_t i = 0; i < SHADING_WORDS; ++i) {
            if (zeroOffsets)
                offsets[c][i] = 0;
            if (unityGains)
                gains[c][i] = GAIN_UNITY;
        }
    }
    for (int c = 0; c < 3; ++c)
        WriteTable(kOffsetRegion[c], offsets[c]);
    for (int c = 0; c < 3; ++c)
        WriteTable(kGainRegion[c], gains[c]);
}
