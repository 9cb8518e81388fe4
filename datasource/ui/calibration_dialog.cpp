#include "ui/calibration_dialog.h"

#include "twain/source_app.h"
#include "ui/message_box.h"
#include "ui/module_instance.h"
#include "ui/settings_page.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"

namespace {

// Calibrates with the driver and tells the user how it went; the dialog's
// title is the caption of the message.
void Calibrate(HWND dialog)
{
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const int calibrated = theApp.driver.CalibrateScanner(theApp.settings.paperSource);
    SetCursor(previous);
    if (calibrated)
        ShowMessageBox(dialog, GetText(1), GetText(23), MB_OK | MB_ICONINFORMATION);
    else
        ShowMessageBox(dialog, GetText(3), GetText(23), MB_OK | MB_ICONERROR);
}

INT_PTR CALLBACK CalibrationProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        ReadInterfaceLanguage();
        SetWindowTextW(dialog, UiText(23).c_str());
        SetControlText(dialog, IDC_CALIBRATION_INTRO, 24);
        SetControlText(dialog, IDC_CALIBRATION_HINT, 25);
        SetControlText(dialog, IDCANCEL, 21);
        SendDlgItemMessageW(dialog, IDC_CALIBRATION_ICON, STM_SETICON,
                            reinterpret_cast<WPARAM>(LoadIcon(nullptr, IDI_INFORMATION)), 0);
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_CALIB: {
            bool skipped = false;
            while (!theApp.driver.IsPaperOn()) {
                if (ShowMessageBox(dialog, GetText(25), "", MB_OKCANCEL) == IDCANCEL) {
                    skipped = true;
                    break;
                }
            }
            if (!skipped)
                Calibrate(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        case IDOK:   // Enter: calibrate at once, without asking for the sheet
            Calibrate(dialog);
            EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        default:
            return FALSE;
        }
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR RunCalibrationDialog(HWND parent)
{
    return DialogBoxParamW(KestrelInstance(), MAKEINTRESOURCEW(IDD_CALIBRATION), parent,
                           CalibrationProc, 0);
}
