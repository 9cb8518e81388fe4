#include "scan_setup.h"

#include "calibration.h"
#include "chip_commands.h"
#include "chip_setup.h"
#include "gamma.h"
#include "module.h"
#include "white_balance.h"

using namespace lm9831;

namespace plover {

void ProgramScan(PloverState& s, ScanKind kind)
{
    const bool page = kind == ScanKind::Page;
    RegisterImage& r = s.device.registers;
    ResetChip(s.device);
    Init9831(s);
    FillGammaTbl(s, s.page.mode);
    if (page && ConfigInt(s.config, CFG_FIXED_TABLE) == 1) {
        r.set8(REG_FIXED_GAIN, uint8_t(ConfigInt(s.config, CFG_TEST_PIXEL_GAIN)));
        r.set8(REG_FIXED_GAIN + 1, 0x00);
        r.set8(REG_SHADING_MODE, SHADING_NONE);
    }
    SetModeRegisters(r, s.page);
    // A colour page takes the white balance: its gain corrections, then its LED times.
    WhiteBalance balance;
    const bool balanced = LoadWhiteBalance(s, &balance);
    FillCalibData(s, balanced && balance.corrected ? balance.gainCorrection : nullptr);
    if (balanced)
        SetLedTimes(r, balance.led);
    if (page)
        SetClockRegisters(r, s.config, s.page);
    SetLineWindow(r, s.page);
    if (page)
        SetMotorSwitch(r, s.config);
    WriteRegisterImage(s.device);
    WriteReg(s.device, REG_COMMAND, CMD_STOP);
    WriteReg(s.device, REG_COMMAND, CMD_SCAN);
}

} // namespace plover
