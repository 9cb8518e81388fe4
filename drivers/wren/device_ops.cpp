#include "device_ops.h"

#include "chip_setup.h"
#include "lm9831_registers.h"
#include "usb_device.h"
#include "wren_state.h"

#include <vector>

using namespace lm9831;

namespace wren {

namespace {

const DWORD kLockRetryMs = 250;
const DWORD kFeedOutLimitMs = 4000; // far longer than the longest sheet takes to clear the sensor
const uint16_t kEjectSteps = 474;

void ClearLedTimes(HANDLE h)
{
    uint8_t zeros[12] = {};
    WriteRegs(h, REG_LED_RED_ON, zeros, sizeof zeros, true);
}

// Event handles are closed once and forgotten.
void CloseLockEvent()
{
    if (g_wren.lockEvent) {
        CloseHandle(g_wren.lockEvent);
        g_wren.lockEvent = nullptr;
    }
    g_wren.lockedIndex = -1;
}

} // namespace

HANDLE OpenWorkDevice(DeviceInfo* info)
{
    if (g_wren.lockEvent && g_wren.lockedIndex >= 0)
        return OpenDeviceAt(g_wren.lockedIndex, info);
    return DiscoverDevice(true, info);
}

int TakeDeviceLock()
{
    CloseLockEvent(); // a second IO_StartScan does not leak the first lock
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt)
            Sleep(kLockRetryMs);
        DeviceInfo info;
        bool heldSeen = false;
        HANDLE h = DiscoverDevice(true, &info, &heldSeen);
        if (h == INVALID_HANDLE_VALUE) {
            if (!heldSeen) {
                g_wren.stateCode = STATE_NO_DEVICE;
                return -2;
            }
            continue; // every accepted device is held elsewhere: try once more
        }
        UsbDevClose(h);
        char name[32];
        EventName(info.index, name, sizeof name);
        HANDLE e = CreateEventA(nullptr, TRUE, TRUE, name);
        if (e && GetLastError() != ERROR_ALREADY_EXISTS) {
            g_wren.lockEvent = e;
            g_wren.lockedIndex = info.index;
            g_wren.stateCode = STATE_READY;
            return 1;
        }
        if (e)
            CloseHandle(e);
    }
    g_wren.stateCode = STATE_BUSY;
    return -1;
}

void ReleaseDeviceLock() { CloseLockEvent(); }

int ReadSensorVariant(HANDLE h)
{
    ChipSetup s;
    s.fixedGain = 0x3FFF;
    s.resolution = 600;
    s.rawPixels = 2;
    s.motor = false;
    ProgramChip(h, ComputeRegisters(s), false);
    uint8_t v = 0;
    if (!ReadReg(h, REG_SENSORS, &v))
        return 0;
    return (v & SENSOR_CIS_VARIANT_B) == 0 && (v & SENSOR_CIS_VARIANT_A) != 0 ? 1 : 0;
}

namespace {

// Reads the sensor inputs after `prepare`. During a page the page's open device is
// asked as it is (its scan keeps running); otherwise the device is opened and closed.
bool SensorInputs(void (*prepare)(HANDLE), uint8_t* value)
{
    if (g_wren.page.running && g_wren.page.device != INVALID_HANDLE_VALUE)
        return ReadReg(g_wren.page.device, REG_SENSORS, value);
    HANDLE h = OpenWorkDevice();
    if (h == INVALID_HANDLE_VALUE)
        return false;
    WriteReg(h, REG_COMMAND, CMD_STOP);
    ClearLedTimes(h);
    prepare(h);
    WriteReg(h, REG_MISC_IO_5B, 0x90);
    bool ok = ReadReg(h, REG_SENSORS, value);
    CloseDevice(h);
    return ok;
}

} // namespace

int PaperPresent()
{
    uint8_t v = 0;
    bool ok = SensorInputs([](HANDLE h) { WriteReg(h, REG_MISC_IO_58, 0); }, &v);
    return ok && (v & SENSOR_PAPER) ? 1 : 0;
}

