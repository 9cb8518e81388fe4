// wren_sim.dll loaded into a test next to the simulator the test controls, with
// its entry points bound by name as a host binds them (the page helpers of
// wren_pages.h scan with it).
#pragma once

#include "io_driver.h"
#include "scansim.h"
#include "wren_pages.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace wrentest {

struct WrenModule {
    HMODULE module = nullptr;
    int (*StartScan)() = nullptr;
    void (*EndScan)() = nullptr;
    int (*NeedCalibration)(int) = nullptr;
    int (*CalibrateScanner)(int) = nullptr;
    int (*StartScanPage)(ScanSettings*, int*, int*) = nullptr;
    short (*GetImageBlock)(unsigned char*, short, ScanSettings*, int, int) = nullptr;
    int (*EndScanPage)() = nullptr;
    int (*FeedPage)() = nullptr;
    int (*IsPaperOn)() = nullptr;
    void (*AdjustChannelValue)(unsigned char*, short, short, short, short, short) = nullptr;
    int (*IsButtonPressed)(int) = nullptr;

    WrenModule()
    {
        module = LoadLibraryA("wren_sim.dll");
        if (!module)
            return;
        Bind(StartScan, "IO_StartScan");
        Bind(EndScan, "IO_EndScan");
        Bind(NeedCalibration, "IO_NeedCalibration");
        Bind(CalibrateScanner, "IO_CalibrateScanner");
        Bind(StartScanPage, "IO_StartScanPage");
        Bind(GetImageBlock, "IO_GetImageBlock");
        Bind(EndScanPage, "IO_EndScanPage");
        Bind(FeedPage, "IO_FeedPage");
        Bind(IsPaperOn, "IO_IsPaperOn");
        Bind(AdjustChannelValue, "IO_AdjustChannelValue");
        Bind(IsButtonPressed, "IO_IsButtonPressed");
    }
    ~WrenModule()
    {
        if (module)
            FreeLibrary(module);
    }
    template <typename F> void Bind(F& f, const char* name)
    {
        f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    bool Loaded() const { return module && StartScan && GetImageBlock && CalibrateScanner; }
};

// The calibration file of wren_sim.dll: <common application data>\wren_sim.clb.
inline std::string CalibrationFile()
{
    char dir[MAX_PATH] = {};
    HKEY key;
    DWORD size = MAX_PATH - 1, type = 0;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion\\explorer\\shell folders",
                      0, KEY_READ, &key) == ERROR_SUCCESS) {
        if (RegQueryValueExA(key, "Common AppData", nullptr, &type, reinterpret_cast<BYTE*>(dir), &size) !=
            ERROR_SUCCESS)
            dir[0] = 0;
        RegCloseKey(key);
    }
    std::string d = dir;
    if (d.empty()) {
        GetTempPathA(MAX_PATH, dir);
        d = dir;
    } else {
        d += "\\";
    }
    return d + "wren_sim.clb";
}

} // namespace wrentest
