#include "chip_setup.h"

using namespace lm9831;

namespace plover {

namespace {

struct FixedRegister { uint8_t reg; uint8_t value; };
// Registers Init9831 sets to fixed values.
const FixedRegister kInitFixed[] = {
    {REG_PIXEL_FORMAT, PIXEL_DEPTH_8},
    {REG_SENSOR_TIMING_0B, 0x2D}, {REG_SENSOR_TIMING_0C, 0x00}, {REG_SENSOR_TIMING_0D, 0x25},
    {REG_SENSOR_TIMING_0E, 0x00}, {REG_SENSOR_TIMING_0F, 0x18},
    {REG_SENSOR_TIMING_10, 0x01}, {REG_SENSOR_TIMING_11, 0x00}, {REG_SENSOR_TIMING_12, 0x04},
    {REG_SENSOR_TIMING_13, 0x00}, {REG_SENSOR_TIMING_14, 0x00}, {REG_SENSOR_TIMING_15, 0x00},
    {REG_SENSOR_TIMING_16, 0x00},
    {REG_SENSOR_TIMING_17, 0x03}, {REG_SENSOR_TIMING_18, 0x07},
    {REG_INTEGRATION_ADJUST, 0x00},
    {REG_SENSOR_TIMING_1A, 0x01}, {REG_SENSOR_TIMING_1B, 0x01}, {REG_SENSOR_TIMING_1C, 0x01},
    {REG_SENSOR_TIMING_1D, 0x02},
    {REG_CHANNEL_MODE, CHANNEL_MODE_GRAY},
    {REG_CHANNEL_27, 0x00}, {REG_CHANNEL_28, 0x00},
    {REG_ILLUMINATION, ILLUM_PER_CHANNEL},
    {REG_LINE_OFFSET_RED, 0}, {REG_LINE_OFFSET_GREEN, 0}, {REG_LINE_OFFSET_BLUE, 0},
    {REG_LINE_GAIN_RED, 16}, {REG_LINE_GAIN_GREEN, 16}, {REG_LINE_GAIN_BLUE, 16},
    {REG_FIXED_OFFSET, 0x00}, {REG_FIXED_OFFSET + 1, 0x00},
    {REG_SHADING_MODE, SHADING_SCAN},
    {REG_SHADING_43, 0x00}, {REG_SHADING_44, 0x00},
    {REG_MOTOR_CONTROL, MOTOR_CONTROL_SCAN},
    {REG_BUFFER_4F, 0x01}, {REG_MOTOR_50, 0x00},
    {REG_LINE_PERIOD_MID, 0x0B}, {REG_LINE_PERIOD_LO, 0xD0}, {REG_MOTOR_54, 0x07},
    {REG_MISC_IO_58, 0x01},
};

struct ConfigRegister { uint8_t reg; ConfigKey key; bool wide; };
// Registers Init9831 takes from the configuration file (low byte, or 16 bits).
const ConfigRegister kInitFromConfig[] = {
    {REG_LED_PWM, CFG_LED_PWM, true},
    {REG_LED_RED_ON, CFG_R_ON, true}, {REG_LED_RED_OFF, CFG_R_OFF, true},
    {REG_LED_GREEN_ON, CFG_G_ON, true}, {REG_LED_GREEN_OFF, CFG_G_OFF, true},
    {REG_LED_BLUE_ON, CFG_B_ON, true}, {REG_LED_BLUE_OFF, CFG_B_OFF, true},
    {REG_FAST_STEP_SIZE, CFG_FAST_STEP_SIZE, true},
    {REG_STEPS_AFTER_SENSOR, CFG_STEPS_AFTER_SENSOR, true},
    {REG_BUFFER_LEVEL, CFG_SRAM_SIZE, false},
    {REG_HOLD_CURRENT, CFG_HOLD_CURRENT, false},
    {REG_MOTOR_PWM_FREQ, CFG_MOTOR_PWM_FREQ, false},
    {REG_MOTOR_PWM_DUTY, CFG_MOTOR_PWM_DUTY, false},
    {REG_MISC_IO_59, CFG_REG_59H, false},
    {REG_MISC_IO_5A, CFG_REG_5AH, false},
    {REG_MISC_IO_5B, CFG_REG_5BH, false},
};

enum : uint16_t { INIT_SCAN_STEP_SIZE = 0x077A, INIT_DUMMY_PIXELS = 0x0011 };
enum : uint8_t { MCLK_SLOW = 62, LINE_PERIOD_HI_LOW_DPI = 0x90 };

uint8_t MasterClockDivider(const Config& config, int mode, int dpi)
{
    if (mode != MODE_COLOR && (dpi == 50 || dpi == 75))
        return MCLK_SLOW;
    return uint8_t(ConfigInt(config, CFG_MCLK));
}

} // namespace

void SetInitialRegisters(RegisterImage& r, const Config& config, int pageMode, int resolution)
{
    for (const FixedRegister& f : kInitFixed)
        r.set8(f.reg, f.value);
    for (const ConfigRegister& c : kInitFromConfig) {
        int v = ConfigInt(config, c.key);
        if (c.wide)
            r.set16(c.reg, uint16_t(v));
        else
            r.set8(c.reg, uint8_t(v));
    }
    r.set8(REG_MCLK_DIVIDER, MasterClockDivider(config, pageMode, resolution));
    r.set16(REG_DUMMY_PIXELS, INIT_DUMMY_PIXELS);
    r.set16(REG_LINE_LENGTH, LINE_LENGTH);
    r.set16(REG_START_PIXEL, FIRST_ACTIVE_PIXEL);
    r.set16(REG_END_PIXEL, FIRST_ACTIVE_PIXEL + SENSOR_PIXELS - 2);
    r.set16(REG_FIXED_GAIN, GAIN_UNITY);
    r.set16(REG_SCAN_STEP_SIZE, INIT_SCAN_STEP_SIZE);
    r.set16(REG_STEP_COUNT, 0);
    r.set8(REG_LINE_PERIOD_HI, resolution <= 300 ? LINE_PERIOD_HI_LOW_DPI : 0x00);
}

void SetModeRegisters(RegisterImage& r, const PageGeometry& page)
{
    switch (page.mode) {
    case MODE_GRAY:
        r.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
        r.set8(REG_PIXEL_FORMAT, PIXEL_DEPTH_8);
        r.set8(REG_ILLUMINATION, ILLUM_ALL);
        break;
    case MODE_BW:
        r.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
        r.set8(REG_PIXEL_FORMAT, PIXEL_DEPTH_1);
        r.set8(REG_ILLUMINATION, ILLUM_ALL);
        break;
    case MODE_COLOR:
        r.set8(REG_CHANNEL_MODE, CHANNEL_MODE_COLOR);
        r.set8(REG_PIXEL_FORMAT, PIXEL_DEPTH_8);
        break;
    }
    r.set8(REG_PIXEL_FORMAT, uint8_t(r.get8(REG_PIXEL_FORMAT) | DividerCode(page.dpi)));
}

void SetClockRegisters(RegisterImage& r, const Config& config, const PageGeometry& page)
{
    r.set8(REG_MCLK_DIVIDER, MasterClockDivider(config, page.mode, page.dpi));
    r.set8(REG_INTEGRATION_ADJUST, 0);
    r.set16(REG_FAST_STEP_SIZE, uint16_t(ConfigInt(config, CFG_FAST_STEP_SIZE)));
}

void SetLineWindow(RegisterImage& r, const PageGeometry& page)
{
    r.set16(REG_SCAN_STEP_SIZE,
            uint16_t((LINE_LENGTH - FIRST_ACTIVE_PIXEL) * page.dpi * page.colorFactor / (SENSOR_DPI * 4)));
    r.set16(REG_DUMMY_PIXELS, FIRST_ACTIVE_PIXEL);
    r.set16(REG_LINE_LENGTH, LINE_LENGTH);
    int start = FIRST_ACTIVE_PIXEL + page.windowStart;
    r.set16(REG_START_PIXEL, uint16_t(start));
    r.set16(REG_END_PIXEL, uint16_t(start + page.wideCcd - 2));
    r.set8(REG_BUFFER_LEVEL, 100);
    r.set16(REG_STEP_COUNT, uint16_t(page.top * STEPS_PER_HUNDREDTH));
}

void SetMotorSwitch(RegisterImage& r, const Config& config)
{
    if (ConfigInt(config, CFG_MOTOR_SW) == 0)
        r.set8(REG_MOTOR_CONTROL, 0);
}

} // namespace plover
