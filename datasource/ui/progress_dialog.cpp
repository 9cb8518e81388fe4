#include "ui/progress_dialog.h"

#include <commctrl.h>

#include <algorithm>

#include "io_driver.h"
#include "ui/module_instance.h"
#include "ui/resource.h"
#include "ui/text_table.h"

namespace {

const wchar_t kProductCaption[] = L"Zureruri Zedu";
const int kCancelText = 21;
const int kPictureMargin = 8;   // picture area = frame client size less this
const int kPictureLift = 4;     // gap between the picture's lower edge and the frame's bottom

// Sets a control's text from the current language's code-page bytes.
void SetLocalizedText(HWND control, const char* text)
{
    SetWindowTextW(control, WidenUiText(text).c_str());
}

} // namespace

ScanProgressDialog::ScanProgressDialog(HWND owner, int dialogId, int mode, bool showPicture,
                                       int imageWidth, int imageHeight, int linesPerBlock)
    : owner_(owner), mode_(mode), showPicture_(showPicture), imageWidth_(imageWidth),
      imageHeight_(imageHeight), linesPerBlock_(linesPerBlock)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    window_ = CreateDialogParamW(KestrelInstance(), MAKEINTRESOURCEW(dialogId), owner,
                                 DialogProc, reinterpret_cast<LPARAM>(this));
}

ScanProgressDialog::~ScanProgressDialog()
{
    if (window_)
        DestroyWindow(window_);
}

INT_PTR CALLBACK ScanProgressDialog::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<ScanProgressDialog*>(lParam)->OnInitDialog(window);
        return FALSE;
    }
    auto* self = reinterpret_cast<ScanProgressDialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        // Enter and Escape arrive as IDOK and IDCANCEL; the window stays open
        // until the session ends after its next update.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            self->cancelled_ = true;
            return TRUE;
        }
        break;
    case WM_CLOSE:
        self->cancelled_ = true;
        return TRUE;
    case WM_DRAWITEM:
        if (wParam == IDC_PROGRESS_PICTURE) {
            self->DrawPicture(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        break;
    case WM_NCDESTROY:
        // Also reached when the owner is destroyed while a page comes in: the
        // window is gone, and the page stops at the next update.
        SetWindowLongPtrW(window, DWLP_USER, 0);
        self->window_ = nullptr;
        self->cancelled_ = true;
        break;
    }
    return FALSE;
}

void ScanProgressDialog::OnInitDialog(HWND window)
{
    window_ = window;
    HWND cancel = GetDlgItem(window, IDCANCEL);
    ShowWindow(cancel, SW_HIDE);
    SetLocalizedText(cancel, GetText(kCancelText));
    SetWindowTextW(window, kProductCaption);
    if (mode_ == MODE_COLOR)
        MakeColorPalette(palette_);
    else
        MakeGrayPalette(palette_);

    if (showPicture_)
        PreparePicture();

    SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETPOS, 0, 0);
    if (showPicture_) {
        CentreOverOwner();
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
}

// Picture size: the frame less a margin, never larger than the image, with the
// image's aspect ratio and a width that is a multiple of 4.
void ScanProgressDialog::PreparePicture()
{
    RECT frame = {};
    GetClientRect(GetDlgItem(window_, IDC_PROGRESS_PICTURE), &frame);
    int64_t areaWidth = frame.right - frame.left - kPictureMargin;
    int64_t areaHeight = frame.bottom - frame.top - kPictureMargin;
    const int64_t w = imageWidth_, h = imageHeight_;
    if (areaWidth < 1 || areaHeight < 1 || w < 1 || h < 1)
        return;
    if (w < areaWidth && h < areaHeight) {
        areaWidth = w;
        areaHeight = h;
    }
    int64_t width = areaWidth, height = areaHeight;
    if (h * areaWidth < w * areaHeight)
        height = h * areaWidth / w;
    else
        width = w * areaHeight / h;
    width &= ~static_cast<int64_t>(3);
    if (width < 1 || height < 1)
        return;
    pictureWidth_ = static_cast<int>(width);
    pictureHeight_ = static_cast<int>(height);
    // Two spare lines beyond the picture serve as scratch space.
    picture_.assign(static_cast<size_t>(PictureLineBytes()) * (pictureHeight_ + 2), 0);
    pictureHeader_.biSize = sizeof(BITMAPINFOHEADER);
    pictureHeader_.biWidth = pictureWidth_;
    pictureHeader_.biHeight = -pictureHeight_;   // top-down
    pictureHeader_.biPlanes = 1;
    pictureHeader_.biBitCount = 24;
    pictureHeader_.biCompression = BI_RGB;
    pictureHeader_.biXPelsPerMeter = pictureHeader_.biYPelsPerMeter = 100;
}

