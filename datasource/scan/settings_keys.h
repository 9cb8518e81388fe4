// The keys of a saved settings set: which record word each one holds, its default,
// the values accepted when it is read back, and the orders of reading and writing.
#pragma once

#include <stdint.h>

// How a key is read back from the profile.
enum class KeyRule : uint8_t {
    Limited,           // outside minimum..maximum it becomes the replacement
    DriverResolution,  // limited by the driver's resolution range, else the replacement
    Any,               // any number is taken as it is
    WrittenOnly,       // saved but never read back
};

struct SettingKey {
    const char* name;      // the profile key, letter for letter
    int word;              // position of the value in ScanSettings
    KeyRule rule;
    int16_t defaultValue;  // used when the key is missing or not a number
    int16_t minimum;       // Limited keys only
    int16_t maximum;
    int16_t replacement;   // stored instead of a value outside the accepted range
};

extern const SettingKey kSettingKeys[];
extern const int kSettingKeyCount;

// Key names in the order the set is read, and in the order it is written.
extern const char* const kLoadOrder[];
extern const int kLoadOrderCount;
extern const char* const kSaveOrder[];
extern const int kSaveOrderCount;

// The row of a key name, or nullptr.
const SettingKey* FindSettingKey(const char* name);
