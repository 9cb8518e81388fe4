// Binding of a driver module's IO_ entry points, probing of candidate modules,
// and the wrappers through which every driver call of the data source goes.
#pragma once

#include <windows.h>
#include "io_driver.h"

// One nullable entry per name, in the order they are looked up.
struct DriverFunctions {
    IO_StartScanFn            StartScan;
    IO_EndScanFn              EndScan;
    IO_ResetHardwareFn        ResetHardware;
    IO_ProcessPaperJamFn      ProcessPaperJam;
    IO_TrueColorFn            TrueColor;
    IO_StartScanPageFn        StartScanPage;
    IO_GetPageDimensionFn     GetPageDimension;
    IO_EndScanPageFn          EndScanPage;
    IO_ResolutionInfoFn       ResolutionInfo;
    IO_DoCalibrationFn        DoCalibration;
    IO_CalibrateScannerFn     CalibrateScanner;
    IO_FeedOnFn               FeedOn;
    IO_FeedPageFn             FeedPage;
    IO_CleanFn                Clean;
    IO_IsPaperOnFn            IsPaperOn;
    IO_GetImageBlockFn        GetImageBlock;
    IO_GetHalftonePatternFn   GetHalftonePattern;
    IO_GetPatternDataFn       GetPatternData;
    IO_AdjustChannelValueFn   AdjustChannelValue;
    IO_HardwareCheckFn        HardwareCheck;
    IO_HasScannerFn           HasScanner;
    IO_IsCalibrationNeededFn  IsCalibrationNeeded;
    IO_IsCapableOfFn          IsCapableOf;
    IO_IsAttachedFn           IsADFAttached;
    IO_IsAttachedFn           IsTransA4Attached;
    IO_IsAttachedFn           IsTransA5Attached;
    IO_IsAttachedFn           IsSlideAttached;
    IO_GetPaperNamesFn        GetPaperNames;
    IO_GetFilterNamesFn       GetFilterNames;
    IO_GetPreviewResolutionFn GetPreviewResolution;
    IO_GetDriverNameFn        GetDriverName;
};

// Number of entries, and the export name each one is bound from (same order).
enum { DRIVER_FUNCTION_COUNT = 31 };
extern const char* const kDriverFunctionNames[DRIVER_FUNCTION_COUNT];
static_assert(sizeof(DriverFunctions) == DRIVER_FUNCTION_COUNT * sizeof(void*),
              "one pointer per bound name");

// Looks every name up in `module`; names it does not export stay empty.
void BindDriverFunctions(HMODULE module, DriverFunctions* functions);

// Loads `moduleName` and asks it whether a supported scanner answers
// (IO_HasScanner, else IO_HardwareCheck). Returns the loaded module when
// accepted; a rejected module is unloaded and NULL returned.
HMODULE ProbeDriverModule(const char* moduleName);

// The loaded driver module and its entry points, with the fallbacks the data
// source uses when no module is loaded or an entry point is missing.
struct DriverBinding {
    HMODULE module = nullptr;
    DriverFunctions fn = {};

    bool IsLoaded() const { return module != nullptr; }
    void Attach(HMODULE loaded);   // takes ownership and binds
    void Release();                // frees the module, empties the entries

    int   StartScan();
    void  EndScan();
    int   GetPageDimension(ScanSettings* settings, int* width, int* height);
    int   StartScanPage(ScanSettings* settings, int* width, int* height);
    short GetImageBlock(unsigned char* buffer, short linesWanted, ScanSettings* settings,
                        int width, int pageHeight);
    int   FeedPage();
    void  EndScanPage();
    int   IsPaperOn();
    void  FeedOn();
    int   HardwareCheck(char* model, char* interfaceType, char* attachment,
                        char* versionMajor, char* versionMinor,
                        short* value1, short* value2, short* value3);
    int   CalibrateScanner(int paperSource);
    int   IsCalibrationNeeded();
    int   IsCapableOf(short capability);
    int   ResolutionInfo(short* maximum, short* minimum, short* step);
};
