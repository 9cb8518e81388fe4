// The driver's configuration file "plover.ini" (Win32: in <Windows>\twain_32\plover),
// read key by key on every use so that edits take effect on the next call, and the
// paths of the driver's other files.
#pragma once

#include "platform.h"

#include <string>

namespace plover {

enum ConfigKey {
    CFG_PAPER_POLARITY, CFG_BUTTON_POLARITY, CFG_FEEDON_SPEED, CFG_FEEDON_DELAY, CFG_FEEDON_TIME,
    CFG_FAST_STEP_SIZE, CFG_PREVIEW_RES, CFG_MCLK, CFG_SRAM_SIZE, CFG_HOLD_CURRENT, CFG_MOTOR_SW,
    CFG_PIXEL_OFFSET, CFG_PIXEL_GAIN,
    CFG_MAX_RES, CFG_MIN_RES, CFG_INC_RES,
    CFG_LED_PWM, CFG_R_ON, CFG_G_ON, CFG_B_ON, CFG_R_OFF, CFG_G_OFF, CFG_B_OFF, CFG_LED_TARGET,
    CFG_STEPS_AFTER_SENSOR, CFG_MOTOR_PWM_FREQ, CFG_MOTOR_PWM_DUTY,
    CFG_REG_59H, CFG_REG_5AH, CFG_REG_5BH,
    CFG_LINE_OFFSET_R, CFG_LINE_OFFSET_G, CFG_LINE_OFFSET_B,
    CFG_LINE_GAIN_R, CFG_LINE_GAIN_G, CFG_LINE_GAIN_B,
    CFG_FAKE_DATA, CFG_BW_FAKE_DATA, CFG_FIXED_TABLE, CFG_TEST_PIXEL_GAIN, CFG_QX,
    CFG_INT_KEY_COUNT
};

enum ConfigTextKey { CFG_MODEL_NAME, CFG_INTERFACE_TYPE, CFG_ATTACH, CFG_VERSION_MAJOR,
                     CFG_VERSION_MINOR, CFG_TEXT_KEY_COUNT };

struct ConfigIntEntry { ConfigKey key; const char* section; const char* name; int defaultValue; };
struct ConfigTextEntry { ConfigTextKey key; const char* section; const char* name; const char* defaultValue; };

extern const ConfigIntEntry kConfigIntKeys[CFG_INT_KEY_COUNT];
extern const ConfigTextEntry kConfigTextKeys[CFG_TEXT_KEY_COUNT];

// The settings file on its platform.
struct Config {
    const platform::Platform* platform = nullptr;
    std::string path; // empty when the platform has no place for it: every key reads its default
};

// The settings file's path on `platform` (empty when it has none).
std::string ConfigFilePath(const platform::Platform& platform);
// Full path of a file in the driver's folder ("" when it has none).
std::string DriverFilePath(const platform::Platform& platform, const char* fileName);
// Creates the driver's folder when missing; true when it is there.
bool EnsureDriverFolder(const platform::Platform& platform);

int ConfigInt(const Config& config, ConfigKey key);
int ConfigIntOr(const Config& config, ConfigKey key, int defaultValue); // keys whose default depends on the caller
void ConfigText(const Config& config, ConfigTextKey key, char* buffer, unsigned size);
// A gamma curve point: true and the value when the key is in the file.
bool ConfigGammaPoint(const Config& config, const char* name, int* value);
bool ConfigWriteUnsigned(const Config& config, const char* section, const char* name, unsigned value);

} // namespace plover
