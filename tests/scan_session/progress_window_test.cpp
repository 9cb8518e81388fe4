// The progress window on the display: its look, its live picture, and cancelling
// a page through Enter, Escape and the close box.
#include <windows.h>
#include <commctrl.h>
#include <stdlib.h>

#include <string>

#include "session_fixture.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"
#include "ui/text_table.h"

namespace {

BOOL CALLBACK MatchProgressWindow(HWND window, LPARAM result)
{
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    if (GetDlgItem(window, IDC_PROGRESS_PICTURE) && wcscmp(title, L"Zureruri Zedu") == 0) {
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
    }
    return TRUE;
}

// The progress window of this thread, if one is open.
HWND FindProgressWindow()
{
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), MatchProgressWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// The window as it looks now, as 24-bit top-down pixels.
struct Capture {
    int width = 0, height = 0;
    std::vector<uint8_t> bgr;
    COLORREF At(int x, int y) const
    {
        const uint8_t* p = &bgr[(static_cast<size_t>(y) * width + x) * 4];
        return RGB(p[2], p[1], p[0]);
    }
};

Capture CaptureWindow(HWND window)
{
    Capture capture;
    RECT box;
    GetWindowRect(window, &box);
    capture.width = box.right - box.left;
    capture.height = box.bottom - box.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = capture.width;
    info.bmiHeader.biHeight = -capture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    // From the screen, as the user sees it (the window is on top of the display).
    BitBlt(memory, 0, 0, capture.width, capture.height, screen, box.left, box.top, SRCCOPY);
    GdiFlush();
    capture.bgr.assign(static_cast<uint8_t*>(bits),
                       static_cast<uint8_t*>(bits) + capture.width * capture.height * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return capture;
}

// Writes the capture as a 24-bit BMP into $KESTREL_ARTIFACTS, when that is set.
void SaveArtifact(const Capture& capture, const char* name)
{
    const char* folder = getenv("KESTREL_ARTIFACTS");
    if (!folder || !folder[0])
        return;
    std::string path = std::string(folder) + "\\" + name;
    const int line = ((capture.width * 3 + 3) / 4) * 4;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + line * capture.height;
    ih.biSize = sizeof(ih);
    ih.biWidth = capture.width;
    ih.biHeight = capture.height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = line * capture.height;
    std::vector<uint8_t> bytes(fh.bfSize, 0);
    memcpy(bytes.data(), &fh, sizeof(fh));
    memcpy(bytes.data() + sizeof(fh), &ih, sizeof(ih));
    for (int y = 0; y < capture.height; ++y)
        for (int x = 0; x < capture.width; ++x) {
            const uint8_t* from = &capture.bgr[(static_cast<size_t>(y) * capture.width + x) * 4];
            uint8_t* to = &bytes[fh.bfOffBits + static_cast<size_t>(capture.height - 1 - y) * line + 3 * x];
            to[0] = from[0], to[1] = from[1], to[2] = from[2];
        }
    WriteBytes(path, bytes);
}

// The frame control's client rectangle in window coordinates.
RECT PictureFrameInWindow(HWND dialog)
{
    HWND frame = GetDlgItem(dialog, IDC_PROGRESS_PICTURE);
    RECT client, window;
    GetClientRect(frame, &client);
    MapWindowPoints(frame, nullptr, reinterpret_cast<POINT*>(&client), 2);
    GetWindowRect(dialog, &window);
    OffsetRect(&client, -window.left, -window.top);
    return client;
}

// What the window looked like halfway through a page.
struct Halfway {
    bool seen = false;
    bool visible = false;
    bool cancelVisible = true;
    bool ownerEnabled = true;
    HWND owner = nullptr;
    int position = -1;
    std::wstring percentText;
    Capture capture;
    RECT frame = {};
    int pageHeight = 0;
};

void LookHalfway(int nextLine, void* context)
{
    auto* halfway = static_cast<Halfway*>(context);
    if (halfway->seen || nextLine < halfway->pageHeight / 2)
        return;
    HWND dialog = FindProgressWindow();
    if (!dialog)
        return;
    // Let the window system put the last update on the screen before looking at it.
    for (int round = 0; round < 3; ++round) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(60);
    }
    halfway->seen = true;
    halfway->visible = IsWindowVisible(dialog) != 0;
    halfway->cancelVisible = IsWindowVisible(GetDlgItem(dialog, IDCANCEL)) != 0;
    halfway->ownerEnabled = IsWindowEnabled(halfway->owner) != 0;
    halfway->position = static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROGRESS_BAR, PBM_GETPOS, 0, 0));
    wchar_t text[16] = L"";
    GetDlgItemTextW(dialog, IDC_PROGRESS_PERCENT, text, 16);
    halfway->percentText = text;
    halfway->capture = CaptureWindow(dialog);
    halfway->frame = PictureFrameInWindow(dialog);
    SaveArtifact(halfway->capture, "progress_window_halfway.bmp");
}

