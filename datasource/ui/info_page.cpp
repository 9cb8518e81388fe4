#include "ui/info_page.h"

#include <stdio.h>

#include "twain/source_app.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"

InfoPage::InfoPage(SettingsSheet* sheet) : SettingsPage(sheet, IDD_INFO_PAGE) {}

void InfoPage::Refresh()
{
    char model[48] = "Unknown";
    char interfaceType[32] = "Unknown";
    char attachment[100] = "None";
    char versionMajor[10] = "3";
    char versionMinor[10] = "00";
    short value1 = 0, value2 = 0, value3 = 0;
    const int answered = theApp.driver.HardwareCheck(model, interfaceType, attachment, versionMajor,
                                                     versionMinor, &value1, &value2, &value3);
    // The page names the product, whatever the driver calls itself.
    snprintf(model, sizeof(model), "%s", "Zureruri Zedu");
    snprintf(versionMajor, sizeof(versionMajor), "%s", "3");
    snprintf(versionMinor, sizeof(versionMinor), "%s", "00");

    if (answered) {
        char version[24];
        snprintf(version, sizeof(version), "%s.%s", versionMajor, versionMinor);
        SetDlgItemTextA(hwnd_, IDC_MODEL_VALUE, model);
        SetDlgItemTextA(hwnd_, IDC_VERSION_VALUE, version);
    } else {
        SetDlgItemTextA(hwnd_, IDC_MODEL_VALUE, "N/A");
        SetDlgItemTextA(hwnd_, IDC_VERSION_VALUE, "??.??");
    }
}

INT_PTR InfoPage::OnMessage(UINT message, WPARAM, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        ReadInterfaceLanguage();
        SetControlText(hwnd_, IDC_MODEL_LABEL, 29);
        SetControlText(hwnd_, IDC_VERSION_LABEL, 30);
        SetControlText(hwnd_, IDC_ABOUT_TEXT, 33);
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<NMHDR*>(lParam)->code == PSN_SETACTIVE) {
            Refresh();
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        return FALSE;
    case WM_HELP:
        return TRUE;   // this page has no help topics
    default:
        return FALSE;
    }
}
