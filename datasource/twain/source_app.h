// The data source's one application object: the whole TWAIN protocol state of
// the loaded module lives here.
#pragma once

#include <windows.h>

#include "io_driver.h"
#include "scan/driver_functions.h"
#include "twain/twain.h"

enum { PATH_BUFFER_SIZE = 260 };

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
