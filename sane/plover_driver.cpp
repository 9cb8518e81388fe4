// plover (the CCD scanner) behind the backend's driver interface. The core keeps its
// device open from load to unload; after a failure it is unloaded and loaded again by
// the next begin().
#include "driver_core.h"

#include "plover/chip_commands.h"
#include "plover/driver_functions.h"
#include "plover/module.h"
#include "plover/page_geometry.h"

namespace kestrel_sane {

namespace {

bool PloverAccepts(uint16_t vendor, uint16_t product)
{
    return vendor == plover::PLOVER_VENDOR_ID && product == plover::PLOVER_PRODUCT_ID;
}

class PloverCore : public DriverCore {
public:
    explicit PloverCore(const platform::Platform* os) : os_(os) {}
    ~PloverCore() override { release(); }

    const DriverFacts& facts() const override { return kPloverFacts; }

    bool present() override { return load(); }

    std::vector<int> resolutions() override
    {
        std::vector<int> list;
        if (!load())
            return list;
        short most = 0, least = 0, step = 0;
        plover::ResolutionInfo(*state_, &most, &least, &step);
        if (step <= 0)
            step = 1;
        for (int dpi = least; dpi <= most; dpi += step)
            if (plover::DividerCode(dpi) >= 0)
                list.push_back(dpi);
        return list;
    }

    // IO_StartScan less its calibration (which would measure whatever is in the feeder):
    // the device found again when the handle kept since load no longer reaches it.
    BeginResult begin() override
    {
        return load() && plover::EnsureDevice(state_->device) ? BeginResult::Ready : BeginResult::NoScanner;
    }

    bool calibrationNeeded() override { return loaded_ && plover::IsCalibrationNeeded(*state_) != 0; }

    void end() override
    {
        if (loaded_)
            plover::EndScan(*state_);
    }

    bool paperOn() override { return loaded_ && plover::IsPaperOn(*state_) != 0; }

    bool calibrate() override { return loaded_ && plover::CalibrateScanner(*state_) == 1; }

    int startPage(const ScanSettings& settings, int* width, int* height) override
    {
        if (!loaded_)
            return 0;
        if (!plover::GetPageDimension(*state_, &settings, width, height))
            return 0;
        return plover::StartScanPage(*state_, &settings, width, height);
    }

    short readBlock(uint8_t* buffer, short lines, int width, int) override
    {
        return loaded_ ? plover::GetImageBlock(*state_, buffer, lines, width) : short(IO_NOT_ANSWERING);
    }

    bool closePage() override
    {
        if (!loaded_)
            return false;
        const bool fedOut = plover::FeedPage(*state_) != 0;
        plover::EndScanPage(*state_);
        return fedOut;
    }

    void release() override
    {
        if (loaded_)
            plover::Unload(*state_);
        loaded_ = false;
    }

private:
    bool load()
    {
        if (!loaded_) {
            state_.reset(new plover::PloverState()); // fresh, as a module load makes it
            plover::Load(*state_, os_);
            loaded_ = true;
            if (!state_->device.present)
                release();
        }
        return loaded_;
    }

    const platform::Platform* os_;
    std::unique_ptr<plover::PloverState> state_;
    bool loaded_ = false;
};

} // namespace

// plover's block reversal puts a byte of the next line (or past the block) at each
// line's start. Its black and white divides the light before its tone curve, not its
// gray: Lineart's default is the middle of the gray scale.
const DriverFacts kPloverFacts = {"plover", "CCD card scanner (plover)", PloverAccepts, true,
                                  plover::BED_WIDTH, plover::BED_HEIGHT, true, 128};

std::unique_ptr<DriverCore> MakePloverCore(const platform::Platform* os)
{
    return std::unique_ptr<DriverCore>(new PloverCore(os));
}

} // namespace kestrel_sane
