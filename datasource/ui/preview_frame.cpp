#include "ui/preview_frame.h"

#include <algorithm>

#include "scan/settings_store.h"
#include "twain/source_app.h"
#include "ui/custom_page.h"
#include "ui/module_instance.h"
#include "ui/settings_resources.h"
#include "ui/text_table.h"

namespace {

const wchar_t kFrameClass[] = L"cpvframe";
const int kAreaTool = 1;

int ToAreaX(int x, int width) { return x * BED_WIDTH / width; }
int ToAreaY(int y, int height) { return y * BED_HEIGHT / height; }
int ToFrameX(int x, int width) { return x * width / BED_WIDTH; }
int ToFrameY(int y, int height) { return y * height / BED_HEIGHT; }

RECT Ordered(POINT a, POINT b)
{
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

bool InSquare(POINT point, int left, int top)
{
    return point.x >= left && point.x < left + HANDLE_SIZE && point.y >= top &&
           point.y < top + HANDLE_SIZE;
}

bool RegisterFrameClass(HINSTANCE instance)
{
    WNDCLASSW existing;
    if (GetClassInfoW(instance, kFrameClass, &existing))
        return true;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;   // replaced per window in Create
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kFrameClass;
    return RegisterClassW(&wc) != 0;
}

}  // namespace

int HitTestOutline(const RECT& r, POINT p)
{
    if (r.right <= r.left || r.bottom <= r.top)
        return HIT_NOTHING;
    const int midX = (r.left + r.right - HANDLE_SIZE) / 2;
    const int midY = (r.top + r.bottom - HANDLE_SIZE) / 2;
    const int right = r.right - HANDLE_SIZE, bottom = r.bottom - HANDLE_SIZE;
    if (InSquare(p, r.left, r.top)) return HIT_TOP_LEFT;
    if (InSquare(p, right, r.top)) return HIT_TOP_RIGHT;
    if (InSquare(p, right, bottom)) return HIT_BOTTOM_RIGHT;
    if (InSquare(p, r.left, bottom)) return HIT_BOTTOM_LEFT;
    if (InSquare(p, midX, r.top)) return HIT_TOP;
    if (InSquare(p, right, midY)) return HIT_RIGHT;
    if (InSquare(p, midX, bottom)) return HIT_BOTTOM;
    if (InSquare(p, r.left, midY)) return HIT_LEFT;
    if (PtInRect(&r, p)) return HIT_INSIDE;
    return HIT_NOTHING;
}

bool PreviewFrame::Create(CustomSettingPage* owner, HWND page, const RECT& rect)
{
    owner_ = owner;
    HINSTANCE instance = KestrelInstance();
    if (!RegisterFrameClass(instance))
        return false;
    hwnd_ = CreateWindowExW(WS_EX_TRANSPARENT, kFrameClass, L"", WS_CHILD | WS_VISIBLE, rect.left,
                            rect.top, rect.right - rect.left, rect.bottom - rect.top, page,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_PREVIEW_FRAME)),
                            instance, nullptr);
    if (!hwnd_)
        return false;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PreviewFrame::WindowProc));
    // Beneath the page's controls: clicks on its transparent labels reach the frame.
    SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    tool_ = kAreaTool;
    Place();
    return true;
}

void PreviewFrame::Place()
{
    RECT client;
    GetClientRect(hwnd_, &client);
    width_ = std::max<int>(1, client.right);
    height_ = std::max<int>(1, client.bottom);
    SyncOutline();
}

void PreviewFrame::SyncOutline()
{
    const ScanSettings& s = theApp.settings;
    outline_ = RECT{ToFrameX(s.left, width_), ToFrameY(s.top, height_), ToFrameX(s.right, width_),
                    ToFrameY(s.bottom, height_)};
}

void PreviewFrame::StoreArea(RECT r)
{
    ScanSettings& s = theApp.settings;
    s.left = static_cast<int16_t>(ToAreaX(std::min(r.left, r.right), width_));
    s.right = static_cast<int16_t>(ToAreaX(std::max(r.left, r.right), width_));
    s.top = static_cast<int16_t>(ToAreaY(std::min(r.top, r.bottom), height_));
    s.bottom = static_cast<int16_t>(ToAreaY(std::max(r.top, r.bottom), height_));
}

