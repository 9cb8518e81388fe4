#include "layout_check.h"

#include <stdio.h>

namespace {

// Room a button's frame and focus rectangle take from its caption, per side.
const int kButtonMargin = 3;
// Gap between a check box or radio button's mark and its caption.
const int kMarkGap = 4;

std::string Utf8(const std::wstring& text)
{
    char buffer[1024] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

std::wstring TextOf(HWND control)
{
    wchar_t text[512] = L"";
    GetWindowTextW(control, text, 512);
    return text;
}

std::wstring ClassOf(HWND control)
{
    wchar_t name[64] = L"";
    GetClassNameW(control, name, 64);
    return name;
}

// Size of `text` drawn on one line (or wrapped at `wrapWidth` when > 0) with the
// control's own font; '&' marks a mnemonic as the controls draw it.
SIZE Measure(HWND control, const std::wstring& text, int wrapWidth, UINT extraFlags = 0)
{
    HDC dc = GetDC(control);
    HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    HGDIOBJ old = SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(SYSTEM_FONT));
    RECT box = {0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    const UINT flags = DT_CALCRECT | extraFlags | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE);
    DrawTextW(dc, text.c_str(), -1, &box, flags);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{box.right - box.left, box.bottom - box.top};
}

int LineHeight(HWND control)
{
    return Measure(control, L"Xg", 0).cy;
}

void Fault(std::vector<std::string>* faults, const std::string& where, HWND control,
           const char* what, int need, int have)
{
    char line[160];
    snprintf(line, sizeof(line), "%s: control %d (\"%s\") %s: needs %d, has %d", where.c_str(),
             GetDlgCtrlID(control), Utf8(TextOf(control)).c_str(), what, need, have);
    faults->push_back(line);
}

// The text of a static or button control fits its client rectangle.
void CheckText(HWND control, const std::string& where, std::vector<std::string>* faults)
{
    const std::wstring text = TextOf(control);
    const std::wstring kind = ClassOf(control);
    RECT client;
    GetClientRect(control, &client);
    const LONG style = GetWindowLongW(control, GWL_STYLE);

    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        const LONG type = style & BS_TYPEMASK;
        if (type == BS_GROUPBOX || text.empty())
            return;
        int room = client.right - 2 * kButtonMargin;
        if (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON)
            room = client.right - GetSystemMetrics(SM_CXMENUCHECK) - kMarkGap;
        const int width = Measure(control, text, 0).cx;
        if (width > room)
            Fault(faults, where, control, "caption is too wide", width, room);
        return;
    }
    if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        const LONG type = style & SS_TYPEMASK;
        if ((type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT && type != SS_LEFTNOWORDWRAP &&
             type != SS_SIMPLE) || text.empty())
            return;
        const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        if (client.bottom < 2 * LineHeight(control) || type == SS_LEFTNOWORDWRAP || type == SS_SIMPLE) {
            // A single line: it must not need wrapping.
            const int width = Measure(control, text, 0, prefix).cx;
            if (width > client.right)
                Fault(faults, where, control, "text is too wide", width, client.right);
        } else {
            const int height = Measure(control, text, client.right, prefix).cy;
            if (height > client.bottom)
                Fault(faults, where, control, "wrapped text is too tall", height, client.bottom);
        }
        return;
    }
    if (_wcsicmp(kind.c_str(), L"ComboBox") == 0) {
        const int room = client.right - GetSystemMetrics(SM_CXVSCROLL) - 2 * kButtonMargin;
        const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t item[128] = L"";
            if (SendMessageW(control, CB_GETLBTEXTLEN, i, 0) >= 128)
                continue;
            SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
            const int width = Measure(control, item, 0, DT_NOPREFIX).cx;
            if (width > room)
                Fault(faults, where, control, "list entry is too wide", width, room);
        }
    }
}

struct Walk {
    HWND container;
    RECT visible;
    const std::string* where;
    std::vector<std::string>* faults;
};

BOOL CALLBACK CheckChild(HWND control, LPARAM context)
{
    Walk& walk = *reinterpret_cast<Walk*>(context);
    // Direct children only; grandchildren belong to their own container.
    if (GetParent(control) != walk.container || !(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE))
        return TRUE;
    RECT rect, inside;
    GetWindowRect(control, &rect);
    IntersectRect(&inside, &rect, &walk.visible);
    if (!EqualRect(&inside, &rect)) {
        char line[200];
        snprintf(line, sizeof(line),
                 "%s: control %d (\"%s\") at %ld,%ld..%ld,%ld lies outside the visible %ld,%ld..%ld,%ld",
                 walk.where->c_str(), GetDlgCtrlID(control), Utf8(TextOf(control)).c_str(), rect.left,
                 rect.top, rect.right, rect.bottom, walk.visible.left, walk.visible.top,
                 walk.visible.right, walk.visible.bottom);
        walk.faults->push_back(line);
    }
    CheckText(control, *walk.where, walk.faults);
    return TRUE;
}

}  // namespace

RECT ClientOnScreen(HWND window)
{
    RECT rect;
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void CheckLayout(HWND container, const RECT& visible, const std::string& where,
                 std::vector<std::string>* faults)
{
    Walk walk = {container, visible, &where, faults};
    EnumChildWindows(container, CheckChild, reinterpret_cast<LPARAM>(&walk));
}
