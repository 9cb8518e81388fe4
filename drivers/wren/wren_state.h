// Everything wren keeps between calls, in one place. The module (or a test) owns the
// one instance and hands it to every call.
#pragma once

#include "calibration_record.h"
#include "io_driver.h"
#include "lm9831_transport.h"
#include "platform.h"

#include <stdint.h>
#include <string>
#include <vector>

namespace wren {

// Results of the device lock kept as the module's state code.
enum : int { STATE_LOADED = 0, STATE_NO_DEVICE = 2, STATE_BUSY = 3, STATE_READY = 10 };

struct PageState {
    bool armed = false;          // IO_StartScanPage done, first block not yet
    bool running = false;        // device open and scanning
    lm9831::Link device;
    int base = 600;              // resolution scanned at (300 or 600)
    int resolution = 300;        // delivered resolution
    int rawPixels = 0;           // pixels per raw line
    int rawBytes = 0;            // bytes per raw line from the chip
    int firstPixel = 0;          // sensor pixel of raw pixel 0 (base resolution)
    int outPixels = 0;
    int outBytes = 0;            // destination line, padded to 4 bytes
    int linesLeft = 0;           // output lines still to deliver
    int linesPerChunk = 1;
    int afterSheetLines = 0;     // base lines from the sensor to the scan line
    int afterSheetCounter = 0;
    bool sensorSeen = false;     // the sheet covered the sensor during this page
    bool sheetEnded = false;
    int64_t rawLinesTaken = 0;   // raw lines of the page (after the leading edge)
    int64_t outLinesMade = 0;    // output lines produced so far
    int64_t rawLinesRead = 0;    // every raw line read, for the leading-edge limit
    uint8_t contentLevel = 0;    // edge detection: lowest value that counts as content
    std::vector<uint8_t> chunk;            // raw lines of one read
    std::vector<uint8_t> corrected;        // one corrected raw line
    std::vector<uint8_t> pending;          // output lines made and not yet delivered (scan order)
    std::vector<uint8_t> white600, white300; // prepared white references (white - dark) x 1.05
};

struct ModuleState {
    const platform::Platform* platform = nullptr;
    std::string moduleFileName;  // the module's file name without folder ("wren.dll")
    int stateCode = STATE_LOADED;
    platform::DeviceLock lock = nullptr;     // held from IO_StartScan to IO_EndScan
    platform::UsbDeviceRef lockedDevice = {}; // the device the lock names
    const uint8_t* division = nullptr; // 64 KiB, [v * 256 + w] = min(255, v * 255 / w); the module's memory
    ScanSettings settings = {};  // corrected copy of the caller's record
    uint8_t masterTone[256] = {}, redTone[256] = {}, greenTone[256] = {}, blueTone[256] = {};
    CalibrationRecord record = {};
    int sensorVariant = 0;
    PageState page;
};

} // namespace wren
