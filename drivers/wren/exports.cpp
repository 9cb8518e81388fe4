// wren's exported entry points (caller-cleans, undecorated) and the module's life:
// the one module state, its Win32 platform and its division table in global memory.
#include "calibration.h"
#include "device_ops.h"
#include "module_functions.h"
#include "page_scan.h"
#include "platform_win32.h"
#include "tables.h"

#include <windows.h>

#include <string.h>

using namespace wren;

namespace {

// IO_IsCalibrationNeeded answers for calibrations older than this.
const int kCalibrationDays = 365;

// The module's state in one place: the driver's, its platform, its table's memory.
struct Module {
    platform::Win32Platform platform;
    ModuleState state;
    HGLOBAL divisionMemory = nullptr;
} g_module;

void Attach(HINSTANCE instance)
{
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        path[0] = 0;
    const char* slash = strrchr(path, '\\');
    platform::InitWin32Platform(&g_module.platform, "");
    g_module.divisionMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 65536);
    uint8_t* table = nullptr;
    if (g_module.divisionMemory) {
        table = static_cast<uint8_t*>(GlobalLock(g_module.divisionMemory));
        if (table)
            FillDivisionTable(table);
    }
    wren::Attach(g_module.state, &g_module.platform.platform, slash ? slash + 1 : path, table);
}

void Detach(bool processEnding)
{
    const bool locked = g_module.state.division != nullptr;
    wren::Detach(g_module.state, processEnding);
    if (g_module.divisionMemory) {
        if (locked)
            GlobalUnlock(g_module.divisionMemory);
        GlobalFree(g_module.divisionMemory);
        g_module.divisionMemory = nullptr;
    }
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    if (reason == DLL_PROCESS_ATTACH)
        Attach(instance);
    else if (reason == DLL_PROCESS_DETACH)
        Detach(reserved != nullptr);
    return TRUE;
}

IO_EXPORT int IO_StartScan(void) { return TakeDeviceLock(g_module.state); }
IO_EXPORT void IO_EndScan(void) { ReleaseDeviceLock(g_module.state); }
IO_EXPORT int IO_HasScanner(void) { return HasScanner(g_module.state); }

IO_EXPORT int IO_HardwareCheck(char* model, char* interfaceType, char* attachment, char* versionMajor,
                               char* versionMinor, short* value1, short* value2, short* value3)
{
    return HardwareCheck(g_module.state, model, interfaceType, attachment, versionMajor, versionMinor, value1,
                         value2, value3);
}

IO_EXPORT int IO_NeedCalibration(int days) { return NeedCalibration(g_module.state, days); }

// Not in wren's original set: kestrel asks this name before memory transfers and
// shows "function not found" for every strip when it is missing.
IO_EXPORT int IO_IsCalibrationNeeded(void) { return NeedCalibration(g_module.state, kCalibrationDays); }

IO_EXPORT int IO_CalibrateScanner(int paperSource) { return CalibrateAndStore(g_module.state, paperSource); }

IO_EXPORT void IO_AdjustChannelValue(unsigned char* table, short brightness, short contrast, short gamma,
                                     short highlight, short shadow)
{
    if (table)
        BuildToneTable(table, brightness, contrast, gamma, highlight, shadow);
}

IO_EXPORT int IO_IsPaperOn(void) { return PaperPresent(g_module.state); }
IO_EXPORT int IO_IsButtonPressed(int button) { return ButtonPressed(g_module.state, button); }
IO_EXPORT int IO_ProcessPaperJam(void) { return FeedOut(g_module.state, 0); }
IO_EXPORT int IO_ResetHardware(void) { return FeedOut(g_module.state, 0); }

IO_EXPORT int IO_ResolutionInfo(short* maximum, short* minimum, short* step)
{
    return ResolutionInfo(maximum, minimum, step);
}

IO_EXPORT int IO_GetHalftonePattern(char* names, short* count) { return HalftonePatternNames(names, count); }

IO_EXPORT int IO_GetPatternData(int pattern, unsigned char* buffer, short* width, short* height)
{
    return PatternData(pattern, buffer, width, height);
}

IO_EXPORT int IO_FeedPage(void) { return FeedOut(g_module.state, g_module.state.settings.scanPage); }

IO_EXPORT int IO_GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    if (!settings)
        return 0;
    TakeSettings(g_module.state, settings, width, height);
    return 1;
}

IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    return StartPage(g_module.state, settings, width, height);
}

IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short lines, ScanSettings*, int width, int pageHeight)
{
    return GetBlock(g_module.state, buffer, lines, width, pageHeight);
}

IO_EXPORT int IO_EndScanPage(void)
{
    EndPage(g_module.state);
    return 1;
}

IO_EXPORT int IO_IsCapableOf(short capability) { return IsCapableOf(capability); }
IO_EXPORT void IO_GetDriverName(char* name) { DriverName(name); }

IO_EXPORT short IO_GetPaperNames(void) { return 0; }
IO_EXPORT short IO_GetFilterNames(void) { return 0; }

IO_EXPORT int IO_IsADFAttached(void) { return 0; }
IO_EXPORT int IO_IsTransA5Attathed(void) { return 0; }
IO_EXPORT int IO_IsTransA4Attathed(void) { return 0; }
IO_EXPORT int IO_IsSlideAttathed(void) { return 0; }

IO_EXPORT short IO_GetPreviewResolution(short) { return 50; }
