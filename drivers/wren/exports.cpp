// wren's exported entry points (caller-cleans, undecorated).
#include "calibration.h"
#include "device_ops.h"
#include "module_names.h"
#include "page_scan.h"
#include "tables.h"
#include "wren_state.h"

#include <stdio.h>
#include <string.h>

using namespace wren;

namespace {

// IO_IsCalibrationNeeded answers for calibrations older than this.
const int kCalibrationDays = 365;
const uint16_t kReferenceProducts[] = {0x1000, 0x1001, 0x1002, 0x3000, 0x3008, 0x302A};

void Attach(HINSTANCE instance)
{
    DWORD n = GetModuleFileNameA(instance, g_wren.modulePath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        g_wren.modulePath[0] = 0;
    g_wren.stateCode = STATE_LOADED;
    g_wren.divisionMemory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 65536);
    if (g_wren.divisionMemory) {
        uint8_t* table = static_cast<uint8_t*>(GlobalLock(g_wren.divisionMemory));
        if (table)
            FillDivisionTable(table);
        g_wren.division = table;
    }
}

// At process exit other modules (the device seam's) may be gone already: then only
// handles are let go, no device is spoken to.
void Detach(bool processEnding)
{
    if (!processEnding)
        EndPage();
    ReleaseDeviceLock();
    if (g_wren.divisionMemory) {
        if (g_wren.division)
            GlobalUnlock(g_wren.divisionMemory);
        GlobalFree(g_wren.divisionMemory);
        g_wren.divisionMemory = nullptr;
        g_wren.division = nullptr;
    }
}

bool IsReferenceProduct(uint16_t id)
{
    for (uint16_t p : kReferenceProducts)
        if (p == id)
            return true;
    return false;
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

IO_EXPORT int IO_StartScan(void) { return TakeDeviceLock(); }

IO_EXPORT void IO_EndScan(void) { ReleaseDeviceLock(); }

IO_EXPORT int IO_HasScanner(void)
{
    const bool heldBefore = g_wren.lockEvent != nullptr;
    if (!heldBefore && IO_StartScan() != 1) {
        IO_EndScan();
        return 0;
    }
    const ModuleName* row = FindModuleName(OwnModuleFileName());
    const uint16_t expected = row ? row->productId : uint16_t(DEFAULT_PRODUCT_ID);
    DeviceInfo info;
    HANDLE h = OpenWorkDevice(&info);
    int answer = 0;
    if (h != INVALID_HANDLE_VALUE) {
        g_wren.sensorVariant = ReadSensorVariant(h);
        CloseDevice(h);
        if (info.productId == expected)
            answer = 1;
        else if (IsReferenceProduct(info.productId))
            answer = row ? 0 : 1;
    }
    if (!heldBefore)
        IO_EndScan();
    return answer;
}

IO_EXPORT int IO_HardwareCheck(char* model, char* interfaceType, char* attachment, char* versionMajor,
                               char* versionMinor, short* value1, short* value2, short* value3)
{
    DeviceInfo info;
    HANDLE h = OpenWorkDevice(&info);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    g_wren.sensorVariant = ReadSensorVariant(h);
    CloseDevice(h);
    if (model) strcpy(model, ModelText());
    if (interfaceType) strcpy(interfaceType, "USB");
    if (attachment) strcpy(attachment, "---");
    if (versionMajor) sprintf(versionMajor, "%02d", 1);
    if (versionMinor) sprintf(versionMinor, "%02d", 36);
    if (value1) *value1 = short(info.productId);
    if (value2) *value2 = short(info.vendorId);
    if (value3) *value3 = short(g_wren.sensorVariant);
    return 1;
}

IO_EXPORT int IO_NeedCalibration(int days) { return NeedCalibration(days); }

// Not in wren's original set: kestrel asks this name before memory transfers and
// shows "function not found" for every strip when it is missing.
IO_EXPORT int IO_IsCalibrationNeeded(void) { return NeedCalibration(kCalibrationDays); }

IO_EXPORT int IO_CalibrateScanner(int paperSource) { return CalibrateAndStore(paperSource); }

IO_EXPORT void IO_AdjustChannelValue(unsigned char* table, short brightness, short contrast, short gamma,
                                     short highlight, short shadow)
{
    if (table)
        BuildToneTable(table, brightness, contrast, gamma, highlight, shadow);
}

IO_EXPORT int IO_IsPaperOn(void) { return PaperPresent(); }

IO_EXPORT int IO_IsButtonPressed(int button) { return ButtonPressed(button); }

IO_EXPORT int IO_ProcessPaperJam(void) { return FeedOut(0); }
IO_EXPORT int IO_ResetHardware(void) { return FeedOut(0); }

IO_EXPORT int IO_ResolutionInfo(short* maximum, short* minimum, short* step)
{
    if (maximum) *maximum = 1200;
    if (minimum) *minimum = 50;
    if (step) *step = 50;
    return 1;
}

IO_EXPORT int IO_GetHalftonePattern(char* names, short* count)
{
    if (count)
        *count = HALFTONE_COUNT;
    if (names) {
        memset(names, 0, 100);
        char* at = names;
        for (const HalftonePattern& p : kHalftones) {
            strcpy(at, p.name);
            at += strlen(p.name) + 1;
        }
    }
    return 1;
}

IO_EXPORT int IO_GetPatternData(int pattern, unsigned char* buffer, short* width, short* height)
{
    if (pattern < 1 || pattern > HALFTONE_COUNT)
        return 0;
    const HalftonePattern& p = kHalftones[pattern - 1];
    if (buffer)
        memcpy(buffer, p.cells, size_t(p.width * p.height));
    if (width) *width = short(p.width);
    if (height) *height = short(p.height);
    return 1;
}

IO_EXPORT int IO_FeedPage(void) { return FeedOut(g_wren.settings.scanPage); }

IO_EXPORT int IO_GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    if (!settings)
        return 0;
    TakeSettings(settings, width, height);
    return 1;
}

IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    return StartPage(settings, width, height);
}

IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short lines, ScanSettings*, int width, int pageHeight)
{
    return GetBlock(buffer, lines, width, pageHeight);
}

IO_EXPORT int IO_EndScanPage(void)
{
    EndPage();
    return 1;
}

IO_EXPORT int IO_IsCapableOf(short capability) { return capability == 1001 || capability == 1101 ? 1 : 0; }

IO_EXPORT void IO_GetDriverName(char* name)
{
    if (name)
        strcpy(name, DriverNameText());
}

IO_EXPORT short IO_GetPaperNames(void) { return 0; }
IO_EXPORT short IO_GetFilterNames(void) { return 0; }

IO_EXPORT int IO_IsADFAttached(void) { return 0; }
IO_EXPORT int IO_IsTransA5Attathed(void) { return 0; }
IO_EXPORT int IO_IsTransA4Attathed(void) { return 0; }
IO_EXPORT int IO_IsSlideAttathed(void) { return 0; }

IO_EXPORT short IO_GetPreviewResolution(short) { return 50; }
