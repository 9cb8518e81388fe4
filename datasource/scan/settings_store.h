// Persistence of the live scan settings record in the profile (INI) file, and the
// standard page sizes of the scan area.
#pragma once

#include <string>

#include "io_driver.h"
#include "scan/driver_functions.h"

#define kScanSettingsSection "Scan Settings"
#define kCurrentSettingKey   "Current Setting"
#define kDefaultSetName      "Untitle"

// Name of the section holding the current settings set of `profile`: the value of
// "Current Setting" (default `setName`, or "Untitle" without one) followed by "_SET".
std::string CurrentSetSection(const char* profile, const char* setName = nullptr);

// Reads a key of `profile` as a signed 16-bit decimal number. False (and `value`
// untouched) for a missing or empty key, for text that is not a whole decimal
// number ("abc", "12abc", "0x10") and for a number that does not fit 16 bits.
bool ReadProfileNumber(const char* section, const char* key, const char* profile,
                       int16_t* value);

// Fills `settings` from the current set of `profile`. Missing keys, values that are
// not plain decimal numbers and numbers outside the key's range give the key
// table's default or replacement. The driver's resolution range bounds "resolution".
void LoadScanSettings(ScanSettings& settings, DriverBinding& driver, const char* profile,
                      const char* setName = nullptr);

// Writes every stored key of `settings` to the current set of `profile`; write
// failures are ignored.
void SaveScanSettings(const ScanSettings& settings, const char* profile,
                      const char* setName = nullptr);

// Standard page sizes 1..8 (Letter, Legal, A4, A5, B5, business card, photo,
// large photo), in hundredths of an inch from the top-left corner.
enum { SCAN_SIZE_COUNT = 8 };
struct PageSize {
    int16_t right;
    int16_t bottom;
};
extern const PageSize kPageSizes[SCAN_SIZE_COUNT + 1];  // index 0 unused

// Stores `number` in scanSize and sets the area to that page size. Numbers outside
// 1..8 change nothing and return false.
bool SetScanSize(ScanSettings& settings, int number);

// Number of the standard page size whose four edges equal the record's, or 0.
int ScanSizeFromArea(const ScanSettings& settings);
