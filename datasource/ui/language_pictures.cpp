// The Language page's pictures, drawn with GDI: a raised button per language
// with a band of colours and the language's own name, and a plain world map.
#include "ui/language_page.h"

namespace {

struct FlagLook {
    const wchar_t* label;      // the language's name in that language
    bool vertical;             // stripes side by side, else one above the other
    COLORREF stripes[3];
    bool disc;                 // a red disc in the middle of the band
};

const FlagLook kFlags[FLAG_COUNT] = {
    {L"English", false, {RGB(0, 36, 125), RGB(255, 255, 255), RGB(207, 20, 43)}, false},
    {L"Fran\u00e7ais", true, {RGB(0, 35, 149), RGB(255, 255, 255), RGB(237, 41, 57)}, false},
    {L"Espa\u00f1ol", false, {RGB(170, 21, 27), RGB(241, 191, 0), RGB(170, 21, 27)}, false},
    {L"Italiano", true, {RGB(0, 146, 70), RGB(255, 255, 255), RGB(206, 43, 55)}, false},
    {L"Deutsch", false, {RGB(0, 0, 0), RGB(221, 0, 0), RGB(255, 206, 0)}, false},
    {L"\u7e41\u9ad4\u4e2d\u6587", false, {RGB(0, 0, 149), RGB(254, 0, 0), RGB(254, 0, 0)}, false},
    {L"\u7b80\u4f53\u4e2d\u6587", false, {RGB(222, 41, 16), RGB(222, 41, 16), RGB(255, 222, 0)}, false},
    {L"\u65e5\u672c\u8a9e", false, {RGB(255, 255, 255), RGB(255, 255, 255), RGB(255, 255, 255)}, true},
};

// Continents as outlines on a 100 x 100 grid of the map (x east, y south).
struct Outline {
    int count;
    POINT points[12];
};
const Outline kContinents[] = {
    {10, {{5, 22}, {15, 12}, {30, 10}, {36, 18}, {31, 30}, {26, 38}, {23, 46}, {18, 41}, {10, 36}, {5, 29}}},
    {8, {{25, 50}, {32, 51}, {37, 59}, {34, 71}, {29, 86}, {27, 80}, {26, 65}, {24, 56}}},
    {4, {{33, 5}, {41, 4}, {42, 10}, {36, 14}}},
    {6, {{45, 18}, {55, 13}, {58, 21}, {54, 28}, {47, 30}, {44, 25}}},
    {8, {{45, 35}, {55, 32}, {63, 40}, {61, 55}, {56, 70}, {51, 72}, {47, 58}, {43, 45}}},
    {10, {{56, 13}, {70, 7}, {90, 11}, {96, 22}, {89, 35}, {81, 42}, {73, 48}, {66, 38}, {60, 31}, {57, 22}}},
    {5, {{80, 62}, {90, 59}, {95, 68}, {88, 76}, {80, 72}}},
};

HBITMAP NewCanvas(HDC screen, int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    RECT rect = {left, top, right, bottom};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

void DrawFlag(HDC dc, const FlagLook& look, int width, int height)
{
    RECT face = {0, 0, width, height};
    Fill(dc, 0, 0, width, height, RGB(226, 226, 222));
    DrawEdge(dc, &face, EDGE_RAISED, BF_RECT);

    // The colour band across the upper half.
    const int margin = 6;
    RECT band = {margin, margin, width - margin, height / 2};
    for (int i = 0; i < 3; ++i) {
        if (look.vertical) {
            const int w = band.right - band.left;
            Fill(dc, band.left + w * i / 3, band.top, band.left + w * (i + 1) / 3, band.bottom,
                 look.stripes[i]);
        } else {
            const int h = band.bottom - band.top;
            Fill(dc, band.left, band.top + h * i / 3, band.right, band.top + h * (i + 1) / 3,
                 look.stripes[i]);
        }
    }
    if (look.disc) {
        const int r = (band.bottom - band.top) * 3 / 10;
        const int cx = (band.left + band.right) / 2, cy = (band.top + band.bottom) / 2;
        HBRUSH red = CreateSolidBrush(RGB(188, 0, 45));
        HGDIOBJ oldBrush = SelectObject(dc, red);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, cx - r, cy - r, cx + r + 1, cy + r + 1);
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(red);
    }
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HPEN frame = CreatePen(PS_SOLID, 1, RGB(96, 96, 96));
    HGDIOBJ oldPen = SelectObject(dc, frame);
    Rectangle(dc, band.left - 1, band.top - 1, band.right + 1, band.bottom + 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(frame);

    // The name on the lower half; East Asian names come from the linked font.
    HFONT font = CreateFontW(-(height / 4), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH, L"MS Shell Dlg");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(16, 16, 64));
    RECT text = {margin, height / 2, width - margin, height - 3};
    DrawTextW(dc, look.label, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(font);
}

void DrawMap(HDC dc, int width, int height)
{
    Fill(dc, 0, 0, width, height, RGB(168, 204, 236));
    HPEN grid = CreatePen(PS_SOLID, 1, RGB(198, 222, 244));
    HGDIOBJ oldPen = SelectObject(dc, grid);
    for (int i = 1; i < 6; ++i) {
        MoveToEx(dc, width * i / 6, 0, nullptr);
        LineTo(dc, width * i / 6, height);
    }
    for (int i = 1; i < 4; ++i) {
        MoveToEx(dc, 0, height * i / 4, nullptr);
        LineTo(dc, width, height * i / 4);
    }
    SelectObject(dc, oldPen);
    DeleteObject(grid);

    HBRUSH land = CreateSolidBrush(RGB(112, 168, 92));
    HPEN coast = CreatePen(PS_SOLID, 1, RGB(64, 112, 56));
    HGDIOBJ oldBrush = SelectObject(dc, land);
    oldPen = SelectObject(dc, coast);
    for (const Outline& continent : kContinents) {
        POINT points[12];
        for (int i = 0; i < continent.count; ++i) {
            points[i].x = continent.points[i].x * (width - 1) / 100;
            points[i].y = continent.points[i].y * (height - 1) / 100;
        }
        Polygon(dc, points, continent.count);
    }
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(coast);
    DeleteObject(land);
    RECT edge = {0, 0, width, height};
    DrawEdge(dc, &edge, BDR_SUNKENOUTER, BF_RECT);
}

}  // namespace

HBITMAP DrawLanguagePicture(int n, int width, int height)
{
    if (n < 0 || n > FLAG_COUNT || width <= 0 || height <= 0)
        return nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = NewCanvas(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    if (!bitmap || !dc) {
        if (bitmap)
            DeleteObject(bitmap);
        if (dc)
            DeleteDC(dc);
        return nullptr;
    }
    HGDIOBJ old = SelectObject(dc, bitmap);
    if (n < FLAG_COUNT)
        DrawFlag(dc, kFlags[n], width, height);
    else
        DrawMap(dc, width, height);
    GdiFlush();
    SelectObject(dc, old);
    DeleteDC(dc);
    return bitmap;
}
