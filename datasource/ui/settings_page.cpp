#include "ui/settings_page.h"

#include "ui/module_instance.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"

std::wstring UiText(int number)
{
    wchar_t buffer[TEXT_BUFFER_SIZE];
    GetTextWide(LanguageId, number, buffer, TEXT_BUFFER_SIZE);
    return buffer;
}

void SetControlText(HWND dialog, int id, int number)
{
    SetDlgItemTextW(dialog, id, UiText(number).c_str());
}

static HelpPopupHook g_helpPopupHook = nullptr;

void SetHelpPopupHook(HelpPopupHook hook)
{
    g_helpPopupHook = hook;
}

void ShowHelpPopup(HWND window, DWORD topic)
{
    if (g_helpPopupHook) {
        g_helpPopupHook(window, HelpFileInUse(), topic);
        return;
    }
    // WinHelp reports a missing help file itself; nothing to do here.
    WinHelpA(window, HelpFileInUse(), HELP_CONTEXTPOPUP, topic);
}

void SettingsPage::Describe(PROPSHEETPAGEW& page, const wchar_t* title)
{
    page = PROPSHEETPAGEW{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USETITLE;
    page.hInstance = KestrelInstance();
    page.pszTemplate = MAKEINTRESOURCEW(templateId_);
    page.pszTitle = title;
    page.pfnDlgProc = &SettingsPage::DialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
}

void SettingsPage::SendSheetCommand(int command)
{
    SendMessageW(GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(command, BN_CLICKED), 0);
}

INT_PTR CALLBACK SettingsPage::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SettingsPage* page;
    if (message == WM_INITDIALOG) {
        // The property sheet passes its copy of our PROPSHEETPAGEW.
        page = reinterpret_cast<SettingsPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
        SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->hwnd_ = window;
    } else {
        page = reinterpret_cast<SettingsPage*>(GetWindowLongPtrW(window, DWLP_USER));
    }
    if (!page)
        return FALSE;
    INT_PTR handled = page->OnMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY)
        page->hwnd_ = nullptr;
    return handled;
}