int ButtonPressed(int button)
{
    uint8_t v = 0;
    bool ok = SensorInputs(
        [](HANDLE h) {
            WriteReg(h, REG_MISC_IO_59, 38);
            WriteReg(h, REG_MISC_IO_5A, 98);
            WriteReg(h, REG_MISC_IO_5B, 246);
        },
        &v);
    uint8_t bit = button == 1 ? SENSOR_CIS_BUTTON_1 : button == 2 ? SENSOR_CIS_BUTTON_2
                : button == 3 ? SENSOR_CIS_BUTTON_3 : SENSOR_CIS_BUTTON_OTHER;
    return ok && (v & bit) ? 1 : 0;
}

namespace {

ChipSetup FeedSetup(int variant, uint16_t steps, int rawPixels)
{
    ChipSetup s;
    s.variant = variant;
    s.resolution = 600;
    s.rawPixels = rawPixels;
    s.motor = false;
    s.steps = steps;
    s.exposure = variant ? 3000 : 2500;
    s.lineGain = variant ? 4 : 12;
    return s;
}

} // namespace

bool FeedSteps(HANDLE h, int steps)
{
    const int kShortLine = 162; // a 164-byte read
    ProgramChip(h, ComputeRegisters(FeedSetup(g_wren.sensorVariant, uint16_t(steps), kShortLine)), false);
    bool ok = WriteReg(h, REG_COMMAND, CMD_SCAN);
    std::vector<uint8_t> line(kShortLine + 2);
    ok = ReadRegs(h, REG_DATA_PORT, line.data(), uint32_t(line.size()), false) == line.size() && ok;
    WriteReg(h, REG_COMMAND, CMD_STOP);
    return ok;
}

int FeedOutOn(HANDLE h, int value)
{
    const int variant = g_wren.sensorVariant;
    const int rawLine = variant ? 1304 : 1300; // 1306 or 1302 bytes
    ChipSetup s = FeedSetup(variant, 0, rawLine);
    ProgramChip(h, ComputeRegisters(s), false);
    ClearLedTimes(h);
    uint8_t sensors = 0;
    if (!ReadReg(h, REG_SENSORS, &sensors))
        return 0;
    const bool sheet = (sensors & SENSOR_PAPER) != 0;
    if (!sheet && value > 0)
        return 1;
    int result = 1;
    if (sheet) {
        WriteReg(h, REG_COMMAND, CMD_FORWARD);
        const DWORD started = GetTickCount();
        for (;;) {
            uint8_t v = 0;
            if (!ReadReg(h, REG_SENSORS, &v)) {
                result = 0;
                break;
            }
            if (!(v & SENSOR_PAPER))
                break;
            if (GetTickCount() - started > kFeedOutLimitMs) { // jammed or a stuck sensor
                result = 0;
                break;
            }
            Sleep(5);
        }
        WriteReg(h, REG_COMMAND, CMD_STOP);
    }
    uint8_t steps[2] = {0, 0};
    if (value == 0) {
        steps[0] = uint8_t(kEjectSteps >> 8);
        steps[1] = uint8_t(kEjectSteps & 0xFF);
    }
    WriteRegs(h, REG_STEP_COUNT, steps, 2, true);
    WriteReg(h, REG_COMMAND, CMD_SCAN);
    std::vector<uint8_t> line(size_t(rawLine) + 2);
    ReadRegs(h, REG_DATA_PORT, line.data(), uint32_t(line.size()), false);
    WriteReg(h, REG_COMMAND, CMD_STOP);
    ClearLedTimes(h);
    return result;
}

int FeedOut(int value)
{
    HANDLE h = OpenWorkDevice();
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    int result = FeedOutOn(h, value);
    CloseDevice(h);
    return result;
}

} // namespace wren
