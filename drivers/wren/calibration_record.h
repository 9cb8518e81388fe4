// The calibration record, stored byte for byte as the calibration file
// (<module name>.clb), 16-bit fields little-endian.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace wren {

struct ModuleState;

enum : int { SENSOR_PIXELS = 2700, RECORD_SIZE = 16240, CALIBRATED_MARK = 136 };

#pragma pack(push, 1)
struct CalibrationRecord {
    uint16_t fixedGain;         // registers 0x40/0x41
    uint16_t fixedOffset;       // registers 0x3E/0x3F
    uint16_t firstPixel600;
    uint16_t exposure600;       // LED time
    uint16_t lineGain600;       // registers 0x3B-0x3D
    uint16_t lineOffset600;     // registers 0x38-0x3A
    uint16_t firstPixel300;
    uint16_t exposure300;
    uint16_t lineGain300;
    uint16_t lineOffset300;
    uint16_t sensorVariant;
    uint16_t validityMark;      // CALIBRATED_MARK after a calibration
    uint16_t backgroundLevel;   // sheet-edge detection
    uint8_t unused[14];
    uint8_t white600[SENSOR_PIXELS];
    uint8_t halfWhite600[SENSOR_PIXELS]; // stored, not used for images
    uint8_t dark600[SENSOR_PIXELS];
    uint8_t white300[SENSOR_PIXELS];
    uint8_t halfWhite300[SENSOR_PIXELS];
    uint8_t dark300[SENSOR_PIXELS];
};
#pragma pack(pop)
static_assert(sizeof(CalibrationRecord) == RECORD_SIZE, "the calibration record is 16240 bytes");
static_assert(offsetof(CalibrationRecord, backgroundLevel) == 24, "background level at 24");
static_assert(offsetof(CalibrationRecord, white600) == 40, "references from 40");
static_assert(offsetof(CalibrationRecord, dark300) == 13540, "dark 300 at 13540");

// The record a new file starts from.
void DefaultRecord(CalibrationRecord& r);

// False when a field that indexes or programs the hardware lies outside what a
// calibration can produce (the file is writable by every user).
bool IsPlausibleRecord(const CalibrationRecord& r);

enum : size_t { CALIBRATION_PATH_MOST = 4096 };

// <module name>.clb in the shared data folder (the alternative name's in the system
// folder); false when it does not fit.
bool CalibrationFilePath(const ModuleState& m, char* out, size_t size);

// Loads the file when it is exactly one plausible record; else the defaults. True when loaded.
bool LoadRecord(const ModuleState& m, CalibrationRecord& r);

// 1 when the file is missing, unmarked, older than `days` or not RECORD_SIZE bytes.
int NeedCalibration(const ModuleState& m, int days);

// Age of a file written at `then` seen at `now` (UTC dates): 365 × years + 30 × months + days,
// as a 16-bit value.
int16_t RecordAge(int thenYear, int thenMonth, int thenDay, int nowYear, int nowMonth, int nowDay);

} // namespace wren