void PreviewFrame::RememberArea()
{
    const ScanSettings& s = theApp.settings;
    remembered_[0] = s.top, remembered_[1] = s.left, remembered_[2] = s.bottom, remembered_[3] = s.right;
}

void PreviewFrame::PutRememberedAreaBack()
{
    ScanSettings& s = theApp.settings;
    s.scanSize = 0;
    s.top = remembered_[0], s.left = remembered_[1], s.bottom = remembered_[2], s.right = remembered_[3];
}

static bool TooSmall(const ScanSettings& s)
{
    return s.right - s.left < MINIMUM_AREA_SIZE || s.bottom - s.top < MINIMUM_AREA_SIZE;
}

void PreviewFrame::DrawTrackingRect(const RECT& rect)
{
    // A focus rectangle is drawn with XOR: drawing it twice takes it away.
    HDC dc = GetDC(hwnd_);
    if (tracking_)
        DrawFocusRect(dc, &shown_);
    shown_ = rect;
    tracking_ = rect.right > rect.left && rect.bottom > rect.top;
    if (tracking_)
        DrawFocusRect(dc, &shown_);
    ReleaseDC(hwnd_, dc);
}

void PreviewFrame::ClipToClient(int shrinkLeft, int shrinkTop, int shrinkRight, int shrinkBottom)
{
    RECT clip;
    GetClientRect(hwnd_, &clip);
    clip.left += shrinkLeft, clip.top += shrinkTop;
    clip.right -= shrinkRight, clip.bottom -= shrinkBottom;
    MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&clip), 2);
    ClipCursor(&clip);
}

void PreviewFrame::OnLeftDown(POINT p)
{
    if (tool_ != kAreaTool)
        return;
    const int hit = HitTestOutline(outline_, p);
    RememberArea();
    SetCapture(hwnd_);
    if (hit != HIT_NOTHING) {
        if (hit == HIT_INSIDE)
            ClipToClient(p.x - outline_.left, p.y - outline_.top, outline_.right - p.x,
                         outline_.bottom - p.y);
        else
            ClipToClient(0, 0, 0, 0);
        trackCode_ = hit;
        trackStart_ = p;
        trackOrigin_ = outline_;
        DrawTrackingRect(outline_);
        return;
    }
    RECT window;
    GetWindowRect(hwnd_, &window);
    ClipCursor(&window);
    dragging_ = true;
    corner1_ = corner2_ = p;
}

void PreviewFrame::OnMouseMove(POINT p)
{
    if (trackCode_ != HIT_NOTHING) {
        const int dx = p.x - trackStart_.x, dy = p.y - trackStart_.y;
        RECT r = trackOrigin_;
        switch (trackCode_) {
        case HIT_TOP_LEFT: r.left += dx, r.top += dy; break;
        case HIT_TOP_RIGHT: r.right += dx, r.top += dy; break;
        case HIT_BOTTOM_RIGHT: r.right += dx, r.bottom += dy; break;
        case HIT_BOTTOM_LEFT: r.left += dx, r.bottom += dy; break;
        case HIT_TOP: r.top += dy; break;
        case HIT_RIGHT: r.right += dx; break;
        case HIT_BOTTOM: r.bottom += dy; break;
        case HIT_LEFT: r.left += dx; break;
        default: OffsetRect(&r, dx, dy); break;
        }
        outline_ = r;
        DrawTrackingRect(Ordered(POINT{r.left, r.top}, POINT{r.right, r.bottom}));
        return;
    }
    if (dragging_) {
        corner2_ = p;
        const RECT r = Ordered(corner1_, corner2_);
        StoreArea(r);
        DrawTrackingRect(r);
    }
}

