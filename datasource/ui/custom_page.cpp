#include "ui/custom_page.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>

#include "scan/settings_store.h"
#include "twain/source_app.h"
#include "ui/calibration_dialog.h"
#include "ui/message_box.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"

namespace {

const UINT_PTR kStatusTimer = 1;
const UINT kStatusPeriodMs = 500;

// Resolutions the list offers, in list order.
const short kResolutions[] = {300, 400, 600};
const short kMinimumResolution = 50;

// Texts of the page's labels and buttons.
struct ControlText {
    int id;
    int number;
};
const ControlText kControlTexts[] = {
    {IDC_RESOLUTION_LABEL, 38}, {IDC_INVERT, 41},         {IDC_BLACK_WHITE, 35},
    {IDC_GRAY, 36},             {IDC_BRIGHTNESS_LABEL, 42}, {IDC_CONTRAST_LABEL, 43},
    {IDC_RESET, 50},            {IDC_CALIBRATE, 51},      {IDC_SCAN, 53},
    {IDC_PAGE_CANCEL, 21},
};

// Context-help topics of the page's controls.
struct HelpTopic {
    int id;
    DWORD topic;
};
const HelpTopic kHelpTopics[] = {
    {IDC_BLACK_WHITE, 17051},      {IDC_GRAY, 17051},
    {IDC_RESOLUTION_LABEL, 17052}, {IDC_RESOLUTION_LIST, 17052},
    {IDC_BRIGHTNESS_LABEL, 17073}, {IDC_BRIGHTNESS_SLIDER, 17073}, {IDC_BRIGHTNESS_VALUE, 17073},
    {IDC_CONTRAST_LABEL, 17075},   {IDC_CONTRAST_SLIDER, 17075},   {IDC_CONTRAST_VALUE, 17075},
    {IDC_INVERT, 19063},           {IDC_RESET, 17074},
};

ScanSettings& Record()
{
    return theApp.settings;
}

bool IsChecked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void SetStaticText(HWND page, int id, const char* codePageText)
{
    SetDlgItemTextW(page, id, WidenUiText(codePageText).c_str());
}

}  // namespace

CustomSettingPage::CustomSettingPage(SettingsSheet* sheet) : SettingsPage(sheet, IDD_CUSTOM_PAGE) {}

void CustomSettingPage::InitPage()
{
    ReadInterfaceLanguage();
    for (const ControlText& text : kControlTexts)
        SetControlText(hwnd_, text.id, text.number);

    RECT frame = {2, 2, 2 + 127, 2 + 196};
    MapDialogRect(hwnd_, &frame);
    frame_.Create(this, hwnd_, frame);
    UpdateImageSize();

    RefreshDiskSpace();

    const HWND sliders[] = {GetDlgItem(hwnd_, IDC_BRIGHTNESS_SLIDER),
                            GetDlgItem(hwnd_, IDC_CONTRAST_SLIDER)};
    for (HWND slider : sliders) {
        SendMessageW(slider, TBM_SETRANGEMIN, FALSE, -100);
        SendMessageW(slider, TBM_SETRANGEMAX, TRUE, 100);
        SendMessageW(slider, TBM_SETTICFREQ, 20, 0);
    }

    FillResolutionList();
    RefreshControls();
    SetTimer(hwnd_, kStatusTimer, kStatusPeriodMs, nullptr);
}

void CustomSettingPage::FillResolutionList()
{
    short minimum = 0, step = 0;
    theApp.driver.ResolutionInfo(&maximumResolution_, &minimum, &step);
    if (maximumResolution_ < 200)
        maximumResolution_ = 200;

    HWND list = GetDlgItem(hwnd_, IDC_RESOLUTION_LIST);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    int last = -1;
    for (short value : kResolutions) {
        if (value > maximumResolution_)
            break;
        wchar_t text[16];
        swprintf(text, 16, L"%d", value);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        last = value;
    }
    if (last < 600) {
        wchar_t text[16];
        swprintf(text, 16, L"%d", maximumResolution_);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    }
}