class ProgressWindow : public SessionTest {
protected:
    void SetUp() override
    {
        SessionTest::SetUp();
        owner_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                 100, 600, 500, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(owner_, nullptr);
    }
    void TearDown() override
    {
        if (owner_)
            DestroyWindow(owner_);
        SessionTest::TearDown();
    }
    HWND owner_ = nullptr;
};

TEST_F(ProgressWindow, ShowsProgressAndTheLivePictureGrowingUpwards)
{
    // A colour card of 2.2 x 3.6 inches at 200 dpi: 440 x 720 in blocks of 44 lines.
    Page(MODE_COLOR, 200, 220, 360);
    Halfway halfway;
    halfway.owner = owner_;
    halfway.pageHeight = 720;
    Control().onBlock = LookHalfway;
    Control().onBlockContext = &halfway;

    ASSERT_EQ(Scan(true, owner_), SCAN_SUCCESS);
    ExpectPage(440, 720);
    EXPECT_EQ(Control().linesAsked[0], 44);
    ASSERT_TRUE(halfway.seen);
    EXPECT_TRUE(halfway.visible);
    EXPECT_FALSE(halfway.cancelVisible);
    EXPECT_FALSE(halfway.ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(owner_));
    EXPECT_EQ(FindProgressWindow(), nullptr);
    // 396 of 720 lines had arrived when the driver was asked for the next block.
    EXPECT_EQ(halfway.position, 55);
    EXPECT_EQ(halfway.percentText, L"55");

    // The raised frame.
    const Capture& c = halfway.capture;
    const RECT& f = halfway.frame;
    EXPECT_EQ(c.At(f.left, f.top + 5), RGB(255, 255, 255));
    EXPECT_EQ(c.At(f.left + 5, f.top), RGB(255, 255, 255));
    EXPECT_EQ(c.At(f.right - 1, f.top + 5), RGB(0x80, 0x80, 0x80));
    EXPECT_EQ(c.At(f.left + 5, f.bottom - 1), RGB(0x80, 0x80, 0x80));

    // The upper 55 % of the page, standing on the frame's bottom less 4 pixels:
    // a band of painted rows from there upwards, empty frame above it.
    const COLORREF background = c.At(f.left + 2, f.top + 2);
    const int centre = (f.left + f.right) / 2;
    const int pictureHeight = f.bottom - f.top - 8;
    int lowest = -1, highest = -1;
    for (int y = f.top + 1; y < f.bottom - 1; ++y)
        if (c.At(centre, y) != background) {
            if (highest < 0)
                highest = y;
            lowest = y;
        }
    EXPECT_EQ(lowest, f.bottom - 5);
    const int band = lowest - highest + 1;
    EXPECT_EQ(band, pictureHeight * 396 / 720);
    // Blue is 255 - x: bright at the page's left edge, dark in its middle.
    const int pictureWidth = (440 * pictureHeight / 720) & ~3;
    const int pictureLeft = f.left + ((f.right - f.left) - pictureWidth) / 2;
    EXPECT_GT(GetBValue(c.At(pictureLeft, lowest)), 200);
    EXPECT_LT(GetBValue(c.At(pictureLeft + pictureWidth / 2, lowest)), 80);
    EXPECT_EQ(c.At(pictureLeft - 1, lowest), background);
}

