#include "scan/settings_store.h"

#include <windows.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include "scan/settings_keys.h"

static_assert(sizeof(ScanSettings) == 43 * sizeof(int16_t), "the record is a row of words");

static int16_t* Word(ScanSettings& settings, int word)
{
    return reinterpret_cast<int16_t*>(&settings) + word;
}

static int16_t Word(const ScanSettings& settings, int word)
{
    return reinterpret_cast<const int16_t*>(&settings)[word];
}

// Without a file name the profile functions would fall back to WIN.INI; no name
// here means no file, so every key takes its default.
static bool HasProfile(const char* profile)
{
    return profile && *profile;
}

std::string CurrentSetSection(const char* profile, const char* setName)
{
    const char* fallback = setName ? setName : kDefaultSetName;
    char name[256] = "";
    if (HasProfile(profile))
        GetPrivateProfileStringA(kScanSettingsSection, kCurrentSettingKey, fallback, name,
                                 sizeof(name), profile);
    else
        snprintf(name, sizeof(name), "%s", fallback);
    return std::string(name) + "_SET";
}

bool ReadProfileNumber(const char* section, const char* key, const char* profile,
                       int16_t* value)
{
    if (!HasProfile(profile))
        return false;
    char text[64] = "";
    GetPrivateProfileStringA(section, key, "", text, sizeof(text), profile);
    const char* start = text;
    while (*start == ' ' || *start == '\t')
        ++start;
    if (!*start)
        return false;
    char* end = nullptr;
    errno = 0;
    long number = strtol(start, &end, 10);
    if (end == start || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end || number < INT16_MIN || number > INT16_MAX)
        return false;
    *value = static_cast<int16_t>(number);
    return true;
}

static void LoadKey(ScanSettings& settings, const SettingKey& key, const char* section,
                    const char* profile, int16_t minResolution, int16_t maxResolution)
{
    int16_t value = key.defaultValue;
    switch (key.rule) {
    case KeyRule::WrittenOnly:
        return;
    case KeyRule::Any:
        ReadProfileNumber(section, key.name, profile, &value);
        break;
    case KeyRule::Limited:
        if (ReadProfileNumber(section, key.name, profile, &value) &&
            (value < key.minimum || value > key.maximum))
            value = key.replacement;
        break;
    case KeyRule::DriverResolution:
        if (ReadProfileNumber(section, key.name, profile, &value) &&
            (value < minResolution || value > maxResolution))
            value = key.replacement;
        break;
    }
    *Word(settings, key.word) = value;
}

void LoadScanSettings(ScanSettings& settings, DriverBinding& driver, const char* profile,
                      const char* setName)
{
    settings.mode = MODE_GRAY;
    short maxResolution = 200, minResolution = 50, step = 50;
    driver.ResolutionInfo(&maxResolution, &minResolution, &step);

    const std::string section = CurrentSetSection(profile, setName);
    for (int i = 0; i < kLoadOrderCount; ++i) {
        if (const SettingKey* key = FindSettingKey(kLoadOrder[i]))
            LoadKey(settings, *key, section.c_str(), profile, minResolution, maxResolution);
    }

    // An area too small to scan is replaced by the whole bed.
    if (settings.right - settings.left < 50 || settings.bottom - settings.top < 50) {
        settings.top = 0;
        settings.left = 0;
        settings.bottom = 360;
        settings.right = 220;
    }
    settings.scanSize = 0;
}

void SaveScanSettings(const ScanSettings& settings, const char* profile, const char* setName)
{
    if (!HasProfile(profile))
        return;
    const std::string section = CurrentSetSection(profile, setName);
    for (int i = 0; i < kSaveOrderCount; ++i) {
        const SettingKey* key = FindSettingKey(kSaveOrder[i]);
        if (!key)
            continue;
        char text[16];
        snprintf(text, sizeof(text), "%d", Word(settings, key->word));
        WritePrivateProfileStringA(section.c_str(), key->name, text, profile);
    }
}
