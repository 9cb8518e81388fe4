// The Custom Setting page inside the running settings window: its read-outs,
// the resolution list, the image type buttons, the sliders and Reset, against
// the live ScanSettings record.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/source_app.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"
#include "window_script.h"

namespace {

const char kProfile[] = "kestrel_ui_custom_test.INI";

std::wstring Text(HWND page, int id)
{
    wchar_t text[256] = L"";
    GetDlgItemTextW(page, id, text, 256);
    return text;
}

std::vector<std::wstring> ListEntries(HWND page)
{
    std::vector<std::wstring> entries;
    HWND list = GetDlgItem(page, IDC_RESOLUTION_LIST);
    const int count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[32] = L"";
        SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

void SelectResolution(HWND page, int index)
{
    HWND list = GetDlgItem(page, IDC_RESOLUTION_LIST);
    SendMessageW(list, CB_SETCURSEL, index, 0);
    SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_RESOLUTION_LIST, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void MoveSlider(HWND page, int id, int position)
{
    HWND slider = GetDlgItem(page, id);
    SendMessageW(slider, TBM_SETPOS, TRUE, position);
    SendMessageW(page, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(slider));
}

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

class CustomPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        strcpy(theApp.profileName, kProfile);
        theApp.settings = ScanSettings{};
        theApp.settings.mode = MODE_GRAY;
        theApp.settings.resolution = 300;
        theApp.settings.bottom = 360;
        theApp.settings.right = 220;
        for (ChannelAdjust& block : theApp.settings.adjust)
            block = ChannelAdjust{0, 0, 10, 255, 0};
        ASSERT_TRUE(driver_.Loaded());
        theApp.driver.Attach(LoadLibraryA(driver_.FileName()));
    }
    void TearDown() override
    {
        theApp.driver.Release();
        char folder[MAX_PATH];
        GetWindowsDirectoryA(folder, MAX_PATH);
        DeleteFileA((std::string(folder) + "\\" + kProfile).c_str());
        theApp.profileName[0] = 0;
    }

    TestDriverModule driver_{"full"};
    TraceRecorder recorder_;
};

TEST_F(CustomPageTest, ControlsWriteTheRecordAndTheReadOutsFollow)
{
    std::wstring sizeGray, sizeBlackWhite, size600, brightnessText, contrastText, status;
    std::wstring selected;
    int modeAfterBlackWhite = 0, resolutionAfterSelect = 0, brightness = 0, contrast = 0;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            selected = Text(page, IDC_RESOLUTION_LIST);
            sizeGray = Text(page, IDC_IMAGE_SIZE);
            SendMessageW(GetDlgItem(page, IDC_BLACK_WHITE), BM_CLICK, 0, 0);
            modeAfterBlackWhite = theApp.settings.mode;
            sizeBlackWhite = Text(page, IDC_IMAGE_SIZE);
            SelectResolution(page, 2);
            resolutionAfterSelect = theApp.settings.resolution;
            size600 = Text(page, IDC_IMAGE_SIZE);
            MoveSlider(page, IDC_BRIGHTNESS_SLIDER, -20);
            MoveSlider(page, IDC_CONTRAST_SLIDER, 100);
            brightness = theApp.settings.adjust[0].brightness;
            contrast = theApp.settings.adjust[0].contrast;
            brightnessText = Text(page, IDC_BRIGHTNESS_VALUE);
            contrastText = Text(page, IDC_CONTRAST_VALUE);
            return true;
        },
        [&](HWND sheet) {   // the status line shows the sensor after its first tick
            status = Text(CurrentPage(sheet), IDC_STATUS_LINE);
            if (status == L"Status")
                return false;
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(selected, L"300");
    EXPECT_EQ(sizeGray, L"Image size: 696 KB");
    EXPECT_EQ(modeAfterBlackWhite, MODE_BW);
    EXPECT_EQ(sizeBlackWhite, L"Image size: 88 KB");
    EXPECT_EQ(resolutionAfterSelect, 600);
    EXPECT_EQ(size600, L"Image size: 354 KB");
    EXPECT_EQ(brightness, -20);
    EXPECT_EQ(contrast, 100);
    EXPECT_EQ(brightnessText, L"-20%");
    EXPECT_EQ(contrastText, L"100%");
    EXPECT_EQ(status, L"Paper sensor=1");
    // A cancel keeps the changes in memory.
    EXPECT_EQ(theApp.settings.mode, MODE_BW);
    EXPECT_EQ(theApp.settings.resolution, 600);
}

TEST_F(CustomPageTest, ResolutionListFollowsTheDriverMaximum)
{
    struct Case {
        short maximum;   // 0: no driver module
        std::vector<std::wstring> entries;
        int lastResolution;   // what choosing the last entry stores
    } cases[] = {
        {600, {L"300", L"400", L"600"}, 600},
        {1200, {L"300", L"400", L"600"}, 600},
        {450, {L"300", L"400", L"450"}, 450},
        {300, {L"300", L"300"}, 300},
        {150, {L"200"}, 200},
        {0, {L"200"}, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maximum);
        if (c.maximum)
            driver_.Control().resolutionMax = c.maximum;
        else
            theApp.driver.Release();
        std::vector<std::wstring> entries;
        int stored = 0;
        WindowScript script;
        script.steps = {[&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            entries = ListEntries(page);
            SelectResolution(page, static_cast<int>(entries.size()) - 1);
            stored = theApp.settings.resolution;
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        }};
        RunScripted(script, PAGE_CUSTOM);
        EXPECT_EQ(entries, c.entries);
        EXPECT_EQ(stored, c.lastResolution);
        theApp.settings.resolution = 300;
    }
}

TEST_F(CustomPageTest, ImageTypeSetByTheHostSurvivesAVisit)
{
    struct Case {
        int mode;
        bool blackWhiteMarked, grayMarked;
    } cases[] = {{MODE_BW, true, false}, {MODE_GRAY, false, true}, {MODE_COLOR, false, false},
                 {MODE_HALFTONE, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        theApp.settings.mode = static_cast<int16_t>(c.mode);
        bool blackWhite = false, gray = false, colorEnabled = true;
        int modeWhileShown = 0;
        WindowScript script;
        script.steps = {[&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            blackWhite = Checked(page, IDC_BLACK_WHITE);
            gray = Checked(page, IDC_GRAY);
            colorEnabled = IsWindowEnabled(GetDlgItem(page, IDC_COLOR));
            modeWhileShown = theApp.settings.mode;
            CurrentPage(sheet, PAGE_INFO);   // leaving the page copies its controls
            PostMessageW(GetDlgItem(CurrentPage(sheet, PAGE_CUSTOM), IDC_SCAN), BM_CLICK, 0, 0);
            return true;
        }};
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_SCAN);
        EXPECT_EQ(blackWhite, c.blackWhiteMarked);
        EXPECT_EQ(gray, c.grayMarked);
        EXPECT_FALSE(colorEnabled);
        EXPECT_EQ(modeWhileShown, c.mode);
        EXPECT_EQ(theApp.settings.mode, c.mode);
    }
}

TEST_F(CustomPageTest, ResetRestoresTheImageSettingsButKeepsTheArea)
{
    theApp.settings.mode = MODE_BW;
    theApp.settings.resolution = 400;
    theApp.settings.inversion = 1;
    theApp.settings.threshold = 10;
    theApp.settings.adjust[2] = ChannelAdjust{30, -40, 20, 200, 5};
    theApp.settings.scanSize = 6;
    theApp.settings.bottom = 220;
    theApp.settings.right = 470;
    theApp.settings.paperSource = 3;
    bool inversionShown = true;
    std::wstring brightnessText;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        SendMessageW(GetDlgItem(page, IDC_RESET), BM_CLICK, 0, 0);
        inversionShown = Checked(page, IDC_INVERT);
        brightnessText = Text(page, IDC_BRIGHTNESS_VALUE);
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }};
    RunScripted(script, PAGE_CUSTOM);
    const ScanSettings& s = theApp.settings;
    EXPECT_EQ(s.mode, MODE_GRAY);
    EXPECT_EQ(s.resolution, 300);
    EXPECT_EQ(s.inversion, 0);
    EXPECT_EQ(s.threshold, 128);
    EXPECT_EQ(s.filterType, 0);
    for (const ChannelAdjust& block : s.adjust) {
        EXPECT_EQ(block.brightness, 0);
        EXPECT_EQ(block.contrast, 0);
        EXPECT_EQ(block.gamma, 10);
        EXPECT_EQ(block.highlight, 255);
        EXPECT_EQ(block.shadow, 0);
    }
    EXPECT_EQ(s.scanSize, 6);
    EXPECT_EQ(s.bottom, 220);
    EXPECT_EQ(s.right, 470);
    EXPECT_EQ(s.paperSource, 3);
    EXPECT_FALSE(inversionShown);
    EXPECT_EQ(brightnessText, L"0%");
}

}  // namespace
