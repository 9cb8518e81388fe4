// Drives a modal window from inside its own message loop: a thread timer runs
// the steps of a script, one per tick, on the window's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// A step gets the settings window (never NULL) and returns true when it is done;
// false runs it again on the next tick.
typedef std::function<bool(HWND sheet)> ScriptStep;

struct WindowScript {
    std::vector<ScriptStep> steps;
    size_t next = 0;
    bool timedOut = false;

    bool Finished() const { return next >= steps.size(); }
};

// Runs the settings window with `startPage` while `script` plays; a script that
// has not ended the window after about 20 s closes it with its close box.
int RunScripted(WindowScript& script, int startPage, HWND parent = nullptr);

// Runs `body` (which shows settings windows, perhaps several one after another)
// while `script` plays on whichever settings window is open; returns body's result.
int RunScriptedWhile(WindowScript& script, const std::function<int()>& body);

// The window tests' common start: the pointer parked in a corner (the centred
// sheet opens under the middle of the screen), no profile `profile` in the
// Windows directory, a gray 300-dpi record of the whole bed, and the driver
// module `driverFile` attached.
void StartWindowTest(const char* profile, const char* driverFile);

// Releases the driver, removes the profile and returns to English.
void EndWindowTest(const char* profile);

// Full path of `profile` in the Windows directory.
std::string ProfilePathOf(const char* profile);

// How often the driver call `name` appears in a test driver's call log.
int CountCalls(const std::string& calls, const char* name);

// The calibration dialog of this thread while it is shown, else NULL.
HWND CalibrationDialog();

// The settings window's current page, after switching to `index` when >= 0.
HWND CurrentPage(HWND sheet, int index = -1);

// Posts a key press (down and up) to the control with the keyboard focus.
void PressKey(UINT virtualKey);

// Posts a left click at the centre of `control` to the window beneath it.
void ClickCentre(HWND control);

// Text of tab `index` of the sheet.
std::wstring TabTitle(HWND sheet, int index);

// Saves the window, as it is on screen, as a BMP in $KESTREL_ARTIFACTS (when set).
// Returns false when the capture could not be written.
bool SaveWindowPicture(HWND window, const char* name);
