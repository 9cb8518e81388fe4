#include "module.h"

#include "chip_commands.h"
#include "chip_setup.h"

using namespace lm9831;

namespace plover {

namespace {

enum : uint8_t { LOAD_MCLK = 30 };

// The device unit's step after a reconnection found the scanner again.
void ReinitialiseAfterReconnect(void* owner)
{
    PloverState& s = *static_cast<PloverState*>(owner);
    Init9831(s);
    WriteRegisterImage(s.device);
}

} // namespace

void Init9831(PloverState& s)
{
    SetInitialRegisters(s.device.registers, s.config, s.page.mode, s.settings.resolution);
    WriteResetPair(s.device);
}

void Load(PloverState& s, const platform::Platform* os)
{
    s.platform = os;
    s.device.link.platform = os;
    s.device.reinitialise = ReinitialiseAfterReconnect;
    s.device.owner = &s;
    s.firstFeed = true;
    s.device.present = OpenDevice(s.device);
    WriteReg(s.device, REG_MCLK_DIVIDER, LOAD_MCLK);
    WriteReg(s.device, REG_INTEGRATION_ADJUST, 0);
    s.config = Config{os, ConfigFilePath(*os)};
    s.paperPolarity = ConfigInt(s.config, CFG_PAPER_POLARITY);
    s.buttonPolarity = ConfigInt(s.config, CFG_BUTTON_POLARITY);
    Init9831(s);
    s.device.registers.set8(REG_ILLUMINATION, ILLUM_OFF);
    WriteRegisterImage(s.device);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    ReadReg(s.device, REG_SENSORS);
    for (int i = 0; i < 256; ++i)
        s.tone[i] = uint8_t(i);
}

void Unload(PloverState& s)
{
    Hypnotize(s.device, true);
    CloseDevice(s.device);
}

} // namespace plover
