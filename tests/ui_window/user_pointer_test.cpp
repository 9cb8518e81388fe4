// The settings window worked as a user works it: every click, drag and key goes
// through SendInput, so it meets the platform's hit testing, activation, focus
// changes and capture before it reaches a control. Points are taken from the
// controls' rectangles at run time, never from font metrics.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "scan/settings_store.h"
#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "support/user_input.h"
#include "twain/source_app.h"
#include "ui/preview_frame.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"
#include "window_script.h"

namespace {

const char kProfile[] = "kestrel_ui_pointer_test.INI";

std::wstring ControlText(HWND page, int id)
{
    wchar_t text[128] = L"";
    GetDlgItemTextW(page, id, text, 128);
    return text;
}

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

// Script step: click control `id` of the current page with the pointer.
ScriptStep ClickOnPage(int id)
{
    return [id](HWND sheet) {
        EXPECT_TRUE(user_input::Click(GetDlgItem(CurrentPage(sheet), id))) << "control " << id;
        return true;
    };
}

// Script step: `check` once the input before it has been handled.
ScriptStep Then(const std::function<void(HWND page)>& check)
{
    return [check](HWND sheet) {
        check(CurrentPage(sheet));
        return true;
    };
}

class UserPointerTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(driver_.Loaded());
        StartWindowTest(kProfile, driver_.FileName());
        user_input::PointerTo(POINT{0, 0});
    }
    void TearDown() override { EndWindowTest(kProfile); }
    static std::string ProfilePath() { return ProfilePathOf(kProfile); }

    TestDriverModule driver_{"full"};
    TraceRecorder recorder_;
};

// --- Choosing settings and scanning, whatever resolution the host asked for --------

TEST_P(UserPointerTest, ClicksOnTheSwitchesCalibrateAndScanDoWhatTheyShow)
{
    const int hostResolution = GetParam();
    theApp.settings.resolution = static_cast<int16_t>(hostResolution);
    std::wstring listShows;
    bool calibrationShown = false;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {
            listShows = ControlText(CurrentPage(sheet), IDC_RESOLUTION_LIST);
            return true;
        },
        ClickOnPage(IDC_INVERT),
        Then([](HWND page) {
            EXPECT_TRUE(Checked(page, IDC_INVERT));
            EXPECT_EQ(theApp.settings.inversion, 1);
        }),
        ClickOnPage(IDC_BLACK_WHITE),
        Then([](HWND page) {
            EXPECT_TRUE(Checked(page, IDC_BLACK_WHITE));
            EXPECT_EQ(theApp.settings.mode, MODE_BW);
        }),
        ClickOnPage(IDC_GRAY),
        Then([](HWND page) {
            EXPECT_TRUE(Checked(page, IDC_GRAY));
            EXPECT_FALSE(Checked(page, IDC_BLACK_WHITE));
            EXPECT_EQ(theApp.settings.mode, MODE_GRAY);
        }),
        ClickOnPage(IDC_BLACK_WHITE),
        ClickOnPage(IDC_CALIBRATE),
        [&](HWND) {   // the calibration dialog opens; its Cancel closes it
            HWND dialog = CalibrationDialog();
            if (!dialog)
                return false;
            calibrationShown = true;
            EXPECT_TRUE(user_input::Click(GetDlgItem(dialog, IDCANCEL)));
            return true;
        },
        [&](HWND) { return CalibrationDialog() == nullptr; },
        ClickOnPage(IDC_SCAN),
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_SCAN);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(listShows, std::to_wstring(hostResolution));
    EXPECT_TRUE(calibrationShown);
    EXPECT_EQ(CountCalls(driver_.Calls(), "IO_CalibrateScanner"), 0);
    EXPECT_TRUE(recorder_.Messages().empty());
    // The scan keeps the host's resolution, with the image type and inversion chosen.
    EXPECT_EQ(theApp.settings.resolution, hostResolution);
    EXPECT_EQ(theApp.settings.mode, MODE_BW);
    EXPECT_EQ(theApp.settings.inversion, 1);
    ScanSettings saved = {};
    LoadScanSettings(saved, theApp.driver, kProfile);
    EXPECT_EQ(saved.resolution, hostResolution);
}

