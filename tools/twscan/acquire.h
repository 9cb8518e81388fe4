// Acquiring one page: negotiate, enable, wait for the transfer-ready event in
// the message loop, transfer by the chosen mechanism, end, disable, close.
#pragma once

#include <string>
#include <vector>

#include "options.h"
#include "source_link.h"

struct AcquireReport {
    bool imageWritten = false;       // at least one image file written
    int sheetsWritten = 0;           // images written (--count asks for several)
    std::string error;               // empty on success
    TW_UINT16 lastResult = TWRC_SUCCESS;
    TW_UINT16 lastCondition = TWCC_SUCCESS;
    TW_IMAGEINFO info = {};
    int strips = 0;                  // memory transfer: strips received
    TW_INT16 pendingAfterEnd = -2;   // Count after MSG_ENDXFER
    bool closeRequested = false;     // the source asked to be closed
    std::vector<std::string> log;    // steps, as printed on the console
};

// Runs one acquisition over `link` (not yet opened): options.count sheets, into
// numbered files when options.numbered. Console output unless quiet.
AcquireReport AcquireOnePage(const ScanOptions& options, SourceLink* link);

// The file name of sheet `sheet` (from 1): the output name itself, or with --count
// the number before the extension ("card.png" -> "card-002.png").
std::string SheetFileName(const ScanOptions& options, int sheet);
