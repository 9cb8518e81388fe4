// wren (the CIS scanner) behind the backend's driver interface. wren opens the device
// for each operation and holds its cross-process lock from begin() to end().
#include "driver_core.h"

#include "wren/calibration.h"
#include "wren/calibration_record.h"
#include "wren/device_ops.h"
#include "wren/image_lines.h"
#include "wren/module_functions.h"
#include "wren/page_scan.h"
#include "wren/tables.h"
#include "wren/transport.h"

namespace kestrel_sane {

namespace {

// As the Windows module's IO_IsCalibrationNeeded: a calibration older than a year is redone.
const int kCalibrationDays = 365;
// The module name wren files its calibration under ("wren.clb"); no product variant.
const char kModuleName[] = "wren";
// IO_CalibrateScanner's paper source of a plain calibration: measure, then eject the sheet.
const int kCalibrationPaperSource = 0;
// IO_FeedPage's value for a sheet that must leave the scanner.
const int kEjectAlways = 0;

class WrenCore : public DriverCore {
public:
    explicit WrenCore(const platform::Platform* os) : os_(os), division_(65536)
    {
        wren::FillDivisionTable(division_.data());
        wren::Attach(state_, os, kModuleName, division_.data());
    }
    ~WrenCore() override { wren::Detach(state_, false); }

    const DriverFacts& facts() const override { return kWrenFacts; }

    // Listed on the bus: a device another process holds is there, and busy at begin().
    bool present() override
    {
        platform::UsbDeviceRef ref;
        return os_->usb.enumerate(os_->usb.context, wren::IsAcceptedId, &ref, 1) > 0;
    }

    std::vector<int> resolutions() override
    {
        short most = 0, least = 0, step = 0;
        wren::ResolutionInfo(&most, &least, &step);
        std::vector<int> list;
        for (int dpi = least; step > 0 && dpi <= most; dpi += step)
            list.push_back(dpi); // every one is scaled from the 300- or 600-dpi scan
        return list;
    }

    BeginResult begin() override
    {
        switch (wren::TakeDeviceLock(state_)) {
        case IO_START_READY: return BeginResult::Ready;
        case IO_START_BUSY: return BeginResult::Busy;
        default: return BeginResult::NoScanner;
        }
    }

    void end() override { wren::ReleaseDeviceLock(state_); }

    bool calibrationNeeded() override { return wren::NeedCalibration(state_, kCalibrationDays) != 0; }

    bool paperOn() override { return wren::PaperPresent(state_) != 0; }

    bool calibrate() override { return wren::CalibrateAndStore(state_, kCalibrationPaperSource) == 1; }

    int startPage(const ScanSettings& settings, int* width, int* height) override
    {
        if (!wren::TakeSettings(state_, &settings, width, height))
            return 0;
        return wren::StartPage(state_, &settings, width, height);
    }

    short readBlock(uint8_t* buffer, short lines, int width, int height) override
    {
        return wren::GetBlock(state_, buffer, lines, width, height);
    }

    bool closePage() override
    {
        wren::EndPage(state_); // closes the page's device before the feed-out opens it
        return wren::FeedOut(state_, kEjectAlways) != 0;
    }

    void release() override
    {
        wren::EndPage(state_);
        wren::ReleaseDeviceLock(state_);
    }

private:
    const platform::Platform* os_;
    std::vector<uint8_t> division_; // the module's division table, kept until Detach
    wren::ModuleState state_;
};

} // namespace

// 2.11 inches: the widest area wren's settings correction keeps; cards are 3.6 inches long.
// wren's black and white divides its gray lines, white above BW_THRESHOLD.
const DriverFacts kWrenFacts = {"wren", "CIS card scanner (wren)", wren::IsAcceptedId, false, 211, 360, false,
                                wren::BW_THRESHOLD + 1};

std::unique_ptr<DriverCore> MakeWrenCore(const platform::Platform* os)
{
    return std::unique_ptr<DriverCore>(new WrenCore(os));
}

} // namespace kestrel_sane
