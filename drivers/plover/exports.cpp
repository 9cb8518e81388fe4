// plover's exported entry points (caller-cleans, undecorated; "_SetFunc@4" standard
// call) on the module's one state.
#include "chip_commands.h"
#include "driver_functions.h"
#include "module.h"
#include "win32_module.h"

#include <string.h>
#include <new>

using namespace plover;

namespace {

// The module's state in one place: the driver's and its platform.
struct Module {
    platform::Win32Platform platform;
    PloverState state;
};

// Made by its first use, not by a constructor of its own: the module object (another
// file) loads the driver while the module's statics are made, in the linker's order.
alignas(Module) unsigned char g_moduleStorage[sizeof(Module)];
Module* g_module = nullptr;

Module& TheModule()
{
    if (!g_module)
        g_module = new (g_moduleStorage) Module();
    return *g_module;
}

PloverState& State() { return TheModule().state; }

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

PloverState& PloverModule() { return State(); }

platform::Win32Platform& PloverPlatform()
{
    if (!TheModule().platform.platform.files.resolve)
        platform::InitWin32Platform(&TheModule().platform, "plover");
    return TheModule().platform;
}

void PloverModuleLoad()
{
    DeleteFileA("c:\\plover.txt");
    DeleteFileA("c:\\usbgan.txt");
    platform::InitWin32Platform(&TheModule().platform, "plover");
    Load(State(), &TheModule().platform.platform);
}

void PloverModuleUnload() { Unload(State()); }

void PloverModuleRelease()
{
    if (g_module)
        g_module->~Module();
    g_module = nullptr;
}

IO_EXPORT int IO_HasScanner(void) { return HasScanner(State()); }

IO_EXPORT int IO_HardwareCheck(char* model, char* interfaceType, char* attachment, char* versionMajor,
                               char* versionMinor, short* value1, short* value2, short* value3)
{
    return HardwareCheck(State(), model, interfaceType, attachment, versionMajor, versionMinor, value1, value2,
                         value3);
}

IO_EXPORT int IO_StartScan(void) { return StartScan(State()); }
IO_EXPORT void IO_EndScan(void) { EndScan(State()); }
IO_EXPORT int IO_IsCalibrationNeeded(void) { return IsCalibrationNeeded(State()); }
IO_EXPORT int IO_CalibrateScanner(int) { return CalibrateScanner(State()); }
IO_EXPORT int IO_IsPaperOn(void) { return IsPaperOn(State()); }
IO_EXPORT int IO_IsButtonOn(void) { return IsButtonOn(State()); }
IO_EXPORT void IO_ProcessPaperJam(void) {}
IO_EXPORT void IO_ResetHardware(void) {}

IO_EXPORT int IO_ResolutionInfo(short* maximum, short* minimum, short* step)
{
    return ResolutionInfo(State(), maximum, minimum, step);
}

IO_EXPORT void IO_GetHalftonePattern(void) {}
IO_EXPORT int IO_GetPatternData(void) { return 1; }
IO_EXPORT int IO_Clean(void) { return Clean(State()); }
IO_EXPORT int IO_FeedOn(void) { return FeedOn(State()); }
IO_EXPORT int IO_RunSteps(int steps) { return RunSteps(State().device, steps); }
IO_EXPORT int IO_FeedPage(void) { return FeedPage(State()); }

IO_EXPORT int IO_GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    return GetPageDimension(State(), settings, width, height);
}

IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    return StartScanPage(State(), settings, width, height);
}

IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short linesWanted, ScanSettings*, int width, int)
{
    return GetImageBlock(State(), buffer, linesWanted, width);
}

IO_EXPORT int IO_EndScanPage(void) { return EndScanPage(State()); }

IO_EXPORT void IO_AdjustChannelValue(unsigned char table[256], short brightness, short contrast, short gamma,
                                     short highlight, short shadow)
{
    AdjustChannelValue(State(), table, brightness, contrast, gamma, highlight, shadow);
}

IO_EXPORT int IO_IsCapableOf(short capability) { return IsCapableOf(capability); }
IO_EXPORT short IO_GetPaperNames(void) { return 1; }
IO_EXPORT void IO_GetDriverName(void) {}
IO_EXPORT short IO_GetFilterNames(char* names) { return GetFilterNames(names); }
IO_EXPORT short IO_GetPreviewResolution(short) { return GetPreviewResolution(State()); }
IO_EXPORT int IO_IsADFAttached(void) { return 0; }
IO_EXPORT int IO_IsTransA5Attathed(void) { return 0; }
IO_EXPORT int IO_IsTransA4Attathed(void) { return 0; }
IO_EXPORT int IO_IsSlideAttathed(void) { return 0; }

IO_EXPORT int IO_GetVidPid(uint32_t* vendorId, uint32_t* productId)
{
    return GetVidPid(State(), vendorId, productId);
}

IO_EXPORT void IO_AbortScan(void) { AbortScan(State()); }

IO_EXPORT int IO_Scan(short mode, short resolution, short totalLines, short linesPerBlock, BlockCallback callback)
{
    HostBlock host;
    host.callback = callback;
    const CardBlockSink sink = {&host, DeliverToHost};
    const int result = CardScan(State(), mode, resolution, totalLines, linesPerBlock, sink);
    if (host.block)
        GlobalFree(host.block);
    return result;
}

// Exported as "_SetFunc@4" (module definition file), standard call in both builds.
// The callback it is given is not kept: IO_Scan takes its own.
extern "C" BlockCallback __stdcall SetFunc(BlockCallback callback) { return callback; }