void PreviewFrame::OnLeftUp(POINT p)
{
    if (trackCode_ != HIT_NOTHING) {
        OnMouseMove(p);
        const int code = trackCode_;
        trackCode_ = HIT_NOTHING;
        DrawTrackingRect(RECT{});
        ClipCursor(nullptr);
        ReleaseCapture();
        StoreArea(outline_);
        if (TooSmall(theApp.settings)) {
            PutRememberedAreaBack();
            SyncOutline();
        } else {
            outline_ = Ordered(POINT{outline_.left, outline_.top}, POINT{outline_.right, outline_.bottom});
        }
        if (code != HIT_INSIDE && owner_)
            owner_->UpdateImageSize();
        return;
    }
    if (!dragging_)
        return;
    dragging_ = false;
    corner2_ = p;
    DrawTrackingRect(RECT{});
    ClipCursor(nullptr);
    ReleaseCapture();
    StoreArea(Ordered(corner1_, corner2_));
    if (TooSmall(theApp.settings))
        PutRememberedAreaBack();
    SyncOutline();
    corner1_ = corner2_ = POINT{};
    if (owner_)
        owner_->UpdateImageSize();
}

void PreviewFrame::OnRightDown(POINT p)
{
    if (tool_ != kAreaTool)
        return;
    HMENU menu = LoadMenuW(KestrelInstance(), MAKEINTRESOURCEW(IDM_PAPER_SIZE_FIRST + LanguageId -
                                                               FIRST_LANGUAGE_ID));
    if (!menu)
        return;
    ClientToScreen(hwnd_, &p);
    const int command = static_cast<int>(TrackPopupMenu(
        GetSubMenu(menu, 0), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_LEFTALIGN, p.x, p.y, 0, hwnd_, nullptr));
    DestroyMenu(menu);
    if (command >= IDM_PAPER_LETTER && command < IDM_PAPER_LETTER + SCAN_SIZE_COUNT) {
        SetScanSize(theApp.settings, command - IDM_PAPER_LETTER + 1);
        if (owner_)
            owner_->UpdateImageSize();
        SyncOutline();
    }
}

bool PreviewFrame::OnSetCursor()
{
    POINT p;
    GetCursorPos(&p);
    ScreenToClient(hwnd_, &p);
    LPCTSTR shape = IDC_ARROW;
    switch (tool_ == kAreaTool ? HitTestOutline(outline_, p) : HIT_NOTHING) {
    case HIT_TOP_LEFT: case HIT_BOTTOM_RIGHT: shape = IDC_SIZENWSE; break;
    case HIT_TOP_RIGHT: case HIT_BOTTOM_LEFT: shape = IDC_SIZENESW; break;
    case HIT_TOP: case HIT_BOTTOM: shape = IDC_SIZENS; break;
    case HIT_RIGHT: case HIT_LEFT: shape = IDC_SIZEWE; break;
    case HIT_INSIDE: shape = IDC_SIZEALL; break;
    default: break;
    }
    SetCursor(LoadCursor(nullptr, shape));
    return true;
}

LRESULT CALLBACK PreviewFrame::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* frame = reinterpret_cast<PreviewFrame*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!frame)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        frame->hwnd_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return frame->OnMessage(message, wParam, lParam);
}

LRESULT PreviewFrame::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    const POINT point = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
    case WM_SIZE:
        Place();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(hwnd_, &paint);
        EndPaint(hwnd_, &paint);
        return 0;
    }
    case WM_LBUTTONDOWN:
        OnLeftDown(point);
        return 0;
    case WM_MOUSEMOVE:
        OnMouseMove(point);
        return 0;
    case WM_LBUTTONUP:
        OnLeftUp(point);
        return 0;
    case WM_RBUTTONDOWN:
        OnRightDown(point);
        return 0;
    case WM_SETCURSOR:
        if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT)
            return OnSetCursor();
        break;
    case WM_CAPTURECHANGED:
        // Losing the mouse in the middle of a drag ends it where it stands.
        if (reinterpret_cast<HWND>(lParam) != hwnd_ && (dragging_ || trackCode_ != HIT_NOTHING)) {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(hwnd_, &p);
            OnLeftUp(p);
        }
        return 0;
    case WM_HELP:
        // The frame has no topic; the page decides.
        return SendMessageW(GetParent(hwnd_), WM_HELP, wParam, lParam);
    default:
        break;
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}