TEST_P(UserPointerTest, ResolutionListResetAndCancelAnswerThePointer)
{
    const int hostResolution = GetParam();
    theApp.settings.resolution = static_cast<int16_t>(hostResolution);
    theApp.settings.inversion = 1;
    int chosen = 0;
    std::wstring sizeBefore;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {
            sizeBefore = ControlText(CurrentPage(sheet), IDC_IMAGE_SIZE);
            return true;
        },
        ClickOnPage(IDC_RESOLUTION_LIST),
        [&](HWND sheet) {   // the list drops down: click the entry 400
            COMBOBOXINFO info = {};
            info.cbSize = sizeof(info);
            HWND list = GetDlgItem(CurrentPage(sheet), IDC_RESOLUTION_LIST);
            if (!GetComboBoxInfo(list, &info) || !IsWindowVisible(info.hwndList))
                return false;
            const int entry = static_cast<int>(
                SendMessageW(list, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(L"400")));
            RECT item;
            SendMessageW(info.hwndList, LB_GETITEMRECT, entry, reinterpret_cast<LPARAM>(&item));
            MapWindowPoints(info.hwndList, nullptr, reinterpret_cast<POINT*>(&item), 2);
            chosen = 400;
            EXPECT_TRUE(user_input::ClickAt(
                POINT{(item.left + item.right) / 2, (item.top + item.bottom) / 2}));
            return true;
        },
        Then([&](HWND page) {
            EXPECT_EQ(ControlText(page, IDC_RESOLUTION_LIST), L"400");
            EXPECT_EQ(theApp.settings.resolution, chosen);
            EXPECT_NE(ControlText(page, IDC_IMAGE_SIZE), sizeBefore);
        }),
        ClickOnPage(IDC_RESET),
        Then([](HWND page) {
            EXPECT_EQ(theApp.settings.resolution, 300);
            EXPECT_EQ(theApp.settings.inversion, 0);
            EXPECT_EQ(ControlText(page, IDC_RESOLUTION_LIST), L"300");
            EXPECT_FALSE(Checked(page, IDC_INVERT));
        }),
        ClickOnPage(IDC_PAGE_CANCEL),
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(chosen, 400);
    EXPECT_EQ(GetFileAttributesA(ProfilePath().c_str()), INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(HostResolutions, UserPointerTest, ::testing::Values(150, 200, 300, 600));

// --- Keys ---------------------------------------------------------------------------

TEST_F(UserPointerTest, EnterScansAndEscapeCancelsWithTheHostsResolutionKept)
{
    theApp.settings.resolution = 150;
    const WORD keys[] = {VK_ESCAPE, VK_RETURN};
    const int results[] = {SETTINGS_RESULT_CANCEL, SETTINGS_RESULT_SCAN};
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        WindowScript script;
        script.steps = {[&](HWND) {
            EXPECT_TRUE(user_input::Key(keys[i]));
            return true;
        }};
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), results[i]);
        EXPECT_FALSE(script.timedOut);
        EXPECT_EQ(theApp.settings.resolution, 150);
    }
    ScanSettings saved = {};
    LoadScanSettings(saved, theApp.driver, kProfile);
    EXPECT_EQ(saved.resolution, 150);
}

// --- The scan area ------------------------------------------------------------------

// A point of the preview frame, in screen coordinates, that the pointer reaches
// (no control covers it) and that lies outside the area outline.
bool FreePoint(HWND frame, const RECT& outline, POINT* found)
{
    RECT client;
    GetClientRect(frame, &client);
    for (int y = client.bottom / 3; y < client.bottom - 4; y += 3) {
        for (int x = 4; x < client.right / 2; x += 3) {
            POINT screen = {x, y};
            ClientToScreen(frame, &screen);
            if (WindowFromPoint(screen) == frame && HitTestOutline(outline, POINT{x, y}) == HIT_NOTHING) {
                *found = screen;
                return true;
            }
        }
    }
    return false;
}

