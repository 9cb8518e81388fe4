// Shows East Asian texts of the table the way the window code does (converted
// from their code page, put on controls with the ...W functions) and keeps a
// picture of the window in $KESTREL_ARTIFACTS for a person to look at.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/text_table.h"

namespace {

const int kWidth = 560;
const int kHeight = 400;

// ---- A minimal PNG writer (stored, uncompressed deflate blocks) ----------------

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data)
{
    PutBig32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBig32(out, Crc32(body.data(), body.size()));
}

// `rgb`: rows top-down, 3 bytes per pixel in red, green, blue order.
bool WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    std::vector<uint8_t> raw;  // each row prefixed by filter type 0
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + y * width * 3, rgb.begin() + (y + 1) * width * 3);
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    for (size_t pos = 0; pos < raw.size() || pos == 0;) {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
        if (last)
            break;
    }
    PutBig32(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBig32(header, static_cast<uint32_t>(width));
    PutBig32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", z);
    PutChunk(png, "IEND", {});

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

// ---- The window ------------------------------------------------------------------

struct Line {
    int languageId;
    int number;
};

// Short labels and a long wrapped message, in the three East Asian languages.
const Line kLines[] = {
    {LANGUAGE_JAPANESE, 34},            {LANGUAGE_JAPANESE, 21},
    {LANGUAGE_JAPANESE, 2},             {LANGUAGE_TRADITIONAL_CHINESE, 34},
    {LANGUAGE_TRADITIONAL_CHINESE, 53}, {LANGUAGE_TRADITIONAL_CHINESE, 3},
    {LANGUAGE_SIMPLIFIED_CHINESE, 34},  {LANGUAGE_SIMPLIFIED_CHINESE, 9},
};

RECT LineRect(int i)
{
    RECT r = {10, 8 + i * 48, kWidth - 10, 8 + i * 48 + 46};
    return r;
}

void PumpFor(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    MSG msg;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(10);
    }
}

bool HasDarkPixels(const std::vector<uint8_t>& rgb, const RECT& r)
{
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x) {
            const uint8_t* p = &rgb[(y * kWidth + x) * 3];
            if (p[0] < 96 && p[1] < 96 && p[2] < 96)
                return true;
        }
    }
    return false;
}

// The client area of `window` as it is on the screen, top-down RGB.
std::vector<uint8_t> CaptureClient(HWND window)
{
    std::vector<uint8_t> rgb(kWidth * kHeight * 3, 0xFF);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = -kHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HBITMAP section = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section) {
        HDC memory = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(memory, section);
        BitBlt(memory, 0, 0, kWidth, kHeight, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const uint8_t* bgra = static_cast<const uint8_t*>(bits);
        for (int i = 0; i < kWidth * kHeight; ++i) {
            rgb[i * 3 + 0] = bgra[i * 4 + 2];
            rgb[i * 3 + 1] = bgra[i * 4 + 1];
            rgb[i * 3 + 2] = bgra[i * 4 + 0];
        }
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(section);
    }
    ReleaseDC(window, screen);
    return rgb;
}

// Draws `text` in black on white with `font`; the pixels, for comparing two texts.
std::vector<uint32_t> Render(HFONT font, const std::wstring& text)
{
    const int w = 400, h = 40;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> pixels;
    if (section) {
        HGDIOBJ oldBitmap = SelectObject(dc, section);
        HGDIOBJ oldFont = SelectObject(dc, font);
        RECT r = {0, 0, w, h};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkMode(dc, TRANSPARENT);
        TextOutW(dc, 2, 2, text.c_str(), static_cast<int>(text.size()));
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        pixels.assign(p, p + w * h);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(section);
    }
    DeleteDC(dc);
    return pixels;
}

bool IsEastAsian(wchar_t c)
{
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x4E00 && c <= 0x9FFF);
}

TEST(TextRender, EastAsianTextsShowThroughTheWideFunctions)
{
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"KestrelTextRenderTest";
    ASSERT_TRUE(RegisterClassW(&wc));

    RECT frame = {0, 0, kWidth, kHeight};
    AdjustWindowRect(&frame, WS_POPUP | WS_BORDER, FALSE);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"Text table",
                                  WS_POPUP | WS_BORDER, 20, 20, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(window, nullptr);

    // The dialog font of the pages; the prefix links it to a CJK font.
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"MS Shell Dlg");
    ASSERT_NE(font, nullptr);

    const int count = sizeof kLines / sizeof kLines[0];
    std::vector<HWND> labels;
    std::vector<std::wstring> expected;
    for (int i = 0; i < count; ++i) {
        wchar_t text[TEXT_BUFFER_SIZE];
        ASSERT_GT(GetTextWide(kLines[i].languageId, kLines[i].number, text, TEXT_BUFFER_SIZE), 0);
        RECT r = LineRect(i);
        HWND label = CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT,
                                     r.left, r.top, r.right - r.left, r.bottom - r.top, window,
                                     nullptr, instance, nullptr);
        ASSERT_NE(label, nullptr);
        SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        labels.push_back(label);
        expected.push_back(text);
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);

    // The controls hold the characters, not a code-page reading of the bytes.
    for (int i = 0; i < count; ++i) {
        wchar_t back[TEXT_BUFFER_SIZE];
        GetWindowTextW(labels[i], back, TEXT_BUFFER_SIZE);
        EXPECT_EQ(expected[i], back) << "line " << i;
    }

    // Characters without a glyph in the font (nor in a font it links to) are
    // drawn as the missing-glyph box, the same for every such character.
    for (int i = 0; i < count; ++i) {
        std::wstring eastAsian;
        for (wchar_t c : expected[i])
            if (IsEastAsian(c))
                eastAsian += c;
        ASSERT_FALSE(eastAsian.empty()) << "line " << i;
        std::wstring missing(eastAsian.size(), L'\x0378');  // an unassigned code point
        EXPECT_NE(Render(font, eastAsian), Render(font, missing))
            << "line " << i << " is drawn as missing-glyph boxes: no CJK font reaches the "
            << "dialog font (font link of \"MS Shell Dlg\")";
    }

    // The first paint of a new prefix waits for the font cache; give it time,
    // then expect every label to have drawn something.
    std::vector<uint8_t> rgb;
    int blank = count;
    for (int attempt = 0; attempt < 50 && blank > 0; ++attempt) {
        PumpFor(200);
        rgb = CaptureClient(window);
        blank = 0;
        for (int i = 0; i < count; ++i)
            blank += HasDarkPixels(rgb, LineRect(i)) ? 0 : 1;
    }
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(HasDarkPixels(rgb, LineRect(i))) << "line " << i << " is blank";

    if (const char* dir = std::getenv("KESTREL_ARTIFACTS")) {
        CreateDirectoryA(dir, nullptr);
        std::string path = std::string(dir) + "\\ui_text_east_asian.png";
        EXPECT_TRUE(WritePng(path, kWidth, kHeight, rgb)) << path;
    }

    DestroyWindow(window);
    DeleteObject(font);
    UnregisterClassW(wc.lpszClassName, instance);
}

}  // namespace
