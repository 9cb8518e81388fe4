#include "device_ops.h"

#include "chip_setup.h"
#include "lm9831_registers.h"

#include <vector>

using namespace lm9831;

namespace wren {

namespace {

const uint32_t kLockRetryMs = 250;
const uint32_t kFeedOutLimitMs = 4000; // far longer than the longest sheet takes to clear the sensor
const uint16_t kEjectSteps = 474;

void ClearLedTimes(const Link& h)
{
    uint8_t zeros[12] = {};
    WriteRegs(h, REG_LED_RED_ON, zeros, sizeof zeros, true);
}

// Locks are let go once and forgotten.
void LetGoOfLock(ModuleState& m)
{
    if (m.lock) {
        m.platform->lock.release(m.platform->lock.context, m.lock);
        m.lock = nullptr;
    }
    m.lockedDevice = platform::UsbDeviceRef{};
}

} // namespace

Link OpenWorkDevice(ModuleState& m, platform::UsbDescriptor* descriptor)
{
    if (m.lock)
        return OpenDeviceAt(*m.platform, m.lockedDevice, descriptor);
    lm9831::FoundDevice found;
    Link h = DiscoverDevice(*m.platform, true, &found);
    if (h.isOpen() && descriptor)
        *descriptor = found.descriptor;
    return h;
}

int TakeDeviceLock(ModuleState& m)
{
    const platform::Platform& os = *m.platform;
    LetGoOfLock(m); // a second IO_StartScan does not leak the first lock
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (attempt)
            os.clock.sleep(os.clock.context, kLockRetryMs);
        lm9831::FoundDevice found;
        bool heldSeen = false;
        Link h = DiscoverDevice(os, true, &found, &heldSeen);
        if (!h.isOpen()) {
            if (!heldSeen) {
                m.stateCode = STATE_NO_DEVICE;
                return IO_START_NO_SCANNER;
            }
            continue; // every accepted device is held elsewhere: try once more
        }
        os.usb.close(os.usb.context, h.device);
        platform::DeviceLock lock = os.lock.take(os.lock.context, found.ref.lockKey);
        if (lock) {
            m.lock = lock;
            m.lockedDevice = found.ref;
            m.stateCode = STATE_READY;
            return IO_START_READY;
        }
    }
    m.stateCode = STATE_BUSY;
    return IO_START_BUSY;
}

void ReleaseDeviceLock(ModuleState& m) { LetGoOfLock(m); }

int ReadSensorVariant(const Link& h)
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
bool SensorInputs(ModuleState& m, void (*prepare)(const Link&), uint8_t* value)
{
    if (m.page.running && m.page.device.isOpen())
        return ReadReg(m.page.device, REG_SENSORS, value);
    Link h = OpenWorkDevice(m);
    if (!h.isOpen())
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

int PaperPresent(ModuleState& m)
{
    uint8_t v = 0;
    bool ok = SensorInputs(m, [](const Link& h) { WriteReg(h, REG_MISC_IO_58, 0); }, &v);
    return ok && (v & SENSOR_PAPER) ? 1 : 0;
}

int ButtonPressed(ModuleState& m, int button)
{
    uint8_t v = 0;
    bool ok = SensorInputs(
        m,
        [](const Link& h) {
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

bool FeedSteps(const Link& h, int variant, int steps)
{
    const int kShortLine = 162; // a 164-byte read
    ProgramChip(h, ComputeRegisters(FeedSetup(variant, uint16_t(steps), kShortLine)), false);
    bool ok = WriteReg(h, REG_COMMAND, CMD_SCAN);
    std::vector<uint8_t> line(kShortLine + 2);
    ok = ReadRegs(h, REG_DATA_PORT, line.data(), uint32_t(line.size()), false) == line.size() && ok;
    WriteReg(h, REG_COMMAND, CMD_STOP);
    return ok;
}

int FeedOutOn(const Link& h, int variant, int value)
{
    const platform::ClockOps& clock = h.platform->clock;
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
        const uint32_t started = clock.milliseconds(clock.context);
        for (;;) {
            uint8_t v = 0;
            if (!ReadReg(h, REG_SENSORS, &v)) {
                result = 0;
                break;
            }
            if (!(v & SENSOR_PAPER))
                break;
            if (clock.milliseconds(clock.context) - started > kFeedOutLimitMs) { // jammed or a stuck sensor
                result = 0;
                break;
            }
            clock.sleep(clock.context, 5);
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

int FeedOut(ModuleState& m, int value)
{
    Link h = OpenWorkDevice(m);
    if (!h.isOpen())
        return 0;
    int result = FeedOutOn(h, m.sensorVariant, value);
    CloseDevice(h);
    return result;
}

} // namespace wren
