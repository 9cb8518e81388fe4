// The data source's one application object: the whole TWAIN protocol state of
// the loaded module lives here.
#pragma once

#include <windows.h>

#include "io_driver.h"
#include "scan/driver_functions.h"
#include "twain/twain.h"

enum { PATH_BUFFER_SIZE = 260 };

// Stand-in for the application framework's two per-module strings: the help file
// it opens and the profile file its profile functions use. While the source is
// open they point at SourceApp's own buffers; the framework's values are kept
// aside and given back at close.
#define kFrameworkHelpDefault    "kestrel.hlp"
#define kFrameworkProfileDefault "kestrel.INI"
struct FrameworkStrings {
    const char* helpFilePath = kFrameworkHelpDefault;
    const char* profileName = kFrameworkProfileDefault;
};

struct SourceApp {
    SourceApp();
    ~SourceApp() = default;

    // Protocol state
    int16_t  twainState = 0;
    uint16_t conditionCode = TWCC_SUCCESS;
    uint16_t conditionReserved = 0;
    TW_IDENTITY appIdentity = {};
    TW_IDENTITY sourceIdentity = {};

    // Lifecycle
    int16_t openCount = 0;
    DriverBinding driver;
    ScanSettings settings = {};
    char helpPath[PATH_BUFFER_SIZE] = "";
    char profileName[PATH_BUFFER_SIZE] = "";
    char messageBoxTitle[64] = "";
    HWND parentWindow = nullptr;
    FrameworkStrings framework;        // the strings in force
    FrameworkStrings savedFramework;   // the framework's own, while ours are in force
    bool frameworkSaved = false;
    uint32_t hostQuirks = 0;           // HOST_QUIRK_* bits of the host (host_rules.h)

    // Values behind the transfer capabilities
    int16_t xferCount = -1;
    int16_t pendingCount = -1;
    int16_t xferMech = 2;        // TWSX_MEMORY
    int16_t showIndicators = 1;

    // Records a failure for DAT_STATUS to report.
    void SetCondition(uint16_t code)
    {
        conditionCode = code;
        conditionReserved = 0;
    }
};

extern SourceApp theApp;