TEST_F(UserPointerTest, DragInTheFreePartOfThePreviewFrameSetsTheArea)
{
    // A small area in the top left corner leaves the rest of the bed free.
    theApp.settings.left = 0, theApp.settings.top = 0, theApp.settings.right = 40;
    theApp.settings.bottom = 40;
    RECT expected = {};
    std::wstring sizeBefore, sizeAfter;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            HWND frame = GetDlgItem(page, IDC_PREVIEW_FRAME);
            RECT client;
            GetClientRect(frame, &client);
            const RECT outline = {0, 0, 40 * client.right / BED_WIDTH, 40 * client.bottom / BED_HEIGHT};
            POINT from;
            if (!FreePoint(frame, outline, &from)) {
                ADD_FAILURE() << "no free point in the preview frame";
                return true;
            }
            const POINT to = {from.x + client.right / 4, from.y + client.bottom / 5};
            POINT a = from, b = to;
            ScreenToClient(frame, &a);
            ScreenToClient(frame, &b);
            expected = {a.x * BED_WIDTH / client.right, a.y * BED_HEIGHT / client.bottom,
                        b.x * BED_WIDTH / client.right, b.y * BED_HEIGHT / client.bottom};
            sizeBefore = ControlText(page, IDC_IMAGE_SIZE);
            EXPECT_TRUE(user_input::Drag(from, to));
            return true;
        },
        [&](HWND sheet) {
            sizeAfter = ControlText(CurrentPage(sheet), IDC_IMAGE_SIZE);
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    RunScripted(script, PAGE_CUSTOM);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(theApp.settings.left, expected.left);
    EXPECT_EQ(theApp.settings.top, expected.top);
    EXPECT_EQ(theApp.settings.right, expected.right);
    EXPECT_EQ(theApp.settings.bottom, expected.bottom);
    EXPECT_GT(expected.right - expected.left, 20);
    EXPECT_NE(sizeAfter, sizeBefore);
}

// --- Choosing a language ----------------------------------------------------------

// Colour in the middle of the top band of flag n's outline (no other outline
// comes near it), as painted on the page.
COLORREF TopBandColour(HWND page, int n)
{
    RECT rect;
    GetWindowRect(GetDlgItem(page, IDC_FLAG_FIRST + n), &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    HDC dc = GetDC(page);
    const COLORREF colour = GetPixel(dc, (rect.left + rect.right) / 2, rect.top - 6);
    ReleaseDC(page, dc);
    return colour;
}

TEST_F(UserPointerTest, PointerOverThePicturesOutlinesThemAndAClickChoosesTheLanguage)
{
    const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0);
    COLORREF overEnglish[2] = {}, overSpanish[2] = {};
    int settle = 0;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {
            if (++settle < 4)
                return false;
            EXPECT_TRUE(user_input::PointerTo(user_input::CentreOf(
                GetDlgItem(CurrentPage(sheet), IDC_FLAG_FIRST + 0))));
            return true;
        },
        [&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            overEnglish[0] = TopBandColour(page, 0), overEnglish[1] = TopBandColour(page, 2);
            EXPECT_TRUE(user_input::PointerTo(user_input::CentreOf(GetDlgItem(page, IDC_FLAG_FIRST + 2))));
            return true;
        },
        [&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            overSpanish[0] = TopBandColour(page, 0), overSpanish[1] = TopBandColour(page, 2);
            EXPECT_TRUE(user_input::Click(GetDlgItem(page, IDC_FLAG_FIRST + 7)));   // Japanese
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_LANGUAGE), LANGUAGE_JAPANESE);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(overEnglish[0], red);
    EXPECT_EQ(overEnglish[1], white);
    EXPECT_EQ(overSpanish[0], white);
    EXPECT_EQ(overSpanish[1], red);
    EXPECT_EQ(GetPrivateProfileIntA("MAIN", "Language", 0, kProfile), static_cast<UINT>(LANGUAGE_JAPANESE));
}

}  // namespace