TEST_F(ProgressWindow, PictureKeepsTheAspectRatioAndIsNeverEnlarged)
{
    {
        ScanProgressDialog tall(owner_, IDD_SCAN_PROGRESS, MODE_GRAY, true, 440, 720, 44);
        ASSERT_NE(tall.Window(), nullptr);
        RECT frame;
        GetClientRect(GetDlgItem(tall.Window(), IDC_PROGRESS_PICTURE), &frame);
        const int areaHeight = frame.bottom - 8;
        EXPECT_EQ(tall.PictureHeight(), areaHeight);
        EXPECT_EQ(tall.PictureWidth(), (440 * areaHeight / 720) & ~3);
        EXPECT_TRUE(IsWindowVisible(tall.Window()));
    }
    ScanProgressDialog small(owner_, IDD_SCAN_PROGRESS, MODE_GRAY, true, 40, 30, 10);
    EXPECT_EQ(small.PictureWidth(), 40);
    EXPECT_EQ(small.PictureHeight(), 30);

    ScanProgressDialog hidden(owner_, IDD_SCAN_PROGRESS, MODE_GRAY, false, 40, 30, 10);
    ASSERT_NE(hidden.Window(), nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden.Window()));
    EXPECT_EQ(hidden.PictureHeight(), 0);
}

TEST_F(ProgressWindow, BlocksBecomeTopDownPictureLinesInEveryMode)
{
    // An image of its own size, 40 x 30: one block of 10 lines, bottom-up as the
    // driver delivers it, becomes picture lines 0..9 top-down in red, green, blue.
    for (int mode : {MODE_GRAY, MODE_BW, MODE_HALFTONE, MODE_COLOR}) {
        SCOPED_TRACE(mode);
        ScanProgressDialog dialog(owner_, IDD_SCAN_PROGRESS, mode, true, 40, 30, 10);
        ASSERT_EQ(dialog.PictureHeight(), 30);
        const int line = TestLineBytes(mode, 40);
        std::vector<uint8_t> block(10 * line);
        for (int i = 0; i < 10; ++i)
            TestPageLine(mode, 40, 9 - i, &block[i * line]);
        ASSERT_EQ(dialog.update(33, 10, block.data()), 1);
        ASSERT_EQ(dialog.LinesShown(), 10);
        int wrong = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 40; ++x) {
                const uint8_t* p = dialog.Picture() + y * dialog.PictureLineBytes() + 3 * x;
                const int red = TestPagePixel(mode, x, y, 0);
                const int green = mode == MODE_COLOR ? TestPagePixel(mode, x, y, 1) : red;
                const int blue = mode == MODE_COLOR ? TestPagePixel(mode, x, y, 2) : red;
                if (p[0] != blue || p[1] != green || p[2] != red)
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(GetDlgItemInt(dialog.Window(), IDC_PROGRESS_PERCENT, nullptr, FALSE), 33u);
    }
}

// Sends a key or the close command to the progress window when the page is a
// third through; the next update sees the cancel.
struct CancelAction {
    UINT message;
    WPARAM wParam;
    bool sent = false;
};

void CancelThird(int nextLine, void* context)
{
    auto* action = static_cast<CancelAction*>(context);
    HWND dialog = FindProgressWindow();
    if (action->sent || nextLine < 120 || !dialog)
        return;
    PostMessageW(dialog, action->message, action->wParam, 0);
    action->sent = true;
}

