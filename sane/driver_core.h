// What the backend asks of a driver core, and the two cores behind it. One object per
// open handle owns its core's whole state; every call blocks until the device answered.
// Results are the drivers' own (io_driver.h); status.h turns them into SANE's.
#pragma once

#include "io_driver.h"
#include "platform.h"

#include <stdint.h>
#include <memory>
#include <vector>

namespace kestrel_sane {

enum class BeginResult { Ready, NoScanner, Busy };

// A driver's fixed facts, as data.
struct DriverFacts {
    const char* name;         // "plover", "wren"
    const char* model;        // for the device list
    bool (*accepts)(uint16_t vendor, uint16_t product);
    bool color;               // scans colour (else gray only)
    int bedWidth, bedHeight;  // hundredths of an inch
    bool firstColumnNotImage; // a line's first pixel is a byte of another line
    int lineartThreshold;     // Lineart's default: a gray below it is black, as in the
                              // driver's own black and white where that divides the same gray
};

extern const DriverFacts kPloverFacts;
extern const DriverFacts kWrenFacts;
// In the order a device's ids are offered to them: the first that accepts drives it.
enum : int { DRIVER_COUNT = 2 };
extern const DriverFacts* const kDrivers[DRIVER_COUNT];
const DriverFacts* DriverFor(uint16_t vendor, uint16_t product);

class DriverCore {
public:
    virtual ~DriverCore() = default;
    virtual const DriverFacts& facts() const = 0;
    // The scanner answers (checked at open).
    virtual bool present() = 0;
    // The resolutions the driver scans, ascending.
    virtual std::vector<int> resolutions() = 0;
    // IO_StartScan without its own calibration: the device is held until end().
    virtual BeginResult begin() = 0;
    virtual void end() = 0;
    // IO_IsCalibrationNeeded (the device is held).
    virtual bool calibrationNeeded() = 0;
    virtual bool paperOn() = 0;
    // IO_CalibrateScanner with the sheet in the feeder (the device is held).
    virtual bool calibrate() = 0;
    // IO_GetPageDimension then IO_StartScanPage: 1 with the page size, else the failure.
    virtual int startPage(const ScanSettings& settings, int* width, int* height) = 0;
    // IO_GetImageBlock: lines delivered (bottom-up in the block), or IO_PAGE_ENDED or a failure.
    virtual short readBlock(uint8_t* buffer, short lines, int width, int height) = 0;
    // The end of a page, whole or not: the sheet fed out and ejected, the page closed
    // (IO_FeedPage and IO_EndScanPage in the driver's order). False when the sheet did
    // not leave the feeder (a jam).
    virtual bool closePage() = 0;
    // After the device failed: let go of it entirely; begin() finds it afresh.
    virtual void release() = 0;
};

// A core on `os`, which must outlive it.
std::unique_ptr<DriverCore> MakeDriverCore(const DriverFacts& facts, const platform::Platform* os);

} // namespace kestrel_sane