// Selects the entry that reads as the stored resolution, limited to 50 and the
// maximum as the page limits it when the controls are copied. A resolution that
// the list does not offer (a host asking for 150 or 200 dpi) gets an entry of its
// own in ascending order: with no selection the list's text would read as 0, and
// its focus-loss rule would then hold the focus and swallow every click on the page.
void CustomSettingPage::ShowStoredResolution()
{
    int resolution = Record().resolution;
    if (resolution <= 0)
        return;
    if (resolution > maximumResolution_)
        resolution = maximumResolution_;
    if (resolution < kMinimumResolution)
        resolution = kMinimumResolution;
    HWND list = GetDlgItem(hwnd_, IDC_RESOLUTION_LIST);
    wchar_t text[16];
    swprintf(text, 16, L"%d", resolution);
    LRESULT at = SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                              reinterpret_cast<LPARAM>(text));
    if (at == CB_ERR) {
        const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
        int position = 0;
        while (position < count && ResolutionAt(position) < resolution)
            ++position;
        at = SendMessageW(list, CB_INSERTSTRING, position, reinterpret_cast<LPARAM>(text));
    }
    if (at >= 0)
        SendMessageW(list, CB_SETCURSEL, at, 0);
}

// The number entry `position` of the resolution list reads as (0 for none).
int CustomSettingPage::ResolutionAt(int position) const
{
    HWND list = GetDlgItem(hwnd_, IDC_RESOLUTION_LIST);
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, position, 0);
    if (length == CB_ERR || length >= 16)
        return 0;
    wchar_t text[16] = L"";
    SendMessageW(list, CB_GETLBTEXT, position, reinterpret_cast<LPARAM>(text));
    return _wtoi(text);
}

void CustomSettingPage::RefreshControls()
{
    ScanSettings& record = Record();
    if (record.mode != MODE_COLOR)
        record.channel = ADJUST_ALL;

    CheckDlgButton(hwnd_, IDC_INVERT, record.inversion ? BST_CHECKED : BST_UNCHECKED);

    ShowStoredResolution();

    // Exactly the button of the stored type is marked, so that the record keeps
    // that type; only Black/White and Gray are shown.
    int marked = IDC_GRAY;
    switch (record.mode) {
    case MODE_BW: marked = IDC_BLACK_WHITE; break;
    case MODE_HALFTONE: marked = IDC_HALFTONE; break;
    case MODE_COLOR: marked = IDC_COLOR; break;
    default: break;
    }
    const int modeButtons[] = {IDC_BLACK_WHITE, IDC_GRAY, IDC_HALFTONE, IDC_COLOR};
    for (int id : modeButtons)
        CheckDlgButton(hwnd_, id, id == marked ? BST_CHECKED : BST_UNCHECKED);
    EnableWindow(GetDlgItem(hwnd_, IDC_COLOR), FALSE);

    int channel = record.channel;
    if (channel < ADJUST_ALL || channel > ADJUST_BLUE)
        channel = ADJUST_ALL;
    const ChannelAdjust& block = record.adjust[channel];
    SendDlgItemMessageW(hwnd_, IDC_BRIGHTNESS_SLIDER, TBM_SETPOS, TRUE, block.brightness);
    SendDlgItemMessageW(hwnd_, IDC_CONTRAST_SLIDER, TBM_SETPOS, TRUE, block.contrast);
    ShowValueText(IDC_BRIGHTNESS_VALUE, block.brightness);
    ShowValueText(IDC_CONTRAST_VALUE, block.contrast);

    UpdateImageSize();
    if (frame_.Window())
        frame_.SyncOutline();
}

void CustomSettingPage::CopyControlsToRecord()
{
    ScanSettings& record = Record();
    record.inversion = IsChecked(hwnd_, IDC_INVERT) ? 1 : 0;
    record.filterType =
        static_cast<int16_t>(SendDlgItemMessageW(hwnd_, IDC_FILTER_LIST, CB_GETCURSEL, 0, 0));

    char text[16] = "";
    GetDlgItemTextA(hwnd_, IDC_RESOLUTION_LIST, text, sizeof(text));
    const int n = atoi(text);
    if (n > 0) {
        if (n < kMinimumResolution)
            record.resolution = kMinimumResolution;
        else if (n > maximumResolution_)
            record.resolution = maximumResolution_;
        else
            record.resolution = static_cast<int16_t>(n);
    }

    if (IsChecked(hwnd_, IDC_BLACK_WHITE))
        record.mode = MODE_BW;
    else if (IsChecked(hwnd_, IDC_HALFTONE))
        record.mode = MODE_HALFTONE;
    else if (IsChecked(hwnd_, IDC_COLOR))
        record.mode = MODE_COLOR;
    else
        record.mode = MODE_GRAY;
}

