// plover's exported entry points (caller-cleans, undecorated; "_SetFunc@4" standard
// call) on the module's one state.
#include "chip_commands.h"
#include "driver_functions.h"
#include "module.h"
#include "win32_module.h"

#include <string.h>

using namespace plover;

namespace {

// The module's state in one place: the driver's and its platform.
struct Module {
    platform::Win32Platform platform;
    PloverState state;
} g_module;

// IO_Scan's blocks go to the host in one global memory block, made with the first.
struct HostBlock {
    HGLOBAL block = nullptr;
    BlockCallback callback = nullptr;
};

bool DeliverToHost(void* context, const uint8_t* data, size_t bytes, int lines, int last)
{
    HostBlock& host = *static_cast<HostBlock*>(context);
    if (!host.block && !(host.block = GlobalAlloc(GMEM_MOVEABLE, bytes)))
        return false;
    void* memory = GlobalLock(host.block);
    if (!memory)
        return false;
    memcpy(memory, data, bytes);
    GlobalUnlock(host.block);
    if (host.callback)
        host.callback(host.block, lines, last);
    return true;
}

} // namespace

PloverState& PloverModule() { return g_module.state; }

platform::Win32Platform& PloverPlatform()
{
    if (!g_module.platform.platform.files.resolve)
        platform::InitWin32Platform(&g_module.platform, "plover");
    return g_module.platform;
}

void PloverModuleLoad()
{
    DeleteFileA("c:\\plover.txt");
    DeleteFileA("c:\\usbgan.txt");
    platform::InitWin32Platform(&g_module.platform, "plover");
    Load(g_module.state, &g_module.platform.platform);
}

void PloverModuleUnload() { Unload(g_module.state); }

IO_EXPORT int IO_HasScanner(void) { return HasScanner(g_module.state); }

IO_EXPORT int IO_HardwareCheck(char* model, char* interfaceType, char* attachment, char* versionMajor,
                               char* versionMinor, short* value1, short* value2, short* value3)
{
    return HardwareCheck(g_module.state, model, interfaceType, attachment, versionMajor, versionMinor, value1, value2,
                         value3);
}

IO_EXPORT int IO_StartScan(void) { return StartScan(g_module.state); }
IO_EXPORT void IO_EndScan(void) { EndScan(g_module.state); }
IO_EXPORT int IO_IsCalibrationNeeded(void) { return IsCalibrationNeeded(g_module.state); }
IO_EXPORT int IO_CalibrateScanner(int) { return CalibrateScanner(g_module.state); }
IO_EXPORT int IO_IsPaperOn(void) { return IsPaperOn(g_module.state); }
IO_EXPORT int IO_IsButtonOn(void) { return IsButtonOn(g_module.state); }
IO_EXPORT void IO_ProcessPaperJam(void) {}
IO_EXPORT void IO_ResetHardware(void) {}

IO_EXPORT int IO_ResolutionInfo(short* maximum, short* minimum, short* step)
{
    return ResolutionInfo(g_module.state, maximum, minimum, step);
}

IO_EXPORT void IO_GetHalftonePattern(void) {}
IO_EXPORT int IO_GetPatternData(void) { return 1; }
IO_EXPORT int IO_Clean(void) { return Clean(g_module.state); }
IO_EXPORT int IO_FeedOn(void) { return FeedOn(g_module.state); }
IO_EXPORT int IO_RunSteps(int steps) { return RunSteps(g_module.state.device, steps); }
IO_EXPORT int IO_FeedPage(void) { return FeedPage(g_module.state); }

IO_EXPORT int IO_GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    return GetPageDimension(g_module.state, settings, width, height);
}

IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    return StartScanPage(g_module.state, settings, width, height);
}

IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short linesWanted, ScanSettings*, int width, int)
{
    return GetImageBlock(g_module.state, buffer, linesWanted, width);
}

IO_EXPORT int IO_EndScanPage(void) { return EndScanPage(g_module.state); }

IO_EXPORT void IO_AdjustChannelValue(unsigned char table[256], short brightness, short contrast, short gamma,
                                     short highlight, short shadow)
{
    AdjustChannelValue(g_module.state, table, brightness, contrast, gamma, highlight, shadow);
}

IO_EXPORT int IO_IsCapableOf(short capability) { return IsCapableOf(capability); }
IO_EXPORT short IO_GetPaperNames(void) { return 1; }
IO_EXPORT void IO_GetDriverName(void) {}
IO_EXPORT short IO_GetFilterNames(char* names) { return GetFilterNames(names); }
IO_EXPORT short IO_GetPreviewResolution(short) { return GetPreviewResolution(g_module.state); }
IO_EXPORT int IO_IsADFAttached(void) { return 0; }
IO_EXPORT int IO_IsTransA5Attathed(void) { return 0; }
IO_EXPORT int IO_IsTransA4Attathed(void) { return 0; }
IO_EXPORT int IO_IsSlideAttathed(void) { return 0; }

IO_EXPORT int IO_GetVidPid(uint32_t* vendorId, uint32_t* productId)
{
    return GetVidPid(g_module.state, vendorId, productId);
}

IO_EXPORT void IO_AbortScan(void) { AbortScan(g_module.state); }

IO_EXPORT int IO_Scan(short mode, short resolution, short totalLines, short linesPerBlock, BlockCallback callback)
{
    HostBlock host;
    host.callback = callback;
    const int result = CardScan(g_module.state, mode, resolution, totalLines, linesPerBlock, CardBlockSink{&host, DeliverToHost});
    if (host.block)
        GlobalFree(host.block);
    return result;
}

// Exported as "_SetFunc@4" (module definition file), standard call in both builds.
// The callback it is given is not kept: IO_Scan takes its own.
extern "C" BlockCallback __stdcall SetFunc(BlockCallback callback) { return callback; }
