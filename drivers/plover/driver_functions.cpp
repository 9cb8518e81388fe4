// The exported driver functions besides the page scan and calibration.
#include "config.h"
#include "driver_state.h"
#include "messages.h"
#include "transport.h"

#include <stdio.h>
#include <string.h>

using namespace lm9831;

IO_EXPORT int IO_IsCalibrationNeeded(void);
IO_EXPORT int IO_CalibrateScanner(int paperSource);

namespace {

enum : int { IO_CAP_MATERIALS = 1005, IO_CAP_QUALITY = 1006, IO_CAP_EXPOSURE = 1007,
             IO_CAP_SOFTWARE = 1008, IO_CAP_1101 = 1101 };
enum : int { RUN_STEP_SIZE = 200, FEED_STEP_SIZE = 200, CLEAN_EJECT_STEPS = 1200,
             QX_BUFFER = 7626, FILTER_NAMES_SIZE = 100, TEXT_LIMIT = 4 };
enum : short { START_NOT_CONNECTED = -2 };

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


void FillText(ConfigTextKey key, char* out)
{
    if (!out)
        return;
    char text[256] = {};
    ConfigText(key, text, sizeof text);
    lstrcpynA(out, text, TEXT_LIMIT); // three characters and the terminating zero
}

} // namespace

bool PaperPresent(bool* present)
{
    uint8_t sensors = 0;
    *present = false;
    if (!UsbReadRegChecked(REG_SENSORS, &sensors))
        return false;
    bool bit = (sensors & SENSOR_PAPER) != 0;
    *present = g_PaperPolarity ? bit : !bit;
    return true;
}

int PloverRunSteps(int steps)
{
    UsbWriteReg(REG_FAST_STEP_SIZE, 0);
    UsbWriteReg(REG_FAST_STEP_SIZE + 1, RUN_STEP_SIZE);
    UsbWriteReg(REG_STEP_COUNT, uint8_t(steps >> 8));
    UsbWriteReg(REG_STEP_COUNT + 1, uint8_t(steps));
    UsbWriteReg(REG_COMMAND, CMD_MOVE_STEPS);
    return 1;
}

// Scanner memory test through the line buffer region.
IO_EXPORT int IO_HasScanner(void)
{
    UsbEnsureDevice();
    UsbWriteReg(REG_MEM_REGION, MEM_BUFFER);
    for (int i = 0; i < 255; ++i) {
        UsbWriteReg(REG_MEM_ADDR_HI, 0x40);
        UsbWriteReg(REG_MEM_ADDR_LO, uint8_t(i));
        UsbWriteReg(REG_MEM_DATA, 0);
        UsbWriteReg(REG_MEM_DATA, uint8_t(i));
        UsbWriteReg(REG_MEM_ADDR_HI, 0);
        UsbWriteReg(REG_MEM_ADDR_LO, uint8_t(i));
        UsbReadReg(REG_MEM_DATA);
        uint8_t second = UsbReadReg(REG_MEM_DATA);
        if (second != i) {
            char text[64];
            snprintf(text, sizeof text, "Buffer testing failure...%d", i);
            PloverMessageBox(text, "plover", MB_OK);
            return 0;
        }
    }
    return 1;
}

IO_EXPORT int IO_HardwareCheck(char* model, char* interfaceType, char* attachment,
                               char* versionMajor, char* versionMinor, short* value1,
                               short* value2, short* value3)
{
    FillText(CFG_MODEL_NAME, model);
    FillText(CFG_INTERFACE_TYPE, interfaceType);
    FillText(CFG_ATTACH, attachment);
    FillText(CFG_VERSION_MAJOR, versionMajor);
    FillText(CFG_VERSION_MINOR, versionMinor);
    for (short* v : {value1, value2, value3})
        if (v)
            *v = 0;
    UsbReadReg(REG_STATUS);
    if (ConfigInt(CFG_QX) == 1) {
        static uint8_t buffer[QX_BUFFER];
        UsbWriteReg(REG_COMMAND, CMD_SCAN);
        for (;;) {
            MSG msg;
            if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) && msg.message == WM_LBUTTONDOWN)
                break;
            UsbReadRegs(REG_DATA_PORT, buffer, QX_BUFFER, false);
        }
        UsbWriteReg(REG_COMMAND, CMD_STOP);
    }
    return 1;
}

// 1 ready; -2 no scanner connected; 0 a calibration that was needed could not run.
IO_EXPORT int IO_StartScan(void)
{
    if (!UsbEnsureDevice())
        return START_NOT_CONNECTED;
    if (IO_IsCalibrationNeeded() == 1) {
        PloverMessageBox(kCalibrationMessage, "", MB_OK);
        if (!IO_CalibrateScanner(0))
            return 0;
    }
    return 1;
}

IO_EXPORT void IO_EndScan(void)
{
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    UsbWriteReg(REG_ILLUMINATION, ILLUM_OFF);
    ResetChip();
}

IO_EXPORT int IO_IsPaperOn(void)
{
    bool present = false;
    return PaperPresent(&present) && present ? 1 : 0;
}

IO_EXPORT int IO_IsButtonOn(void)
{
    uint8_t sensors = UsbReadReg(REG_SENSORS);
    bool bit = (sensors & SENSOR_CCD_BUTTON) != 0;
    return (g_ButtonPolarity ? bit : !bit) ? 1 : 0;
}

