#include "twain/host_notify.h"

#include "twain/host_rules.h"
#include "twain/source_app.h"

void PostTransferReady(HWND parent)
{
    PostMessageA(parent, NOTIFY_XFERREADY, 0, 0);
}

void PostCloseRequest(HWND parent)
{
    PostMessageA(parent, NOTIFY_CLOSEDSREQ, 0, 0);
}

void PostNudge(HWND parent)
{
    if (!(CurrentHostQuirks() & HOST_QUIRK_NO_NUDGE))
        PostMessageA(parent, NOTIFY_NUDGE, 0x30, 2);
}

uint32_t CurrentHostQuirks()
{
    return HostQuirksOfProduct(theApp.appIdentity.ProductName);
}
