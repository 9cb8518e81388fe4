// What the three pages of the settings window share: a page object bound to a
// dialog resource, and the helpers that put the current language's texts on
// controls.
#pragma once

#include <windows.h>
#include <prsht.h>

#include <string>

#include "ui/text_table.h"

class SettingsSheet;

// Text `number` of the text table in the current interface language, as UTF-16.
std::wstring UiText(int number);

// Puts text `number` in the current interface language on control `id`.
void SetControlText(HWND dialog, int id, int number);

// Opens the context-help popup `topic` of the help file in use.
void ShowHelpPopup(HWND window, DWORD topic);

// Replaces the platform's help popup (for tests); nullptr restores it.
typedef void (*HelpPopupHook)(HWND window, const char* helpFile, DWORD topic);
void SetHelpPopupHook(HelpPopupHook hook);

class SettingsPage {
public:
    SettingsPage(SettingsSheet* sheet, int templateId) : sheet_(sheet), templateId_(templateId) {}
    virtual ~SettingsPage() = default;
    SettingsPage(const SettingsPage&) = delete;
    SettingsPage& operator=(const SettingsPage&) = delete;

    // The page's window, or NULL until the sheet has created it.
    HWND Window() const { return hwnd_; }

    // Describes the page to the platform's property sheet. `title` must live as
    // long as the sheet.
    void Describe(PROPSHEETPAGEW& page, const wchar_t* title);

protected:
    // Messages of the page's dialog; WM_INITDIALOG arrives after Window() is set.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // Sends the accept (IDOK) or cancel (IDCANCEL) command to the window.
    void SendSheetCommand(int command);

    SettingsSheet* sheet_;
    HWND hwnd_ = nullptr;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int templateId_;
};