void ScanProgressDialog::CentreOverOwner()
{
    RECT box, area;
    GetWindowRect(window_, &box);
    if (!owner_ || !IsWindowVisible(owner_) || !GetWindowRect(owner_, &area))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    const int width = box.right - box.left, height = box.bottom - box.top;
    const int x = area.left + ((area.right - area.left) - width) / 2;
    const int y = area.top + ((area.bottom - area.top) - height) / 2;
    SetWindowPos(window_, nullptr, std::max(0, x), std::max(0, y), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ScanProgressDialog::PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // The host's loop must still see its quit request; the page stops here.
            PostQuitMessage(static_cast<int>(message.wParam));
            cancelled_ = true;
            return;
        }
        if (window_ && IsDialogMessageW(window_, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int ScanProgressDialog::update(int percent, int lines, const unsigned char* block)
{
    PumpMessages();
    if (cancelled_)
        return 0;
    if (!window_)
        return 1;
    percent = std::min(100, std::max(0, percent));
    SendDlgItemMessageW(window_, IDC_PROGRESS_BAR, PBM_SETPOS, percent, 0);
    SetDlgItemInt(window_, IDC_PROGRESS_PERCENT, percent, FALSE);
    UpdateWindow(window_);

    if (showPicture_ && lines > 0 && block && pictureHeight_ > 0) {
        linesReceived_ = std::min(imageHeight_, linesReceived_ + lines);
        int fresh = static_cast<int>(static_cast<int64_t>(pictureHeight_) * linesReceived_ /
                                     imageHeight_) - linesShown_;
        fresh = std::min(fresh, pictureHeight_ - linesShown_);
        if (fresh > 0) {
            unsigned char* target = picture_.data() +
                                    static_cast<size_t>(linesShown_) * PictureLineBytes();
            if (mode_ == MODE_COLOR)
                ShrinkBlock24(pictureWidth_, fresh, target, imageWidth_, lines, block);
            else if (mode_ == MODE_GRAY)
                ShrinkBlock8(pictureWidth_, fresh, target, imageWidth_, lines, block);
            else
                ShrinkBlock1(pictureWidth_, fresh, target, imageWidth_, lines, block);
            // Blocks arrive bottom-up; the picture is top-down.
            ReverseLines(target, fresh, PictureLineBytes());
            linesShown_ += fresh;
            HWND frame = GetDlgItem(window_, IDC_PROGRESS_PICTURE);
            InvalidateRect(frame, nullptr, FALSE);
            UpdateWindow(frame);
        }
    }
    return 1;
}

void ScanProgressDialog::DrawPicture(const DRAWITEMSTRUCT* item)
{
    HDC dc = item->hDC;
    const RECT& frame = item->rcItem;
    FillRect(dc, &frame, GetSysColorBrush(COLOR_BTNFACE));
    if (!showPicture_)
        return;

    // One-pixel raised frame: light on the left and top, dark on the right and bottom.
    HPEN light = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
    HPEN dark = CreatePen(PS_SOLID, 1, RGB(0x80, 0x80, 0x80));
    HGDIOBJ oldPen = SelectObject(dc, light);
    MoveToEx(dc, frame.left, frame.bottom - 1, nullptr);
    LineTo(dc, frame.left, frame.top);
    LineTo(dc, frame.right - 1, frame.top);
    SelectObject(dc, dark);
    LineTo(dc, frame.right - 1, frame.bottom - 1);
    LineTo(dc, frame.left, frame.bottom - 1);
    SelectObject(dc, oldPen);
    DeleteObject(light);
    DeleteObject(dark);

    if (linesShown_ < 1 || picture_.empty())
        return;
    HPALETTE oldPalette = nullptr;
    if (palette_.Handle()) {
        oldPalette = SelectPalette(dc, palette_.Handle(), FALSE);
        RealizePalette(dc);
    }
    // Only the lines built so far, as a top-down bitmap of that height.
    BITMAPINFOHEADER shown = pictureHeader_;
    shown.biHeight = -linesShown_;
    const int x = frame.left + ((frame.right - frame.left) - pictureWidth_) / 2;
    const int y = frame.bottom - kPictureLift - linesShown_;
    StretchDIBits(dc, x, y, pictureWidth_, linesShown_, 0, 0, pictureWidth_, linesShown_,
                  picture_.data(), reinterpret_cast<const BITMAPINFO*>(&shown), DIB_RGB_COLORS,
                  SRCCOPY);
    if (oldPalette)
        SelectPalette(dc, oldPalette, FALSE);
}
