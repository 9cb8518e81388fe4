#include "ui/settings_sheet.h"

#include <commctrl.h>
#include <prsht.h>
#include <stdio.h>

#include "scan/settings_store.h"
#include "twain/source_app.h"
#include "ui/custom_page.h"
#include "ui/info_page.h"
#include "ui/language_page.h"
#include "ui/message_box.h"
#include "ui/module_instance.h"
#include "ui/text_table.h"

namespace {

const UINT_PTR kPaperTimer = 1;
const UINT kPaperPollMs = 200;
const DWORD kSheetHelpTopic = 17050;
const int kApplyButtonId = 0x3021;   // the property sheet's own Apply button
const wchar_t kSheetProperty[] = L"KestrelSettingsSheet";

// Tab titles of the pages, in page order.
const int kPageTitleTexts[PAGE_COUNT] = {34, 27, 19};

// The sheet whose PropertySheetW call is running; the creation callback has no
// other way to find its object.
SettingsSheet* g_sheetBeingCreated = nullptr;

}  // namespace

const char* ProfileInUse()
{
    return theApp.profileName[0] ? theApp.profileName : kDefaultProfileName;
}

const char* HelpFileInUse()
{
    return theApp.helpPath[0] ? theApp.helpPath : "Fenwick.hlp";
}

int ReadInterfaceLanguage()
{
    int id = static_cast<int>(GetPrivateProfileIntA(kMainSection, kLanguageKey, LANGUAGE_ENGLISH,
                                                    ProfileInUse()));
    // Only the eight languages have texts; anything else would show empty labels.
    if (id < FIRST_LANGUAGE_ID || id > LAST_LANGUAGE_ID)
        id = LANGUAGE_ENGLISH;
    LanguageId = id;
    return id;
}

void WriteInterfaceLanguage(int languageId)
{
    char value[16];
    snprintf(value, sizeof(value), "%d", languageId);
    WritePrivateProfileStringA(kMainSection, kLanguageKey, value, ProfileInUse());
}

int NextPaperLatch(int latch, bool paperOn, bool* feed)
{
    *feed = false;
    if (!paperOn)
        return LATCH_NO_PAPER;
    if (latch == LATCH_NO_PAPER) {
        *feed = true;
        return LATCH_PAPER;
    }
    return latch;
}

int RunSettingsWindow(const char* caption, HWND parent, int startPage)
{
    SettingsSheet sheet(caption, parent, startPage);
    return sheet.DoModal();
}

SettingsSheet::SettingsSheet(const char* caption, HWND parent, int startPage)
    : parent_(parent), startPage_(startPage)
{
    ReadInterfaceLanguage();
    caption_ = WidenUiText(caption);
    // A start page past the last one (the enable handler asks for 3 after a
    // language switch) shows the Language page, where the user just was.
    if (startPage_ < 0)
        startPage_ = PAGE_CUSTOM;
    if (startPage_ >= PAGE_COUNT)
        startPage_ = PAGE_LANGUAGE;
    for (int i = 0; i < PAGE_COUNT; ++i)
        titles_[i] = UiText(kPageTitleTexts[i]);
    custom_.reset(new CustomSettingPage(this));
    info_.reset(new InfoPage(this));
    language_.reset(new LanguagePage(this));
}

SettingsSheet::~SettingsSheet() = default;

int SettingsSheet::DoModal()
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);

    PROPSHEETPAGEW pages[PAGE_COUNT];
    custom_->Describe(pages[PAGE_CUSTOM], titles_[PAGE_CUSTOM].c_str());
    info_->Describe(pages[PAGE_INFO], titles_[PAGE_INFO].c_str());
    language_->Describe(pages[PAGE_LANGUAGE], titles_[PAGE_LANGUAGE].c_str());

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hwndParent = parent_;
    header.hInstance = KestrelInstance();
    header.pszCaption = caption_.c_str();
    header.nPages = PAGE_COUNT;
    header.nStartPage = static_cast<UINT>(startPage_);
    header.ppsp = pages;
    header.pfnCallback = &SettingsSheet::SheetCallback;

    result_ = SETTINGS_RESULT_CANCEL;
    SettingsSheet* outer = g_sheetBeingCreated;
    g_sheetBeingCreated = this;
    INT_PTR status = PropertySheetW(&header);
    g_sheetBeingCreated = outer;
    if (status < 0)
        return SETTINGS_RESULT_CANCEL;
    return static_cast<int16_t>(result_);
}

