#include "chip_commands.h"

using namespace lm9831;

namespace plover {

namespace {
enum : int { RUN_STEP_SIZE = 200, RESET_PAUSE_MS = 50 };
}

void ResetChip(Device& d)
{
    WriteReg(d, REG_COMMAND, CMD_RESET);
    WriteReg(d, REG_COMMAND, CMD_STOP);
    const platform::ClockOps& clock = d.link.platform->clock;
    clock.sleep(clock.context, RESET_PAUSE_MS);
}

void WriteResetPair(Device& d)
{
    const uint8_t pair[2] = {CMD_RESET, CMD_STOP};
    WriteRegs(d, REG_COMMAND, pair, sizeof pair, false);
}

void Hypnotize(Device& d, bool powerDown)
{
    WriteReg(d, REG_COMMAND, CMD_RESET);
    WriteReg(d, REG_COMMAND, CMD_STOP);
    if (powerDown)
        WriteReg(d, REG_COMMAND, CMD_POWER_DOWN);
}

int RunSteps(Device& d, int steps)
{
    WriteReg(d, REG_FAST_STEP_SIZE, 0);
    WriteReg(d, REG_FAST_STEP_SIZE + 1, RUN_STEP_SIZE);
    WriteReg(d, REG_STEP_COUNT, uint8_t(steps >> 8));
    WriteReg(d, REG_STEP_COUNT + 1, uint8_t(steps));
    WriteReg(d, REG_COMMAND, CMD_MOVE_STEPS);
    return 1;
}

bool ReadPaperSensor(Device& d, int polarity, bool* present)
{
    uint8_t sensors = 0;
    *present = false;
    if (!ReadRegChecked(d, REG_SENSORS, &sensors))
        return false;
    bool bit = (sensors & SENSOR_PAPER) != 0;
    *present = polarity ? bit : !bit;
    return true;
}

} // namespace plover
