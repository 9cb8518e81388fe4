// Every message box of the data source goes through ShowMessageBox, so that a
// test can watch them instead of blocking on a modal window.
#pragma once

#include <windows.h>

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type);

// Replaces the platform message box; nullptr restores it. The hook returns the
// button the "user" pressed (IDOK, IDCANCEL, ...).
typedef int (*MessageBoxHook)(HWND owner, const char* text, const char* title, UINT type);
void SetMessageBoxHook(MessageBoxHook hook);
