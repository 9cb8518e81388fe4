#include "scan/driver_functions.h"

#include "ui/message_box.h"

const char* const kDriverFunctionNames[DRIVER_FUNCTION_COUNT] = {
    "IO_StartScan",        "IO_EndScan",          "IO_ResetHardware",
    "IO_ProcessPaperJam",  "IO_TrueColor",        "IO_StartScanPage",
    "IO_GetPageDimension", "IO_EndScanPage",      "IO_ResolutionInfo",
    "IO_DoCalibration",    "IO_CalibrateScanner", "IO_FeedOn",
    "IO_FeedPage",         "IO_Clean",            "IO_IsPaperOn",
    "IO_GetImageBlock",    "IO_GetHalftonePattern", "IO_GetPatternData",
    "IO_AdjustChannelValue", "IO_HardwareCheck",  "IO_HasScanner",
    "IO_IsCalibrationNeeded", "IO_IsCapableOf",   "IO_IsADFAttached",
    "IO_IsTransA4Attached", "IO_IsTransA5Attached", "IO_IsSlideAttached",
    "IO_GetPaperNames",    "IO_GetFilterNames",   "IO_GetPreviewResolution",
    "IO_GetDriverName",
};

void BindDriverFunctions(HMODULE module, DriverFunctions* functions)
{
    // DriverFunctions is a row of function pointers in the order of the name table.
    FARPROC* slots = reinterpret_cast<FARPROC*>(functions);
    for (int i = 0; i < DRIVER_FUNCTION_COUNT; ++i)
        slots[i] = module ? GetProcAddress(module, kDriverFunctionNames[i]) : nullptr;
}

HMODULE ProbeDriverModule(const char* moduleName)
{
    HMODULE module = LoadLibraryA(moduleName);
    if (!module)
        return nullptr;

    bool accepted = false;
    auto hasScanner = reinterpret_cast<IO_HasScannerFn>(GetProcAddress(module, "IO_HasScanner"));
    if (hasScanner) {
        accepted = hasScanner() != 0;
    } else {
        auto hardwareCheck =
            reinterpret_cast<IO_HardwareCheckFn>(GetProcAddress(module, "IO_HardwareCheck"));
        if (hardwareCheck) {
            char model[16] = "", interfaceType[16] = "", attachment[16] = "";
            char versionMajor[16] = "", versionMinor[16] = "";
            short value1 = 0, value2 = 0, value3 = 0;
            accepted = hardwareCheck(model, interfaceType, attachment, versionMajor,
                                     versionMinor, &value1, &value2, &value3) != 0;
        }
    }
    if (!accepted) {
        FreeLibrary(module);
        return nullptr;
    }
    return module;
}

void DriverBinding::Attach(HMODULE loaded)
{
    module = loaded;
    BindDriverFunctions(module, &fn);
}

void DriverBinding::Release()
{
    if (module)
        FreeLibrary(module);
    module = nullptr;
    fn = DriverFunctions{};
}

int DriverBinding::StartScan()
{
    return module && fn.StartScan ? fn.StartScan() : 0;
}

void DriverBinding::EndScan()
{
    if (module && fn.EndScan)
        fn.EndScan();
}

int DriverBinding::GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    if (!module)
        return 0;
    if (fn.GetPageDimension)
        return fn.GetPageDimension(settings, width, height);
    // Without a dimension query the size is learnt by opening and closing a page.
    StartScanPage(settings, width, height);
    EndScanPage();
    return 1;
}

int DriverBinding::StartScanPage(ScanSettings* settings, int* width, int* height)
{
    return module && fn.StartScanPage ? fn.StartScanPage(settings, width, height) : 0;
}

short DriverBinding::GetImageBlock(unsigned char* buffer, short linesWanted,
                                   ScanSettings* settings, int width, int pageHeight)
{
    if (!module || !fn.GetImageBlock)
        return 0;
    return fn.GetImageBlock(buffer, linesWanted, settings, width, pageHeight);
}

int DriverBinding::FeedPage()
{
    return module && fn.FeedPage ? fn.FeedPage() : 0;
}

void DriverBinding::EndScanPage()
{
    if (module && fn.EndScanPage)
        fn.EndScanPage();
}

int DriverBinding::IsPaperOn()
{
    return module && fn.IsPaperOn ? fn.IsPaperOn() : 0;
}

void DriverBinding::FeedOn()
{
    if (module && fn.FeedOn)
        fn.FeedOn();
}

int DriverBinding::HardwareCheck(char* model, char* interfaceType, char* attachment,
                                 char* versionMajor, char* versionMinor,
                                 short* value1, short* value2, short* value3)
{
    if (!module || !fn.HardwareCheck)
        return 0;
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    int result = fn.HardwareCheck(model, interfaceType, attachment, versionMajor, versionMinor,
                                  value1, value2, value3);
    SetCursor(previous);
    return result;
}

int DriverBinding::CalibrateScanner(int paperSource)
{
    if (!module)
        return 0;
    if (fn.CalibrateScanner)
        return fn.CalibrateScanner(paperSource);
    return fn.DoCalibration ? fn.DoCalibration() : 0;
}

int DriverBinding::IsCalibrationNeeded()
{
    if (!module)
        return 0;
    if (!fn.IsCalibrationNeeded) {
        ShowMessageBox(nullptr, "function not found", "", MB_OK);
        return 0;
    }
    return fn.IsCalibrationNeeded();
}

int DriverBinding::IsCapableOf(short capability)
{
    if (!module)
        return 0;
    if (fn.IsCapableOf)
        return fn.IsCapableOf(capability);
    if (capability == IO_CAP_COLOR)
        return fn.TrueColor ? fn.TrueColor() : 0;
    return capability == IO_CAP_FEEDOUT ? 1 : 0;
}

int DriverBinding::ResolutionInfo(short* maximum, short* minimum, short* step)
{
    short reportedMax = 200;
    if (module && fn.ResolutionInfo) {
        short reportedMin = 50, reportedStep = 50;
        fn.ResolutionInfo(&reportedMax, &reportedMin, &reportedStep);
    }
    // Whatever the driver says, the range starts at 50 in steps of 50 and reaches 200.
    *maximum = reportedMax < 200 ? 200 : reportedMax;
    *minimum = 50;
    *step = 50;
    return 1;
}
