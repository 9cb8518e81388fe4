#include "ui/language_page.h"

#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"

namespace {

const int kOutlineGap = 4;     // pixels between a flag and its outline
const int kOutlineWidth = 3;
const COLORREF kOutlineNormal = RGB(255, 255, 255);
const COLORREF kOutlineHighlighted = RGB(255, 0, 0);

}  // namespace

LanguagePage::LanguagePage(SettingsSheet* sheet) : SettingsPage(sheet, IDD_LANGUAGE_PAGE) {}

LanguagePage::~LanguagePage()
{
    for (HBITMAP picture : pictures_) {
        if (picture)
            DeleteObject(picture);
    }
}

int LanguagePage::ChosenLanguageId() const
{
    if (chosenPlusOne_ > 0)
        return FIRST_LANGUAGE_ID + chosenPlusOne_ - 1;
    return LanguageId;
}

void LanguagePage::InitPage()
{
    arrow_ = LoadCursor(nullptr, IDC_ARROW);
    hand_ = LoadCursor(nullptr, IDC_HAND);
    for (int n = 0; n <= FLAG_COUNT; ++n) {
        HWND control = GetDlgItem(hwnd_, n < FLAG_COUNT ? IDC_FLAG_FIRST + n : IDC_WORLD_MAP);
        if (!control)
            continue;
        RECT client;
        GetClientRect(control, &client);
        if (pictures_[n])
            DeleteObject(pictures_[n]);
        pictures_[n] = DrawLanguagePicture(n, client.right, client.bottom);
        SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(pictures_[n]));
        if (n < FLAG_COUNT) {
            RECT rect;
            GetWindowRect(control, &rect);
            MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
            flags_[n] = rect;
        }
    }
}

int LanguagePage::FlagAt(POINT point) const
{
    for (int n = 0; n < FLAG_COUNT; ++n) {
        if (PtInRect(&flags_[n], point))
            return n;
    }
    return -1;
}

void LanguagePage::DrawOutline(HDC dc, int n, COLORREF colour) const
{
    RECT outline = flags_[n];
    InflateRect(&outline, kOutlineGap, kOutlineGap);
    HBRUSH brush = CreateSolidBrush(colour);
    // Four bands, so nothing inside the outline is painted over.
    const RECT bands[4] = {
        {outline.left - kOutlineWidth, outline.top - kOutlineWidth, outline.right + kOutlineWidth, outline.top},
        {outline.left - kOutlineWidth, outline.bottom, outline.right + kOutlineWidth, outline.bottom + kOutlineWidth},
        {outline.left - kOutlineWidth, outline.top, outline.left, outline.bottom},
        {outline.right, outline.top, outline.right + kOutlineWidth, outline.bottom},
    };
    for (const RECT& band : bands)
        FillRect(dc, &band, brush);
    DeleteObject(brush);
}

void LanguagePage::OnMouseMove(POINT point)
{
    const int n = FlagAt(point);
    SetCursor(n >= 0 ? hand_ : arrow_);
    if (n == highlighted_)
        return;
    HDC dc = GetDC(hwnd_);
    if (highlighted_ >= 0)
        DrawOutline(dc, highlighted_, kOutlineNormal);
    if (n >= 0)
        DrawOutline(dc, n, kOutlineHighlighted);
    ReleaseDC(hwnd_, dc);
    highlighted_ = n;
}

INT_PTR LanguagePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitPage();
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd_, &paint);
        for (int n = 0; n < FLAG_COUNT; ++n)
            DrawOutline(dc, n, n == highlighted_ ? kOutlineHighlighted : kOutlineNormal);
        EndPaint(hwnd_, &paint);
        return TRUE;
    }
    case WM_MOUSEMOVE:
        OnMouseMove(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return TRUE;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT) {
            SetCursor(highlighted_ >= 0 ? hand_ : arrow_);
            SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    case WM_LBUTTONDOWN: {
        const int n = FlagAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        if (n >= 0) {
            chosenPlusOne_ = n + 1;
            SendSheetCommand(IDOK);
        }
        return TRUE;
    }
    case WM_HELP:
        // The window's own topic answers for this page.
        SendMessageW(GetParent(hwnd_), WM_HELP, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}
