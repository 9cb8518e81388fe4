// DAT_USERINTERFACE (enable, disable) and DAT_EVENT (the event filter).
#include <string.h>

#include "scan/scan_errors.h"
#include "twain/handlers.h"
#include "twain/host_notify.h"
#include "twain/host_rules.h"
#include "twain/source_app.h"
#include "twain/source_identity.h"
#include "twain/trace.h"
#include "twain/transfer_state.h"
#include "ui/message_box.h"
#include "ui/settings_sheet.h"

namespace {

// Settings window results
const int kWindowScan = 500;          // this and above (below a language) ask for a scan
const int kWindowLanguageFirst = 1210;
const int kStartPageAfterLanguageSwitch = 3;

// The device's readiness as a scan result code.
int StartScanStatus(int started)
{
    switch (started) {
    case 1: return 10;
    case 0: return 1;
    case -1: return 8;
    case -2: return 0;
    default:
        DebugTrace("coding error 96111312");
        return 10;
    }
}

void DispatchWaitingMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE | PM_NOYIELD)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace

// DG_CONTROL / DAT_USERINTERFACE / MSG_ENABLEDS (accepted in state 4 only)
TW_UINT16 OnEnableDS(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* ui = static_cast<pTW_USERINTERFACE>(data);
    theApp.twainState = 5;
    ui->ModalUI = TRUE;
    HWND parent = static_cast<HWND>(ui->hParent);
    theApp.parentWindow = parent;

    int windowResult = kWindowScan;
    if (ui->ShowUI) {
        windowResult = RunSettingsWindow(kProductName, parent, 0);
        while (windowResult >= kWindowLanguageFirst)
            windowResult = RunSettingsWindow(kProductName, parent, kStartPageAfterLanguageSwitch);
    }
    const bool scanWanted = windowResult >= kWindowScan;

    int status = StartScanStatus(theApp.driver.StartScan());
    if (scanWanted && status >= 10) {
        int16_t count = theApp.driver.IsCapableOf(IO_CAP_FEEDOUT) ? -1 : 1;
        if (CurrentHostQuirks() & HOST_QUIRK_XFERCOUNT_UNKNOWN)
            count = -1;
        theApp.xferCount = theApp.pendingCount = count;

        int width = 0, height = 0;
        if (!theApp.driver.GetPageDimension(&theApp.settings, &width, &height))
            status = 0;
        if (status >= 10) {
            if (width == 0 || height == 0) {
                const ScanSettings& s = theApp.settings;
                width = (s.right - s.left) * s.resolution / 100;
                height = (s.bottom - s.top) * s.resolution / 100;
            }
            theTransfer.imageWidth = width;
            theTransfer.imageHeight = height;
            if (HostQuirksOfWindow(parent) & HOST_QUIRK_FORCE_BW)
                theApp.settings.mode = MODE_BW;
        }
    }

    DispatchWaitingMessages();

    if (scanWanted && status >= 10) {
        PostTransferReady(parent);
        theApp.twainState = 6;
        return TWRC_SUCCESS;
    }
    if (scanWanted) {
        char text[SCAN_MESSAGE_BUFFER_SIZE] = "";
        if (GetScanErrorCode(status, text))
            ShowMessageBox(parent, text, kProductName, MB_OK | MB_ICONEXCLAMATION);
    }
    PostCloseRequest(parent);
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_USERINTERFACE / MSG_DISABLEDS: the device is stopped before the
// state is examined, so a host that disables out of turn still releases it.
TW_UINT16 OnDisableDS(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    theApp.driver.EndScan();
    if (!theTransfer.mem.newImage)
        EndMemoryImage();  // the host gave up an image in the middle: close its page
    if (theApp.twainState != 5) {
        theApp.SetCondition(TWCC_SEQERROR);
        return TWRC_FAILURE;
    }
    theApp.twainState = 4;
    if (data) {
        HWND parent = static_cast<HWND>(static_cast<pTW_USERINTERFACE>(data)->hParent);
        if (parent && IsWindow(parent))
            SetForegroundWindow(parent);
    }
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_EVENT / MSG_PROCESSEVENT: only the message number is examined.
TW_UINT16 OnProcessEvent(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* event = static_cast<pTW_EVENT>(data);
    const MSG* msg = static_cast<const MSG*>(event->pEvent);
    const UINT number = msg ? msg->message : 0;
    if (number == NOTIFY_XFERREADY) {
        event->TWMessage = MSG_XFERREADY;
        return TWRC_DSEVENT;
    }
    if (number == NOTIFY_CLOSEDSREQ) {
        event->TWMessage = MSG_CLOSEDSREQ;
        return TWRC_DSEVENT;
    }
    event->TWMessage = MSG_NULL;
    return TWRC_NOTDSEVENT;
}
