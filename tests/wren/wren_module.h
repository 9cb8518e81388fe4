// wren_sim.dll loaded into a test next to the simulator the test controls, with
// its entry points bound by name as a host binds them, and helpers that scan a
// whole page into a top-down gray image.
#pragma once

#include "io_driver.h"
#include "scansim.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <stdint.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

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

inline ScanSettings GraySettings(int resolution)
{
    ScanSettings s = {};
    s.mode = MODE_GRAY;
    s.resolution = int16_t(resolution);
    for (ChannelAdjust& a : s.adjust) {
        a.gamma = 10;
        a.highlight = 255;
    }
    s.threshold = 128;
    s.top = 0;
    s.left = 0;
    s.bottom = 360;
    s.right = 210;
    return s;
}

struct Page {
    int result = 0;       // last IO_GetImageBlock value that ended the page
    int width = 0, stride = 0, lines = 0;
    int fedOut = -1;      // IO_FeedPage's answer
    bool blackAndWhite = false;
    std::vector<uint8_t> rows; // top-down
    uint8_t At(int x, int y) const
    {
        const uint8_t* row = &rows[size_t(y) * stride];
        if (!blackAndWhite)
            return row[x];
        return (row[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
    }
};

// One page through the driver in blocks of `block` lines, as kestrel calls it.
// `betweenBlocks` runs after every block, as a host's timer may between driver calls.
inline Page ScanPage(WrenModule& w, ScanSettings s, int block = 64,
                     const std::function<void()>& betweenBlocks = nullptr)
{
    Page p;
    int width = 0, height = 0;
    p.result = w.StartScanPage(&s, &width, &height);
    if (p.result != 1) {
        w.EndScanPage();
        return p;
    }
    p.width = width;
    p.blackAndWhite = s.mode != MODE_GRAY;
    p.stride = p.blackAndWhite ? ((width + 7) / 8 + 3) / 4 * 4 : (width + 3) / 4 * 4;
    std::vector<uint8_t> buffer(size_t(p.stride) * block);
    for (;;) {
        int wanted = std::min(block, height - p.lines);
        if (wanted <= 0)
            break;
        short got = w.GetImageBlock(buffer.data(), short(wanted), &s, width, height);
        if (got <= 0) {
            p.result = got;
            break;
        }
        // Each block is bottom-up.
        for (int k = got - 1; k >= 0; --k)
            p.rows.insert(p.rows.end(), buffer.begin() + size_t(k) * p.stride,
                          buffer.begin() + size_t(k + 1) * p.stride);
        p.lines += got;
        p.result = got;
        if (betweenBlocks)
            betweenBlocks();
        if (got < wanted)
            break;
    }
    p.fedOut = w.FeedPage();
    w.EndScanPage();
    return p;
}

} // namespace wrentest
