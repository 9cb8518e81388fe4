// The driver's configuration file "<Windows directory>\twain_32\plover\plover.ini",
// read key by key on every use so that edits take effect on the next call.
#pragma once

#include <string>

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

// Builds the paths once (module load); false when the Windows directory is unusable.
bool BuildConfigPaths();
// Full path of a file in the driver's folder ("" when the paths could not be built).
std::string DriverFilePath(const char* fileName);
const std::string& ConfigFilePath();
// Creates "twain_32" and "twain_32\plover" under the Windows directory when missing.
bool EnsureDriverFolder();

int ConfigInt(ConfigKey key);
int ConfigIntOr(ConfigKey key, int defaultValue); // keys whose default depends on the caller
void ConfigText(ConfigTextKey key, char* buffer, unsigned size);
// A gamma curve point: true and the value when the key is in the file.
bool ConfigGammaPoint(const char* name, int* value);
bool ConfigWriteUnsigned(const char* section, const char* name, unsigned value);
