#include "scan/scan_errors.h"

#include <stdio.h>
#include <string.h>

#include "scan/scan_log.h"
#include "ui/message_box.h"
#include "ui/text_table.h"

namespace {

// Text number of the message of codes 0..9.
const int kMessageText[10] = {
    4,  // 0 general failure
    4,  // 1 scanner could not be started
    4,  // 2 scanner not answering
    5,  // 3 paper not fed properly
    7,  // 4 cancelled by the user
    6,  // 5 no paper
    8,  // 6 paper jam
    9,  // 7 disk full or damaged
    10, // 8 port busy
    11, // 9 out of memory
};

const char kProductCaption[] = "Zureruri Zedu";

void CopyText(char* destination, const char* source)
{
    if (!source)
        source = "";
    size_t length = strlen(source);
    if (length >= SCAN_MESSAGE_BUFFER_SIZE)
        length = SCAN_MESSAGE_BUFFER_SIZE - 1;
    memcpy(destination, source, length);
    destination[length] = 0;
}

} // namespace

int ScanErrorTextNumber(int code)
{
    return code >= 0 && code <= 9 ? kMessageText[code] : 0;
}

bool GetScanErrorCode(int code, char* text)
{
    if (code >= SCAN_SUCCESS || !text)
        return false;
    if (code < 0)
        CopyText(text, "coding error GetScanErrorCode()");
    else
        CopyText(text, GetText(kMessageText[code]));
    return true;
}

int SetErroecode(int driverResult)
{
    char text[96];
    int code = SCAN_GENERAL_FAILURE;
    if (driverResult >= -9 && driverResult <= -1) {
        code = -driverResult;
        snprintf(text, sizeof(text), "coding error in scanner.cpp::SetErroecode()->%lu",
                 static_cast<unsigned long>(code));
    } else {
        snprintf(text, sizeof(text), "coding error in scanner.cpp::SetErroecode()->unknow code");
    }
    ShowMessageBox(nullptr, text, kProductCaption, MB_OK);
    WriteLog(text);
    return code;
}
