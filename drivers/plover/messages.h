// Every message box of the driver goes through PloverMessageBox, so that a test
// can answer it instead of a user (the hook returns the button pressed).
#pragma once

#include <windows.h>

typedef int (*PloverMessageHook)(const char* text, const char* caption, UINT type);
void SetPloverMessageHook(PloverMessageHook hook);
int PloverMessageBox(const char* text, const char* caption, UINT type);

extern const char kCalibrationMessage[];