int SettingsSheet::ActivePageIndex() const
{
    if (!hwnd_)
        return -1;
    HWND current = reinterpret_cast<HWND>(SendMessageW(hwnd_, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!current)
        return -1;
    if (current == custom_->Window())
        return PAGE_CUSTOM;
    if (current == info_->Window())
        return PAGE_INFO;
    if (current == language_->Window())
        return PAGE_LANGUAGE;
    return -1;
}

int CALLBACK SettingsSheet::SheetCallback(HWND window, UINT message, LPARAM)
{
    if (message == PSCB_INITIALIZED && g_sheetBeingCreated)
        g_sheetBeingCreated->OnCreated(window);
    return 0;
}

void SettingsSheet::OnCreated(HWND window)
{
    hwnd_ = window;
    SetPropW(window, kSheetProperty, this);
    sheetProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc)));
    paperLatch_ = LATCH_UNKNOWN;
    SetTimer(window, kPaperTimer, kPaperPollMs, nullptr);
}

LRESULT CALLBACK SettingsSheet::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    SettingsSheet* sheet = static_cast<SettingsSheet*>(GetPropW(window, kSheetProperty));
    if (!sheet)
        return DefWindowProcW(window, message, wParam, lParam);
    return sheet->OnMessage(message, wParam, lParam);
}

LRESULT SettingsSheet::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            Accept();
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL)
            result_ = SETTINGS_RESULT_CANCEL;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            result_ = SETTINGS_RESULT_CANCEL;
        break;
    case WM_TIMER:
        if (wParam == kPaperTimer) {
            PollPaper();
            return 0;
        }
        break;
    case WM_SHOWWINDOW:
        if (wParam && !shown_) {
            LRESULT handled = CallWindowProcW(sheetProc_, hwnd_, message, wParam, lParam);
            shown_ = true;
            OnFirstShown();
            return handled;
        }
        break;
    case WM_ACTIVATE:
        // The free-disk-space read-out is on the Custom Setting page, so that is
        // the page that refreshes it when the user comes back to the window.
        if (LOWORD(wParam) != WA_INACTIVE && ActivePageIndex() == PAGE_CUSTOM)
            custom_->RefreshDiskSpace();
        break;
    case WM_HELP:
        ShowHelpPopup(hwnd_, kSheetHelpTopic);
        return TRUE;
    case WM_NCDESTROY: {
        KillTimer(hwnd_, kPaperTimer);
        WNDPROC original = sheetProc_;
        HWND window = hwnd_;
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(window, kSheetProperty);
        hwnd_ = nullptr;
        return CallWindowProcW(original, window, message, wParam, lParam);
    }
    default:
        break;
    }
    return CallWindowProcW(sheetProc_, hwnd_, message, wParam, lParam);
}

void SettingsSheet::OnFirstShown()
{
    // The pages carry their own buttons; the sheet's row goes, and so does the
    // room it took.
    HWND apply = GetDlgItem(hwnd_, kApplyButtonId);
    const int buttons[] = {IDOK, IDCANCEL, kApplyButtonId};
    for (int id : buttons) {
        if (HWND button = GetDlgItem(hwnd_, id))
            ShowWindow(button, SW_HIDE);
    }
    RECT frame;
    GetWindowRect(hwnd_, &frame);
    if (apply) {
        RECT applyRect;
        GetWindowRect(apply, &applyRect);
        if (applyRect.top > frame.top)
            frame.bottom = applyRect.top;
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    // Centre over the owner when it is on screen, else on the work area.
    RECT area;
    if (parent_ && IsWindowVisible(parent_) && !IsIconic(parent_))
        GetWindowRect(parent_, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (x + width > work.right)
        x = work.right - width;
    if (y + height > work.bottom)
        y = work.bottom - height;
    if (x < work.left)
        x = work.left;
    if (y < work.top)
        y = work.top;
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void SettingsSheet::PollPaper()
{
    bool feed = false;
    paperLatch_ = NextPaperLatch(paperLatch_, theApp.driver.IsPaperOn() != 0, &feed);
    if (feed)
        theApp.driver.FeedOn();
}

void SettingsSheet::Accept()
{
    switch (ActivePageIndex()) {
    case PAGE_CUSTOM:
        custom_->CopyControlsToRecord();
        SaveScanSettings(theApp.settings, ProfileInUse());
        EndWindow(SETTINGS_RESULT_SCAN);
        break;
    case PAGE_LANGUAGE: {
        const int languageId = language_->ChosenLanguageId();
        WriteInterfaceLanguage(languageId);
        EndWindow(languageId);
        break;
    }
    default:
        ShowMessageBox(hwnd_, "coding error #1999081101", theApp.messageBoxTitle, MB_OK);
        EndWindow(SETTINGS_RESULT_NOTHING);
        break;
    }
}

void SettingsSheet::EndWindow(int result)
{
    // The sheet's own cancel path ends its modal loop; the pages do not veto it.
    CallWindowProcW(sheetProc_, hwnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(hwnd_, IDCANCEL)));
    result_ = result;
}