void CustomSettingPage::RefreshDiskSpace()
{
    if (!hwnd_)
        return;
    char root[4] = "";
    snprintf(root, sizeof(root), "%s", HelpFileInUse());
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    unsigned long long megabytes = 0;
    if (GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        megabytes = static_cast<unsigned long long>(freeClusters) * sectorsPerCluster *
                    bytesPerSector / 1000000ULL;
    char line[TEXT_BUFFER_SIZE + 32];
    if (megabytes > 0)
        snprintf(line, sizeof(line), "%s %d MB", GetText(15), static_cast<int>(megabytes));
    else
        snprintf(line, sizeof(line), "%s xxxxx MB", GetText(15));
    SetStaticText(hwnd_, IDC_DISK_SPACE, line);
}

void CustomSettingPage::UpdateImageSize()
{
    if (!hwnd_)
        return;
    const ScanSettings& record = Record();
    const long width = record.right - record.left;
    const long height = record.bottom - record.top;
    const long pixels = width * record.resolution / 100;
    long bytes;
    if (record.mode == MODE_COLOR)
        bytes = 3 * pixels;
    else if (record.mode == MODE_BW || record.mode == MODE_HALFTONE)
        bytes = (pixels + 7) / 8;
    else
        bytes = pixels;
    bytes = (bytes + 3) / 4 * 4;
    const double size = static_cast<double>(bytes) / 100.0 * height * record.resolution;
    const int kilobytes = static_cast<int>(size / 1024.0);

    char line[TEXT_BUFFER_SIZE + 32];
    snprintf(line, sizeof(line), "%s: %d KB", GetText(16), kilobytes);
    SetStaticText(hwnd_, IDC_IMAGE_SIZE, line);
}

void CustomSettingPage::ShowValueText(int id, int value)
{
    wchar_t text[16];
    swprintf(text, 16, L"%d%%", value);
    SetDlgItemTextW(hwnd_, id, text);
}

void CustomSettingPage::ShowStatus()
{
    wchar_t text[32];
    swprintf(text, 32, L"Paper sensor=%d", theApp.driver.IsPaperOn());
    SetDlgItemTextW(hwnd_, IDC_STATUS_LINE, text);
}

void CustomSettingPage::OnSlider(HWND slider)
{
    ScanSettings& record = Record();
    int channel = record.channel;
    if (channel < ADJUST_ALL || channel > ADJUST_BLUE)
        channel = ADJUST_ALL;
    ChannelAdjust& block = record.adjust[channel];
    const int position = static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0));
    const bool brightness = slider == GetDlgItem(hwnd_, IDC_BRIGHTNESS_SLIDER);
    int16_t& word = brightness ? block.brightness : block.contrast;
    if (position == word)
        return;
    word = static_cast<int16_t>(position);
    ShowValueText(brightness ? IDC_BRIGHTNESS_VALUE : IDC_CONTRAST_VALUE, position);
}

void CustomSettingPage::OnResolutionChanged()
{
    const int selected =
        static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_RESOLUTION_LIST, CB_GETCURSEL, 0, 0));
    if (selected < 0)
        return;
    // The entry's own number: the table's values, the appended maximum, or the
    // stored resolution that ShowStoredResolution added.
    int value = ResolutionAt(selected);
    if (value > maximumResolution_)
        value = maximumResolution_;
    if (value < kMinimumResolution)
        value = kMinimumResolution;
    Record().resolution = static_cast<int16_t>(value);
    UpdateImageSize();
}

