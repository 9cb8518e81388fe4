// Notifications posted to the host's window. Their message numbers equal the TWAIN
// message values, and the event filter translates them back.
#pragma once

#include <windows.h>
#include <stdint.h>

enum : UINT {
    NOTIFY_XFERREADY = WM_KEYUP,   // 0x0101, reported as MSG_XFERREADY
    NOTIFY_CLOSEDSREQ = WM_CHAR,   // 0x0102, reported as MSG_CLOSEDSREQ
    NOTIFY_NUDGE = WM_KEYDOWN,     // 0x0100, wakes the host's loop after a transfer
};

void PostTransferReady(HWND parent);
void PostCloseRequest(HWND parent);
// Posted at the end of an image (not for the "TwainTest" host).
void PostNudge(HWND parent);

// Host rules that apply to the calling application (HOST_QUIRK_* bits).
uint32_t CurrentHostQuirks();
