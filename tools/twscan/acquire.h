// Acquiring one page: negotiate, enable, wait for the transfer-ready event in
// the message loop, transfer by the chosen mechanism, end, disable, close.
#pragma once

#include <string>
#include <vector>

#include "options.h"
#include "source_link.h"

struct AcquireReport {
    bool imageWritten = false;
    std::string error;               // empty on success
    TW_UINT16 lastResult = TWRC_SUCCESS;
    TW_UINT16 lastCondition = TWCC_SUCCESS;
    TW_IMAGEINFO info = {};
    int strips = 0;                  // memory transfer: strips received
    TW_INT16 pendingAfterEnd = -2;   // Count after MSG_ENDXFER
    bool closeRequested = false;     // the source asked to be closed
    std::vector<std::string> log;    // steps, as printed on the console
};

// Runs one acquisition over `link` (not yet opened). Console output unless quiet.
AcquireReport AcquireOnePage(const ScanOptions& options, SourceLink* link);