void CustomSettingPage::OnResolutionFocusLost()
{
    char text[16] = "";
    GetDlgItemTextA(hwnd_, IDC_RESOLUTION_LIST, text, sizeof(text));
    const int n = atoi(text);
    ScanSettings& record = Record();
    if (n <= 0) {
        MessageBeep(MB_OK);
        // Taking the focus back inside its own loss notification upsets the
        // dialog manager; post it instead.
        PostMessageW(hwnd_, WM_NEXTDLGCTL,
                     reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, IDC_RESOLUTION_LIST)), TRUE);
        return;
    }
    if (n < kMinimumResolution) {
        record.resolution = kMinimumResolution;
        SetDlgItemTextA(hwnd_, IDC_RESOLUTION_LIST, "50");
    } else if (n > maximumResolution_) {
        record.resolution = maximumResolution_;
        char maximum[16];
        snprintf(maximum, sizeof(maximum), "%d", maximumResolution_);
        SetDlgItemTextA(hwnd_, IDC_RESOLUTION_LIST, maximum);
    } else {
        record.resolution = static_cast<int16_t>(n);
    }
    UpdateImageSize();
}

void CustomSettingPage::OnReset()
{
    ScanSettings& record = Record();
    record.mode = MODE_GRAY;
    record.resolution = 300;
    record.compress = record.trimEdge = record.deskew = record.scanPage = record.autoScan = 0;
    record.threshold = 128;
    record.filterType = 0;
    record.inversion = 0;
    record.colorMatch = 0;
    record.channel = ADJUST_ALL;
    for (ChannelAdjust& block : record.adjust)
        block = ChannelAdjust{0, 0, 10, 255, 0};
    RefreshControls();
}

void CustomSettingPage::OnScan()
{
    if (theApp.driver.IsCalibrationNeeded()) {
        if (RunCalibrationDialog(hwnd_) == IDCANCEL)
            return;
        ShowMessageBox(hwnd_, GetText(2), "", MB_OK);
    }
    bool givenUp = false;
    while (!theApp.driver.IsPaperOn()) {
        if (ShowMessageBox(hwnd_, GetText(2), "", MB_OKCANCEL) == IDCANCEL) {
            givenUp = true;
            break;
        }
    }
    CopyControlsToRecord();
    if (!givenUp)
        SendSheetCommand(IDOK);
}

void CustomSettingPage::OnCommand(int id, int code)
{
    switch (id) {
    case IDC_INVERT:
        if (code == BN_CLICKED)
            Record().inversion = IsChecked(hwnd_, IDC_INVERT) ? 1 : 0;
        break;
    case IDC_BLACK_WHITE:
    case IDC_GRAY:
        if (code == BN_CLICKED) {
            Record().mode = id == IDC_BLACK_WHITE ? MODE_BW : MODE_GRAY;
            UpdateImageSize();
        }
        break;
    case IDC_RESOLUTION_LIST:
        if (code == CBN_SELCHANGE)
            OnResolutionChanged();
        else if (code == CBN_KILLFOCUS)
            OnResolutionFocusLost();
        break;
    case IDC_RESET:
        if (code == BN_CLICKED)
            OnReset();
        break;
    case IDC_CALIBRATE:
        if (code == BN_CLICKED)
            RunCalibrationDialog(hwnd_);
        break;
    case IDC_SCAN:
        if (code == BN_CLICKED)
            OnScan();
        break;
    case IDC_PAGE_CANCEL:
        if (code == BN_CLICKED)
            SendSheetCommand(IDCANCEL);
        break;
    default:
        break;
    }
}

INT_PTR CustomSettingPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitPage();
        return TRUE;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_HSCROLL:
        if (lParam)
            OnSlider(reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_TIMER:
        if (wParam == kStatusTimer) {
            ShowStatus();
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
        if (header->code == PSN_SETACTIVE)
            RefreshControls();
        else if (header->code == PSN_KILLACTIVE)
            CopyControlsToRecord();
        else
            return FALSE;
        SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, 0);
        return TRUE;
    }
    case WM_HELP: {
        const HELPINFO* help = reinterpret_cast<HELPINFO*>(lParam);
        for (const HelpTopic& topic : kHelpTopics) {
            if (help->iContextType == HELPINFO_WINDOW && help->iCtrlId == topic.id) {
                ShowHelpPopup(static_cast<HWND>(help->hItemHandle), topic.topic);
                break;
            }
        }
        return TRUE;
    }
    case WM_DESTROY:
        KillTimer(hwnd_, kStatusTimer);
        return FALSE;
    default:
        return FALSE;
    }
}