TEST_F(ProgressWindow, EnterEscapeAndCloseBoxCancelBetweenBlocks)
{
    struct Case { const char* name; UINT message; WPARAM wParam; };
    for (Case c : {Case{"Escape", WM_KEYDOWN, VK_ESCAPE}, Case{"Enter", WM_KEYDOWN, VK_RETURN},
                   Case{"close box", WM_SYSCOMMAND, SC_CLOSE}}) {
        SCOPED_TRACE(c.name);
        // 220 x 600 gray: blocks of 272 lines; the cancel arrives during the second.
        Page(MODE_GRAY, 100, 220, 360);
        Control().pageWidth = 220;
        Control().pageHeight = 600;
        CancelAction action{c.message, c.wParam};
        Control().onBlock = CancelThird;
        Control().onBlockContext = &action;
        EXPECT_EQ(Scan(true, owner_), SCAN_CANCELLED);
        EXPECT_TRUE(action.sent);
        EXPECT_FALSE(file_.Exists());
        // No block is asked for after the cancel; the page is still fed out and closed.
        EXPECT_EQ(Control().blockCalls, 2);
        EXPECT_NE(module_.Calls().rfind("IO_FeedPage;IO_EndScanPage;"), std::string::npos);
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_EQ(FindProgressWindow(), nullptr);
        Control().ClearCalls();
    }
}

TEST_F(ProgressWindow, CancelCaptionAndTitleInTheInterfaceLanguage)
{
    LanguageId = LANGUAGE_JAPANESE;
    ScanProgressDialog dialog(owner_, IDD_SCAN_PROGRESS, MODE_GRAY, true, 40, 30, 10);
    LanguageId = LANGUAGE_ENGLISH;
    ASSERT_NE(dialog.Window(), nullptr);
    wchar_t caption[32] = L"";
    GetDlgItemTextW(dialog.Window(), IDCANCEL, caption, 32);
    EXPECT_STREQ(caption, L"\u30AD\u30E3\u30F3\u30BB\u30EB");   // "Cancel" in Japanese
    wchar_t title[32] = L"";
    GetWindowTextW(dialog.Window(), title, 32);
    EXPECT_STREQ(title, L"Zureruri Zedu");
}

void QuitAtSecondBlock(int nextLine, void* context)
{
    auto* posted = static_cast<bool*>(context);
    if (!*posted && nextLine > 0) {
        PostQuitMessage(3);
        *posted = true;
    }
}

TEST_F(ProgressWindow, QuitRequestEndsThePageAndStaysForTheHost)
{
    bool posted = false;
    Control().pageWidth = 220;
    Control().pageHeight = 600;
    Control().onBlock = QuitAtSecondBlock;
    Control().onBlockContext = &posted;
    EXPECT_EQ(Scan(true, owner_), SCAN_CANCELLED);
    EXPECT_FALSE(file_.Exists());
    MSG message;
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 3u);
}

TEST_F(ProgressWindow, OwnerDisabledBeforehandStaysDisabled)
{
    EnableWindow(owner_, FALSE);
    ASSERT_EQ(Scan(true, owner_), SCAN_SUCCESS);
    EXPECT_FALSE(IsWindowEnabled(owner_));
}

void DestroyOwnerAtSecondBlock(int nextLine, void* context)
{
    HWND* owner = static_cast<HWND*>(context);
    if (*owner && nextLine > 0) {
        DestroyWindow(*owner);   // takes the owned progress window with it
        *owner = nullptr;
    }
}

TEST_F(ProgressWindow, OwnerDestroyedDuringThePageEndsIt)
{
    HWND owner = owner_;
    Control().pageWidth = 220;
    Control().pageHeight = 600;
    Control().onBlock = DestroyOwnerAtSecondBlock;
    Control().onBlockContext = &owner;
    EXPECT_EQ(Scan(true, owner_), SCAN_CANCELLED);
    EXPECT_EQ(owner, nullptr);
    EXPECT_FALSE(IsWindow(owner_));
    EXPECT_FALSE(file_.Exists());
    EXPECT_EQ(FindProgressWindow(), nullptr);
    owner_ = nullptr;
}

} // namespace
