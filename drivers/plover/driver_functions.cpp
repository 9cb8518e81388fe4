// The driver functions besides the page scan and calibration.
#include "driver_functions.h"

#include "chip_commands.h"
#include "messages.h"
#include "tone.h"

#include <stdio.h>
#include <string.h>
#include <vector>

using namespace lm9831;

namespace plover {

namespace {

enum : int { IO_CAP_MATERIALS = 1005, IO_CAP_QUALITY = 1006, IO_CAP_EXPOSURE = 1007,
             IO_CAP_SOFTWARE = 1008, IO_CAP_1101 = 1101 };
enum : int { FEED_STEP_SIZE = 200, CLEAN_EJECT_STEPS = 1200, QX_BUFFER = 7626, FILTER_NAMES_SIZE = 100,
             TEXT_LIMIT = 4, MEMORY_TEST_BYTES = 255 };

struct CapabilityAnswer { int code; int answer; const char* trace; };
const CapabilityAnswer kCapabilities[] = {
    {IO_CAP_COLOR, 1, "Color Image supported ->TRUE"},
    {IO_CAP_FEEDOUT, 1, "Feed Out Paper->TRUE"},
    {IO_CAP_MATERIALS, 1, "Various Paper Materia->TRUE"},
    {IO_CAP_QUALITY, 0, "Quality Scan->FALSE"},
    {IO_CAP_EXPOSURE, 0, "Various expose timt->FALSE"},
    {IO_CAP_SOFTWARE, 0, "software driven->FALSE"},
    {IO_CAP_1101, 1, ""},
};

void FillText(const Config& config, ConfigTextKey key, char* out)
{
    if (!out)
        return;
    char text[256] = {};
    ConfigText(config, key, text, sizeof text);
    snprintf(out, TEXT_LIMIT, "%s", text); // three characters and the terminating zero
}

void Pause(const PloverState& s, uint32_t ms) { s.platform->clock.sleep(s.platform->clock.context, ms); }

void Command(PloverState& s, uint8_t command) { WriteReg(s.device, REG_COMMAND, command); }

// A feed pause from the configuration file; a value no feeder needs (negative, or
// above 10 s) gives the default instead.
uint32_t FeedPause(const PloverState& s, ConfigKey key)
{
    const int kMaxFeedPauseMs = 10000;
    const int ms = ConfigInt(s.config, key);
    return uint32_t(ms >= 0 && ms <= kMaxFeedPauseMs ? ms : kConfigIntKeys[key].defaultValue);
}

} // namespace

// Scanner memory test through the line buffer region.
int HasScanner(PloverState& s)
{
    Device& d = s.device;
    EnsureDevice(d);
    WriteReg(d, REG_MEM_REGION, MEM_BUFFER);
    for (int i = 0; i < MEMORY_TEST_BYTES; ++i) {
        WriteReg(d, REG_MEM_ADDR_HI, 0x40);
        WriteReg(d, REG_MEM_ADDR_LO, uint8_t(i));
        WriteReg(d, REG_MEM_DATA, 0);
        WriteReg(d, REG_MEM_DATA, uint8_t(i));
        WriteReg(d, REG_MEM_ADDR_HI, 0);
        WriteReg(d, REG_MEM_ADDR_LO, uint8_t(i));
        ReadReg(d, REG_MEM_DATA);
        uint8_t second = ReadReg(d, REG_MEM_DATA);
        if (second != i) {
            char text[64];
            snprintf(text, sizeof text, "Buffer testing failure...%d", i);
            Tell(s, text, "plover");
            return 0;
        }
    }
    return 1;
}

int HardwareCheck(PloverState& s, char* model, char* interfaceType, char* attachment, char* versionMajor,
                  char* versionMinor, short* value1, short* value2, short* value3)
{
    FillText(s.config, CFG_MODEL_NAME, model);
    FillText(s.config, CFG_INTERFACE_TYPE, interfaceType);
    FillText(s.config, CFG_ATTACH, attachment);
    FillText(s.config, CFG_VERSION_MAJOR, versionMajor);
    FillText(s.config, CFG_VERSION_MINOR, versionMinor);
    for (short* v : {value1, value2, value3})
        if (v)
            *v = 0;
    ReadReg(s.device, REG_STATUS);
    if (ConfigInt(s.config, CFG_QX) == 1) {
        // A test loop: image data read until the user clicks.
        std::vector<uint8_t> buffer(QX_BUFFER);
        const platform::MessageOps& messages = s.platform->messages;
        Command(s, CMD_SCAN);
        while (!messages.stopClicked(messages.context))
            ReadRegs(s.device, REG_DATA_PORT, buffer.data(), QX_BUFFER, false);
        Command(s, CMD_STOP);
    }
    return 1;
}

int StartScan(PloverState& s)
{
    if (!EnsureDevice(s.device))
        return IO_START_NO_SCANNER;
    if (IsCalibrationNeeded(s) == 1) {
        TellCalibrationNeeded(s);
        if (!CalibrateScanner(s))
            return IO_START_FAILED;
    }
    return IO_START_READY;
}

void EndScan(PloverState& s)
{
    Command(s, CMD_STOP);
    WriteReg(s.device, REG_ILLUMINATION, ILLUM_OFF);
    ResetChip(s.device);
}

int IsPaperOn(PloverState& s)
{
    bool present = false;
    return ReadPaperSensor(s.device, s.paperPolarity, &present) && present ? 1 : 0;
}

int IsButtonOn(PloverState& s)
{
    uint8_t sensors = ReadReg(s.device, REG_SENSORS);
    bool bit = (sensors & SENSOR_CCD_BUTTON) != 0;
    return (s.buttonPolarity ? bit : !bit) ? 1 : 0;
}

// Only the resolutions the chip makes are scanned: the maximum is at most 600.
int ResolutionInfo(PloverState& s, short* maximum, short* minimum, short* step)
{
    int maxRes = ConfigInt(s.config, CFG_MAX_RES);
    if (maximum)
        *maximum = short(maxRes > SENSOR_DPI ? SENSOR_DPI : maxRes);
    if (minimum)
        *minimum = short(ConfigInt(s.config, CFG_MIN_RES));
    if (step)
        *step = short(ConfigInt(s.config, CFG_INC_RES));
    return 1;
}

int Clean(PloverState& s)
{
    Command(s, CMD_FORWARD);
    Pause(s, 2000);
    Command(s, CMD_STOP);
    if (!IsPaperOn(s))
        return 0;
    for (int k = 0; k < 5; ++k) {
        Command(s, CMD_FORWARD);
        Pause(s, 500);
        Command(s, CMD_STOP);
        Pause(s, 100);
        Command(s, CMD_BACKWARD);
        Pause(s, 500);
        Command(s, CMD_STOP);
        Pause(s, 100);
    }
    RunSteps(s.device, CLEAN_EJECT_STEPS);
    return 1;
}

int FeedOn(PloverState& s)
{
    Device& d = s.device;
    int speed = ConfigInt(s.config, CFG_FEEDON_SPEED);
    if (s.firstFeed) {
        s.firstFeed = false;
        Command(s, CMD_SCAN);
        Pause(s, 10);
        Command(s, CMD_STOP);
        WriteReg(d, REG_SHADING_MODE, SHADING_NONE);
    }
    WriteReg(d, REG_FAST_STEP_SIZE, uint8_t(speed >> 8));
    WriteReg(d, REG_FAST_STEP_SIZE + 1, uint8_t(speed));
    WriteReg(d, REG_STEPS_AFTER_SENSOR, 0x0F);
    WriteReg(d, REG_STEPS_AFTER_SENSOR + 1, 0xFF);
    Pause(s, FeedPause(s, CFG_FEEDON_DELAY));
    Command(s, CMD_FORWARD);
    Pause(s, FeedPause(s, CFG_FEEDON_TIME));
    Command(s, CMD_STOP);
    int fast = ConfigIntOr(s.config, CFG_FAST_STEP_SIZE, FEED_STEP_SIZE);
    WriteReg(d, REG_FAST_STEP_SIZE, uint8_t(fast >> 8));
    return WriteReg(d, REG_FAST_STEP_SIZE + 1, uint8_t(fast)) ? 1 : 0;
}

int IsCapableOf(short capability)
{
    for (const CapabilityAnswer& c : kCapabilities)
        if (c.code == capability)
            return c.answer;
    return 0;
}

short GetFilterNames(char* names)
{
    if (!names)
        return 0;
    memset(names, 0, FILTER_NAMES_SIZE);
    const char list[] = "Descreen\0Sharpen\0Blur";
    memcpy(names, list, sizeof list);
    return 1;
}

short GetPreviewResolution(PloverState& s)
{
    s.preview = true;
    return short(ConfigInt(s.config, CFG_PREVIEW_RES));
}

int GetVidPid(PloverState& s, uint32_t* vendorId, uint32_t* productId)
{
    if (vendorId)
        *vendorId = s.device.vendorId;
    if (productId)
        *productId = s.device.productId;
    return int(s.device.productId);
}

void AbortScan(PloverState& s) { s.cardScanRunning = false; }

void AdjustChannelValue(PloverState& s, unsigned char table[256], short brightness, short contrast, short gamma,
                        short highlight, short shadow)
{
    if (table)
        BuildToneTable(table, brightness, contrast, gamma, highlight, shadow, TONE_CALLER);
    BuildToneTable(s.tone, brightness, contrast, gamma, highlight, shadow, TONE_DRIVER);
}

} // namespace plover
