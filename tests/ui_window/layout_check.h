// Whether a window shows all of its controls and texts: every visible control lies
// inside the area of the window that can be seen, and every text fits its
// control, measured with the control's own font. Nothing here depends on the
// fonts of the machine: the limits are the controls' own rectangles.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Checks the visible children of `container` against `visible` (screen
// coordinates) and their texts; each fault is appended as one line naming `where`.
void CheckLayout(HWND container, const RECT& visible, const std::string& where,
                 std::vector<std::string>* faults);

// The client area of `window` in screen coordinates.
RECT ClientOnScreen(HWND window);
