#include "window_script.h"

#include <commctrl.h>
#include <prsht.h>
#include <stdlib.h>
#include <string.h>

#include "twain/source_app.h"
#include "ui/settings_resources.h"
#include "ui/text_table.h"
#include "ui/settings_sheet.h"

namespace {

const UINT kTickMs = 50;
const int kMaxTicks = 400;
const wchar_t kCaption[] = L"Zureruri Zedu";

WindowScript* g_script = nullptr;
int g_ticks = 0;

BOOL CALLBACK FindSheet(HWND window, LPARAM result)
{
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    if (IsWindowVisible(window) && wcscmp(title, kCaption) == 0) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindCalibration(HWND window, LPARAM result)
{
    if (IsWindowVisible(window) && GetDlgItem(window, IDC_CALIB)) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

HWND SettingsWindow()
{
    HWND sheet = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindSheet, reinterpret_cast<LPARAM>(&sheet));
    return sheet;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_script)
        return;
    HWND sheet = SettingsWindow();
    if (++g_ticks > kMaxTicks) {
        if (!g_script->timedOut && sheet)
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        g_script->timedOut = true;
        return;
    }
    if (!sheet || g_script->Finished())
        return;
    if (g_script->steps[g_script->next](sheet))
        ++g_script->next;
}

}  // namespace

int RunScriptedWhile(WindowScript& script, const std::function<int()>& body)
{
    g_script = &script;
    g_ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, kTickMs, Tick);
    const int result = body();
    KillTimer(nullptr, timer);
    g_script = nullptr;
    return result;
}

int RunScripted(WindowScript& script, int startPage, HWND parent)
{
    return RunScriptedWhile(
        script, [&] { return RunSettingsWindow("Zureruri Zedu", parent, startPage); });
}

HWND CurrentPage(HWND sheet, int index)
{
    if (index >= 0)
        SendMessageW(sheet, PSM_SETCURSEL, index, 0);
    return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

void PressKey(UINT virtualKey)
{
    HWND focus = GetFocus();
    PostMessageW(focus, WM_KEYDOWN, virtualKey, 1);
    PostMessageW(focus, WM_KEYUP, virtualKey, 0xC0000001);
}

void ClickCentre(HWND control)
{
    RECT rect;
    GetWindowRect(control, &rect);
    POINT centre = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    HWND target = GetParent(control);
    ScreenToClient(target, &centre);
    const LPARAM where = MAKELPARAM(centre.x, centre.y);
    PostMessageW(target, WM_MOUSEMOVE, 0, where);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageW(target, WM_LBUTTONUP, 0, where);
}

std::wstring TabTitle(HWND sheet, int index)
{
    HWND tabs = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0));
    wchar_t text[128] = L"";
    TCITEMW item = {};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    SendMessageW(tabs, TCM_GETITEMW, index, reinterpret_cast<LPARAM>(&item));
    return text;
}

bool SaveWindowPicture(HWND window, const char* name)
{
    const char* folder = getenv("KESTREL_ARTIFACTS");
    if (!folder || !folder[0])
        return true;
    // A Unix folder is reached through Wine's drive for the root.
    std::string path = folder[0] == '/' ? std::string("Z:") + folder : std::string(folder);
    CreateDirectoryA(path.c_str(), nullptr);
    path += "\\";
    path += name;

    RECT rect;
    GetWindowRect(window, &rect);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();

    const DWORD imageBytes = static_cast<DWORD>(((width * 3 + 3) / 4) * 4 * height);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    bool written = false;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE) {
        DWORD done = 0;
        written = WriteFile(out, &file, sizeof(file), &done, nullptr) &&
                  WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &done, nullptr) &&
                  WriteFile(out, bits, imageBytes, &done, nullptr);
        CloseHandle(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return written;
}

HWND CalibrationDialog()
{
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindCalibration, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

void StartWindowTest(const char* profile, const char* driverFile)
{
    SetCursorPos(0, 0);
    strcpy(theApp.profileName, profile);
    DeleteFileA(ProfilePathOf(profile).c_str());
    theApp.settings = ScanSettings{};
    theApp.settings.mode = MODE_GRAY;
    theApp.settings.resolution = 300;
    theApp.settings.bottom = 360;
    theApp.settings.right = 220;
    theApp.driver.Attach(LoadLibraryA(driverFile));
}

void EndWindowTest(const char* profile)
{
    theApp.driver.Release();
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, profile);   // drop the cached copy
    DeleteFileA(ProfilePathOf(profile).c_str());
    theApp.profileName[0] = 0;
    LanguageId = LANGUAGE_ENGLISH;
}

std::string ProfilePathOf(const char* profile)
{
    char folder[MAX_PATH];
    GetWindowsDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + profile;
}

int CountCalls(const std::string& calls, const char* name)
{
    const std::string token = std::string(name) + ";";
    int count = 0;
    for (size_t at = calls.find(token); at != std::string::npos; at = calls.find(token, at + 1))
        ++count;
    return count;
}