IO_EXPORT void IO_ProcessPaperJam(void) {}
IO_EXPORT void IO_ResetHardware(void) {}

// Only the resolutions the chip makes are scanned: the maximum is at most 600.
IO_EXPORT int IO_ResolutionInfo(short* maximum, short* minimum, short* step)
{
    int maxRes = ConfigInt(CFG_MAX_RES);
    if (maximum)
        *maximum = short(maxRes > SENSOR_DPI ? SENSOR_DPI : maxRes);
    if (minimum)
        *minimum = short(ConfigInt(CFG_MIN_RES));
    if (step)
        *step = short(ConfigInt(CFG_INC_RES));
    return 1;
}

IO_EXPORT void IO_GetHalftonePattern(void) {}
IO_EXPORT int IO_GetPatternData(void) { return 1; }

IO_EXPORT int IO_RunSteps(int steps) { return PloverRunSteps(steps); }

IO_EXPORT int IO_Clean(void)
{
    UsbWriteReg(REG_COMMAND, CMD_FORWARD);
    Sleep(2000);
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    if (!IO_IsPaperOn())
        return 0;
    for (int k = 0; k < 5; ++k) {
        UsbWriteReg(REG_COMMAND, CMD_FORWARD);
        Sleep(500);
        UsbWriteReg(REG_COMMAND, CMD_STOP);
        Sleep(100);
        UsbWriteReg(REG_COMMAND, CMD_BACKWARD);
        Sleep(500);
        UsbWriteReg(REG_COMMAND, CMD_STOP);
        Sleep(100);
    }
    PloverRunSteps(CLEAN_EJECT_STEPS);
    return 1;
}

// A feed pause from the configuration file; a value no feeder needs (negative,
// which Sleep would take as "forever", or above 10 s) gives the default instead.
static DWORD FeedPause(ConfigKey key)
{
    const int kMaxFeedPauseMs = 10000;
    const int ms = ConfigInt(key);
    return DWORD(ms >= 0 && ms <= kMaxFeedPauseMs ? ms : kConfigIntKeys[key].defaultValue);
}

IO_EXPORT int IO_FeedOn(void)
{
    int speed = ConfigInt(CFG_FEEDON_SPEED);
    if (g_FirstFeed) {
        g_FirstFeed = false;
        UsbWriteReg(REG_COMMAND, CMD_SCAN);
        Sleep(10);
        UsbWriteReg(REG_COMMAND, CMD_STOP);
        UsbWriteReg(REG_SHADING_MODE, SHADING_NONE);
    }
    UsbWriteReg(REG_FAST_STEP_SIZE, uint8_t(speed >> 8));
    UsbWriteReg(REG_FAST_STEP_SIZE + 1, uint8_t(speed));
    UsbWriteReg(REG_STEPS_AFTER_SENSOR, 0x0F);
    UsbWriteReg(REG_STEPS_AFTER_SENSOR + 1, 0xFF);
    Sleep(FeedPause(CFG_FEEDON_DELAY));
    UsbWriteReg(REG_COMMAND, CMD_FORWARD);
    Sleep(FeedPause(CFG_FEEDON_TIME));
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    int fast = ConfigIntOr(CFG_FAST_STEP_SIZE, FEED_STEP_SIZE);
    UsbWriteReg(REG_FAST_STEP_SIZE, uint8_t(fast >> 8));
    return UsbWriteReg(REG_FAST_STEP_SIZE + 1, uint8_t(fast));
}

IO_EXPORT int IO_IsCapableOf(short capability)
{
    for (const CapabilityAnswer& c : kCapabilities)
        if (c.code == capability)
            return c.answer;
    return 0;
}

IO_EXPORT short IO_GetPaperNames(void) { return 1; }
IO_EXPORT void IO_GetDriverName(void) {}

IO_EXPORT short IO_GetFilterNames(char* names)
{
    if (!names)
        return 0;
    memset(names, 0, FILTER_NAMES_SIZE);
    const char list[] = "Descreen\0Sharpen\0Blur";
    memcpy(names, list, sizeof list);
    return 1;
}

IO_EXPORT short IO_GetPreviewResolution(short)
{
    g_Preview = true;
    return short(ConfigInt(CFG_PREVIEW_RES));
}

IO_EXPORT int IO_IsADFAttached(void) { return 0; }
IO_EXPORT int IO_IsTransA5Attathed(void) { return 0; }
IO_EXPORT int IO_IsTransA4Attathed(void) { return 0; }
IO_EXPORT int IO_IsSlideAttathed(void) { return 0; }

IO_EXPORT int IO_GetVidPid(uint32_t* vendorId, uint32_t* productId)
{
    if (vendorId)
        *vendorId = g_VendorId;
    if (productId)
        *productId = g_ProductId;
    return int(g_ProductId);
}

IO_EXPORT void IO_AbortScan(void) { g_CardScanRunning = false; }

// Exported as "_SetFunc@4" (module definition file), standard call in both builds.
extern "C" BlockCallback __stdcall SetFunc(BlockCallback callback)
{
    g_BlockCallback = callback;
    return g_BlockCallback;
}
