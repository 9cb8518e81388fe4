// wren's core on the simulated scanner of this process, attached as wren_sim.dll is,
// with the calls the tests make under the names of the exports that stand for them.
#pragma once

#include "calibration.h"
#include "calibration_record.h"
#include "device_ops.h"
#include "module_functions.h"
#include "page_scan.h"
#include "support/sim_platform.h"
#include "tables.h"

#include <string>
#include <vector>

namespace wrentest {

struct WrenCore {
    explicit WrenCore(const std::string& testName) : os(testName), division(65536)
    {
        wren::FillDivisionTable(division.data());
        wren::Attach(state, &os.Os(), "wren_sim.dll", division.data());
    }
    ~WrenCore() { wren::Detach(state, false); }

    int NeedCalibration(int days) { return wren::NeedCalibration(state, days); }
    int CalibrateScanner(int paperSource) { return wren::CalibrateAndStore(state, paperSource); }
    int StartScanPage(ScanSettings* s, int* width, int* height) { return wren::StartPage(state, s, width, height); }
    short GetImageBlock(unsigned char* buffer, short lines, ScanSettings*, int width, int height)
    {
        return wren::GetBlock(state, buffer, lines, width, height);
    }
    void EndScanPage() { wren::EndPage(state); }
    int FeedPage() { return wren::FeedOut(state, state.settings.scanPage); }
    int IsPaperOn() { return wren::PaperPresent(state); }
    int IsButtonPressed(int button) { return wren::ButtonPressed(state, button); }

    // The record file, <data folder>/wren_sim.clb.
    std::string CalibrationFile() const
    {
        char path[wren::CALIBRATION_PATH_MOST] = {};
        wren::CalibrationFilePath(state, path, sizeof path);
        return path;
    }

    simtest::SimulatedPlatform os;
    std::vector<uint8_t> division;
    wren::ModuleState state;
};

} // namespace wrentest
