// The preview frame on the running Custom Setting page: hit codes of the area
// outline, and the scan area set by dragging, resizing and moving with the mouse.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/source_app.h"
#include "ui/module_instance.h"
#include "ui/preview_frame.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "window_script.h"

namespace {

TEST(OutlineHitTest, HandlesLieInsideTheCornersAndEdgeMiddles)
{
    const RECT full = {0, 0, 220, 360};
    const struct {
        POINT point;
        int code;
    } cases[] = {
        {{1, 1}, HIT_TOP_LEFT},     {{218, 1}, HIT_TOP_RIGHT}, {{218, 358}, HIT_BOTTOM_RIGHT},
        {{1, 358}, HIT_BOTTOM_LEFT}, {{110, 2}, HIT_TOP},       {{217, 180}, HIT_RIGHT},
        {{110, 357}, HIT_BOTTOM},   {{3, 180}, HIT_LEFT},      {{50, 50}, HIT_INSIDE},
        {{50, 1}, HIT_INSIDE},      {{220, 100}, HIT_NOTHING}, {{-1, -1}, HIT_NOTHING},
        {{6, 6}, HIT_INSIDE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HitTestOutline(full, c.point), c.code) << c.point.x << "," << c.point.y;
    EXPECT_EQ(HitTestOutline(RECT{10, 10, 10, 10}, POINT{10, 10}), HIT_NOTHING);
}

TEST(PaperSizeMenus, OnePerLanguageWithTheEightPageSizes)
{
    for (int languageId = 1210; languageId <= 1217; ++languageId) {
        SCOPED_TRACE(languageId);
        HMENU menu = LoadMenuW(KestrelInstance(), MAKEINTRESOURCEW(650 + languageId - 1210));
        ASSERT_NE(menu, nullptr);
        wchar_t name[32] = L"";
        GetMenuStringW(menu, 0, name, 32, MF_BYPOSITION);
        EXPECT_STREQ(name, L"paperSize");
        HMENU sizes = GetSubMenu(menu, 0);
        ASSERT_EQ(GetMenuItemCount(sizes), 8);
        for (int k = 1; k <= 8; ++k)
            EXPECT_EQ(GetMenuItemID(sizes, k - 1), static_cast<UINT>(1190 + k));
        wchar_t first[64] = L"", sixth[64] = L"";
        GetMenuStringW(sizes, 0, first, 64, MF_BYPOSITION);
        GetMenuStringW(sizes, 5, sixth, 64, MF_BYPOSITION);
        if (languageId == 1215) {
            EXPECT_STREQ(first, L"Letter size (8.5 x 11.0 \u82f1\u540b)");
            EXPECT_STREQ(sixth, L"\u540d\u7247 (3.5 x 2.0 \u82f1\u540b)");
        } else {
            EXPECT_STREQ(first, L"Letter size (8.5\" x 11.0\")");
            EXPECT_STREQ(sixth, L"Business card (4.5\" x 2.2\")");
        }
        DestroyMenu(menu);
    }
}

struct Area {
    int left, top, right, bottom;
    bool operator==(const Area& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

std::ostream& operator<<(std::ostream& out, const Area& a)
{
    return out << "(" << a.left << "," << a.top << ")-(" << a.right << "," << a.bottom << ")";
}

Area CurrentArea()
{
    const ScanSettings& s = theApp.settings;
    return Area{s.left, s.top, s.right, s.bottom};
}

void Mouse(HWND frame, UINT message, int x, int y)
{
    SendMessageW(frame, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
}

void Drag(HWND frame, POINT from, POINT to)
{
    Mouse(frame, WM_LBUTTONDOWN, from.x, from.y);
    Mouse(frame, WM_MOUSEMOVE, (from.x + to.x) / 2, (from.y + to.y) / 2);
    Mouse(frame, WM_LBUTTONUP, to.x, to.y);
}

std::wstring ImageSize(HWND page)
{
    wchar_t text[64] = L"";
    GetDlgItemTextW(page, IDC_IMAGE_SIZE, text, 64);
    return text;
}

TEST(PreviewFrame, MouseSetsTheScanArea)
{
    TestDriverModule driver("full");
    ASSERT_TRUE(driver.Loaded());
    theApp.driver.Attach(LoadLibraryA(driver.FileName()));
    TraceRecorder recorder;
    theApp.settings = ScanSettings{};
    theApp.settings.mode = MODE_GRAY;
    theApp.settings.resolution = 300;
    theApp.settings.scanSize = 3;
    theApp.settings.left = 100, theApp.settings.top = 200;
    theApp.settings.right = 150, theApp.settings.bottom = 300;
    SetCursorPos(0, 0);   // keep the real pointer off the window

    Area midDrag = {}, dragged = {}, reversed = {}, tooNarrow = {}, resized = {}, moved = {};
    int scanSizeAfterNarrow = -1;
    std::wstring sizeAfterDrag, sizeAfterResize;
    bool frameFound = false;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        HWND frame = GetDlgItem(page, IDC_PREVIEW_FRAME);
        frameFound = frame != nullptr;
        if (!frame)
            return true;
        // Frame pixels equal hundredths of an inch at this size.
        SetWindowPos(frame, nullptr, 0, 0, BED_WIDTH, BED_HEIGHT, SWP_NOMOVE | SWP_NOZORDER);

        Mouse(frame, WM_LBUTTONDOWN, 10, 20);
        Mouse(frame, WM_MOUSEMOVE, 40, 50);
        midDrag = CurrentArea();
        Mouse(frame, WM_LBUTTONUP, 60, 90);
        dragged = CurrentArea();
        sizeAfterDrag = ImageSize(page);

        Drag(frame, {60, 90}, {10, 20});
        reversed = CurrentArea();

        Drag(frame, {100, 100}, {140, 200});
        tooNarrow = CurrentArea();
        scanSizeAfterNarrow = theApp.settings.scanSize;

        Drag(frame, {57, 87}, {77, 117});   // the bottom-right handle
        resized = CurrentArea();
        sizeAfterResize = ImageSize(page);

        Drag(frame, {30, 50}, {40, 60});    // inside: a move
        moved = CurrentArea();
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }};
    RunScripted(script, PAGE_CUSTOM);
    theApp.driver.Release();

    ASSERT_TRUE(frameFound);
    EXPECT_EQ(midDrag, (Area{10, 20, 40, 50}));
    EXPECT_EQ(dragged, (Area{10, 20, 60, 90}));
    EXPECT_EQ(sizeAfterDrag, L"Image size: 31 KB");
    EXPECT_EQ(reversed, (Area{10, 20, 60, 90}));
    EXPECT_EQ(tooNarrow, (Area{10, 20, 60, 90}));
    EXPECT_EQ(scanSizeAfterNarrow, 0);
    EXPECT_EQ(resized, (Area{10, 20, 80, 120}));
    EXPECT_EQ(sizeAfterResize, L"Image size: 62 KB");
    EXPECT_EQ(moved, (Area{20, 30, 90, 130}));
}

}  // namespace
