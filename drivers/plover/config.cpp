#include "config.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace plover {

// Every key the driver reads, with its default, as in the configuration file.
const ConfigIntEntry kConfigIntKeys[CFG_INT_KEY_COUNT] = {
    {CFG_PAPER_POLARITY, "Main", "Paper Sensor Polarity", 0},
    {CFG_BUTTON_POLARITY, "Main", "Button Sensor Polarity", 1},
    {CFG_FEEDON_SPEED, "Main", "FeedOn Speed", 800},
    {CFG_FEEDON_DELAY, "Main", "FeedOn Time Delay", 800},
    {CFG_FEEDON_TIME, "Main", "FeedOn Time", 250},
    {CFG_FAST_STEP_SIZE, "Main", "Fast Step Size", 250},
    {CFG_PREVIEW_RES, "Main", "Preview Res", 75},
    {CFG_MCLK, "Main", "MCLK", 20},
    {CFG_SRAM_SIZE, "Main", "SRAM Size", 100},
    {CFG_HOLD_CURRENT, "Main", "HoldCurrent", 1},
    {CFG_MOTOR_SW, "Main", "Motor SW", 1},
    {CFG_PIXEL_OFFSET, "Main", "PixelOffset", 1},
    {CFG_PIXEL_GAIN, "Main", "PixelGain", 1},
    {CFG_MAX_RES, "CAPABLE", "Max Resolution", 9600},
    {CFG_MIN_RES, "CAPABLE", "Min Resolution", 100},
    {CFG_INC_RES, "CAPABLE", "Inc Resolution", 50},
    {CFG_LED_PWM, "LedTime", "PWM", 3000},
    {CFG_R_ON, "LedTime Z3", "R_ON", 1},
    {CFG_G_ON, "LedTime Z3", "G_ON", 1},
    {CFG_B_ON, "LedTime Z3", "B_ON", 1},
    {CFG_R_OFF, "LedTime Z3", "R_OFF", 1300},
    {CFG_G_OFF, "LedTime Z3", "G_OFF", 1300},
    {CFG_B_OFF, "LedTime Z3", "B_OFF", 1300},
    {CFG_LED_TARGET, "LedTime Z3", "Tgt", 210},
    // 420: the paper sensor's distance to the scan line, so an inserted sheet that
    // no intake has drawn in starts scanning at its leading edge.
    {CFG_STEPS_AFTER_SENSOR, "Motor Setting", "StepsToScanAfterPS2", 420},
    {CFG_MOTOR_PWM_FREQ, "Motor Setting", "MotorPWMFreq", 255},
    {CFG_MOTOR_PWM_DUTY, "Motor Setting", "MotorPWMDutyCycle", 63},
    {CFG_REG_59H, "MISC IO", "REG_59H", 238},
    {CFG_REG_5AH, "MISC IO", "REG_5AH", 0},
    {CFG_REG_5BH, "MISC IO", "REG_5BH", 0},
    {CFG_LINE_OFFSET_R, "Shadding", "Line Offset R", 0},
    {CFG_LINE_OFFSET_G, "Shadding", "Line Offset G", 0},
    {CFG_LINE_OFFSET_B, "Shadding", "Line Offset B", 0},
    {CFG_LINE_GAIN_R, "Shadding", "Line Gain R", 16},
    {CFG_LINE_GAIN_G, "Shadding", "Line Gain G", 16},
    {CFG_LINE_GAIN_B, "Shadding", "Line Gain B", 16},
    {CFG_FAKE_DATA, "Test", "Fake Data", 0},
    {CFG_BW_FAKE_DATA, "Test", "BW Fake Data", 0},
    {CFG_FIXED_TABLE, "Test", "Fixed table", 0},
    {CFG_TEST_PIXEL_GAIN, "Test", "Pixel Gain", 160},
    {CFG_QX, "Test", "QX", 0},
};

const ConfigTextEntry kConfigTextKeys[CFG_TEXT_KEY_COUNT] = {
    {CFG_MODEL_NAME, "GENERAL", "ModelName", "plover"},
    {CFG_INTERFACE_TYPE, "GENERAL", "Interface Type", "USB"},
    {CFG_ATTACH, "GENERAL", "Attach", "---"},
    {CFG_VERSION_MAJOR, "GENERAL", "Version Major", "3"},
    {CFG_VERSION_MINOR, "GENERAL", "Version Minor", "0"},
};

namespace {

const char kConfigFile[] = "plover.ini";

std::string Resolved(const platform::Platform& os, platform::DataPlace place, const char* name)
{
    char path[4096];
    return os.files.resolve(os.files.context, place, name, path, sizeof path) ? std::string(path) : std::string();
}

} // namespace

std::string ConfigFilePath(const platform::Platform& platform)
{
    return Resolved(platform, platform::DataPlace::Settings, kConfigFile);
}

std::string DriverFilePath(const platform::Platform& platform, const char* fileName)
{
    return Resolved(platform, platform::DataPlace::DriverFolder, fileName);
}

bool EnsureDriverFolder(const platform::Platform& platform)
{
    return platform.files.ensureFolder(platform.files.context, platform::DataPlace::DriverFolder);
}

int ConfigIntOr(const Config& config, ConfigKey key, int defaultValue)
{
    const ConfigIntEntry& e = kConfigIntKeys[key];
    if (config.path.empty())
        return defaultValue;
    const platform::SettingsOps& settings = config.platform->settings;
    return settings.readInt(settings.context, config.path.c_str(), e.section, e.name, defaultValue);
}

int ConfigInt(const Config& config, ConfigKey key)
{
    return ConfigIntOr(config, key, kConfigIntKeys[key].defaultValue);
}

void ConfigText(const Config& config, ConfigTextKey key, char* buffer, unsigned size)
{
    const ConfigTextEntry& e = kConfigTextKeys[key];
    if (size == 0)
        return;
    if (config.path.empty()) {
        snprintf(buffer, size, "%s", e.defaultValue);
        return;
    }
    const platform::SettingsOps& settings = config.platform->settings;
    settings.readText(settings.context, config.path.c_str(), e.section, e.name, e.defaultValue, buffer, size);
}

bool ConfigGammaPoint(const Config& config, const char* name, int* value)
{
    if (config.path.empty())
        return false;
    char text[32] = {};
    const platform::SettingsOps& settings = config.platform->settings;
    settings.readText(settings.context, config.path.c_str(), "Gamma", name, "", text, sizeof text);
    if (!text[0])
        return false;
    *value = atoi(text);
    return true;
}

bool ConfigWriteUnsigned(const Config& config, const char* section, const char* name, unsigned value)
{
    const platform::FileOps& files = config.platform->files;
    if (config.path.empty() || !files.ensureFolder(files.context, platform::DataPlace::Settings))
        return false;
    char text[16];
    snprintf(text, sizeof text, "%u", value);
    const platform::SettingsOps& settings = config.platform->settings;
    return settings.write(settings.context, config.path.c_str(), section, name, text);
}

} // namespace plover
