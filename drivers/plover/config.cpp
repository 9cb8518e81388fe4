#include "config.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

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

const char kFolder[] = "\\twain_32\\plover";
std::string g_windowsDir;
std::string g_configPath;

} // namespace

bool BuildConfigPaths()
{
    char dir[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    g_windowsDir.clear();
    g_configPath.clear();
    if (n == 0 || n >= MAX_PATH)
        return false;
    g_windowsDir = dir;
    g_configPath = DriverFilePath("plover.ini");
    return !g_configPath.empty();
}

std::string DriverFilePath(const char* fileName)
{
    if (g_windowsDir.empty())
        return std::string();
    std::string path = g_windowsDir + kFolder + "\\" + fileName;
    return path.size() < MAX_PATH ? path : std::string();
}

const std::string& ConfigFilePath() { return g_configPath; }

bool EnsureDriverFolder()
{
    if (g_windowsDir.empty())
        return false;
    std::string twain = g_windowsDir + "\\twain_32";
    std::string folder = g_windowsDir + kFolder;
    if (folder.size() >= MAX_PATH)
        return false;
    CreateDirectoryA(twain.c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

int ConfigIntOr(ConfigKey key, int defaultValue)
{
    const ConfigIntEntry& e = kConfigIntKeys[key];
    if (g_configPath.empty())
        return defaultValue;
    return int(GetPrivateProfileIntA(e.section, e.name, defaultValue, g_configPath.c_str()));
}

int ConfigInt(ConfigKey key) { return ConfigIntOr(key, kConfigIntKeys[key].defaultValue); }

void ConfigText(ConfigTextKey key, char* buffer, unsigned size)
{
    const ConfigTextEntry& e = kConfigTextKeys[key];
    if (size == 0)
        return;
    if (g_configPath.empty()) {
        lstrcpynA(buffer, e.defaultValue, int(size));
        return;
    }
    GetPrivateProfileStringA(e.section, e.name, e.defaultValue, buffer, size, g_configPath.c_str());
}

bool ConfigGammaPoint(const char* name, int* value)
{
    if (g_configPath.empty())
        return false;
    char text[32] = {};
    GetPrivateProfileStringA("Gamma", name, "", text, sizeof text, g_configPath.c_str());
    if (!text[0])
        return false;
    *value = atoi(text);
    return true;
}

bool ConfigWriteUnsigned(const char* section, const char* name, unsigned value)
{
    if (g_configPath.empty() || !EnsureDriverFolder())
        return false;
    char text[16];
    snprintf(text, sizeof text, "%u", value);
    return WritePrivateProfileStringA(section, name, text, g_configPath.c_str()) != 0;
}
