// The settings window run modally under a display, driven from its own message
// loop: paper polling, the results of its commands, what it writes to the
// profile, and pictures of its pages.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "scan/settings_store.h"
#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/source_app.h"
#include "ui/settings_page.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"
#include "window_script.h"

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

namespace {

const char kProfile[] = "kestrel_ui_window_test.INI";

std::string ProfilePath() { return ProfilePathOf(kProfile); }

bool ProfileExists()
{
    return GetFileAttributesA(ProfilePath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

int StoredLanguage()
{
    return static_cast<int>(GetPrivateProfileIntA("MAIN", "Language", -5, kProfile));
}

std::wstring TextOf(int languageId, int number)
{
    wchar_t text[TEXT_BUFFER_SIZE];
    GetTextWide(languageId, number, text, TEXT_BUFFER_SIZE);
    return text;
}

std::wstring ControlText(HWND page, int id)
{
    wchar_t text[128] = L"";
    GetDlgItemTextW(page, id, text, 128);
    return text;
}

// Script step: press the Custom Setting page's Scan button.
ScriptStep PressScan()
{
    return [](HWND sheet) {
        PostMessageW(GetDlgItem(CurrentPage(sheet), IDC_SCAN), BM_CLICK, 0, 0);
        return true;
    };
}

class SettingsWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(driver_.Loaded());
        StartWindowTest(kProfile, driver_.FileName());
        control().isPaperOn = 1;
    }
    void TearDown() override { EndWindowTest(kProfile); }
    TestDriverControl& control() { return driver_.Control(); }

    TestDriverModule driver_{"full"};
    TraceRecorder recorder_;
};

// --- Paper polling -----------------------------------------------------------

TEST_F(SettingsWindowTest, SheetPresentAtOpenIsFedOnlyAfterReinsertion)
{
    int feedsWhilePresent = -1, feedsWhileRemoved = -1, polls = 0;
    WindowScript script;
    script.steps = {
        [&](HWND) {   // the sheet lies in the feeder from the start
            if (CountCalls(control().calls, "IO_IsPaperOn") < 4)
                return false;
            feedsWhilePresent = CountCalls(control().calls, "IO_FeedOn");
            polls = CountCalls(control().calls, "IO_IsPaperOn");
            control().isPaperOn = 0;
            return true;
        },
        [&](HWND) {   // taken out
            if (CountCalls(control().calls, "IO_IsPaperOn") < polls + 4)
                return false;
            feedsWhileRemoved = CountCalls(control().calls, "IO_FeedOn");
            polls = CountCalls(control().calls, "IO_IsPaperOn");
            control().isPaperOn = 1;
            return true;
        },
        [&](HWND sheet) {   // put back, and left there for several polls
            if (CountCalls(control().calls, "IO_IsPaperOn") < polls + 6)
                return false;
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(feedsWhilePresent, 0);
    EXPECT_EQ(feedsWhileRemoved, 0);
    EXPECT_EQ(CountCalls(control().calls, "IO_FeedOn"), 1) << control().calls;
}

TEST(PaperLatch, FeedsOnlyOnTheChangeFromNoPaperToPaper)
{
    bool feed = true;
    EXPECT_EQ(NextPaperLatch(LATCH_UNKNOWN, true, &feed), LATCH_UNKNOWN);
    EXPECT_FALSE(feed);
    EXPECT_EQ(NextPaperLatch(LATCH_UNKNOWN, false, &feed), LATCH_NO_PAPER);
    EXPECT_FALSE(feed);
    EXPECT_EQ(NextPaperLatch(LATCH_NO_PAPER, true, &feed), LATCH_PAPER);
    EXPECT_TRUE(feed);
    EXPECT_EQ(NextPaperLatch(LATCH_PAPER, true, &feed), LATCH_PAPER);
    EXPECT_FALSE(feed);
    EXPECT_EQ(NextPaperLatch(LATCH_PAPER, false, &feed), LATCH_NO_PAPER);
    EXPECT_FALSE(feed);
}

// --- Look of the window --------------------------------------------------------

TEST_F(SettingsWindowTest, SheetButtonsAreHiddenAndTheirRowCutOff)
{
    bool okVisible = true, cancelVisible = true, applyVisible = true;
    LONG bottom = 0, applyTop = -1;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        okVisible = IsWindowVisible(GetDlgItem(sheet, IDOK));
        cancelVisible = IsWindowVisible(GetDlgItem(sheet, IDCANCEL));
        HWND apply = GetDlgItem(sheet, 0x3021);
        applyVisible = IsWindowVisible(apply);
        RECT window, button;
        GetWindowRect(sheet, &window);
        GetWindowRect(apply, &button);
        bottom = window.bottom;
        applyTop = button.top;
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }};
    RunScripted(script, PAGE_CUSTOM);
    EXPECT_FALSE(okVisible);
    EXPECT_FALSE(cancelVisible);
    EXPECT_FALSE(applyVisible);
    EXPECT_EQ(bottom, applyTop);
}

// --- Custom Setting page: Scan, Cancel, close box, Escape, Enter -------------------

TEST_F(SettingsWindowTest, ScanCopiesTheControlsSavesAndEndsWith1000)
{
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        SendMessageW(GetDlgItem(page, IDC_INVERT), BM_CLICK, 0, 0);
        SendMessageW(GetDlgItem(page, IDC_BLACK_WHITE), BM_CLICK, 0, 0);
        PostMessageW(GetDlgItem(page, IDC_SCAN), BM_CLICK, 0, 0);
        return true;
    }};
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_SCAN);
    EXPECT_TRUE(recorder_.Messages().empty());
    EXPECT_EQ(theApp.settings.inversion, 1);
    EXPECT_EQ(theApp.settings.mode, MODE_BW);

    ScanSettings saved = {};
    LoadScanSettings(saved, theApp.driver, kProfile);
    EXPECT_EQ(saved.inversion, 1);
    EXPECT_EQ(saved.resolution, 300);
    // The image type is written for the driver's sake but never read back.
    EXPECT_EQ(GetPrivateProfileIntA(CurrentSetSection(kProfile).c_str(), "scan mode", -1, kProfile),
              static_cast<UINT>(MODE_BW));
}

TEST_F(SettingsWindowTest, ScanWithoutPaperAsksUntilCancelledAndKeepsTheWindowOpen)
{
    control().isPaperOn = 0;
    recorder_.AnswerForMessages() = IDCANCEL;
    bool openAfterScan = false;
    WindowScript script;
    script.steps = {
        PressScan(),
        [&](HWND sheet) {
            openAfterScan = IsWindowVisible(sheet);
            PostMessageW(GetDlgItem(CurrentPage(sheet), IDC_PAGE_CANCEL), BM_CLICK, 0, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
    recorder_.AnswerForMessages() = IDOK;
    EXPECT_TRUE(openAfterScan);
    ASSERT_EQ(recorder_.Messages().size(), 1u);
    EXPECT_EQ(recorder_.Messages()[0].text, GetTextIn(LANGUAGE_ENGLISH, 2));
    EXPECT_EQ(recorder_.Messages()[0].type, static_cast<unsigned>(MB_OKCANCEL));
    EXPECT_FALSE(ProfileExists());
}

TEST_F(SettingsWindowTest, CancelCloseBoxAndEscapeEndWithMinusOneAndWriteNothing)
{
    const char* ways[] = {"Cancel button", "close box", "Escape"};
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(ways[way]);
        WindowScript script;
        script.steps = {[&](HWND sheet) {
            HWND page = CurrentPage(sheet);
            SendMessageW(GetDlgItem(page, IDC_INVERT), BM_CLICK, 0, 0);
            if (way == 0)
                PostMessageW(GetDlgItem(page, IDC_PAGE_CANCEL), BM_CLICK, 0, 0);
            else if (way == 1)
                PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            else
                PressKey(VK_ESCAPE);
            return true;
        }};
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
        EXPECT_FALSE(script.timedOut);
        EXPECT_FALSE(ProfileExists());
    }
    EXPECT_TRUE(recorder_.Messages().empty());
}

TEST_F(SettingsWindowTest, EnterOnTheCustomPageScansAtOnceWithoutPaperPrompts)
{
    control().isPaperOn = 0;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        SendMessageW(GetDlgItem(page, IDC_INVERT), BM_CLICK, 0, 0);
        SetFocus(GetDlgItem(page, IDC_INVERT));
        PressKey(VK_RETURN);
        return true;
    }};
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_SCAN);
    EXPECT_TRUE(recorder_.Messages().empty());
    ScanSettings saved = {};
    LoadScanSettings(saved, theApp.driver, kProfile);
    EXPECT_EQ(saved.inversion, 1);
}

// --- Calibration before a scan ------------------------------------------------------

// Script step: once the calibration dialog is up, press its button `id`.
ScriptStep PressInCalibrationDialog(int id)
{
    return [id](HWND) {
        HWND dialog = CalibrationDialog();
        if (!dialog)
            return false;
        PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
        return true;
    };
}

TEST_F(SettingsWindowTest, ScanCancelledInTheCalibrationDialogLeavesTheWindowOpenAndCopiesNothing)
{
    control().isCalibrationNeeded = 1;
    theApp.settings.filterType = 0;   // copying the controls would make it -1
    std::wstring title;
    bool openAfterwards = false;
    WindowScript script;
    script.steps = {
        PressScan(),
        [&](HWND) {
            HWND dialog = CalibrationDialog();
            if (!dialog)
                return false;
            wchar_t text[128] = L"";
            GetWindowTextW(dialog, text, 128);
            title = text;
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            return true;
        },
        [&](HWND sheet) {
            if (CalibrationDialog())
                return false;
            openAfterwards = IsWindowVisible(sheet);
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(title, TextOf(LANGUAGE_ENGLISH, 23));
    EXPECT_TRUE(openAfterwards);
    EXPECT_EQ(theApp.settings.filterType, 0);
    EXPECT_TRUE(recorder_.Messages().empty());
    EXPECT_EQ(CountCalls(control().calls, "IO_CalibrateScanner"), 0);
}

TEST_F(SettingsWindowTest, ScanAfterCalibrationReportsTheResultAndScans)
{
    control().isCalibrationNeeded = 1;
    theApp.settings.paperSource = 2;
    const int answers[] = {1, 0};
    for (int answer : answers) {
        SCOPED_TRACE(answer);
        control().calibrateScanner = answer;
        control().ClearCalls();
        recorder_.Messages().clear();
        WindowScript script;
        script.steps = {
            PressScan(),
            PressInCalibrationDialog(IDC_CALIB),
        };
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_SCAN);
        EXPECT_EQ(CountCalls(control().calls, "IO_CalibrateScanner"), 1);
        EXPECT_EQ(control().lastCalibrateArgument, 2);
        ASSERT_EQ(recorder_.Messages().size(), 2u);
        const ShownMessage& result = recorder_.Messages()[0];
        EXPECT_EQ(result.text, GetTextIn(LANGUAGE_ENGLISH, answer ? 1 : 3));
        EXPECT_EQ(result.title, GetTextIn(LANGUAGE_ENGLISH, 23));
        EXPECT_EQ(result.type, static_cast<unsigned>(MB_OK | (answer ? MB_ICONINFORMATION : MB_ICONERROR)));
        EXPECT_EQ(recorder_.Messages()[1].text, GetTextIn(LANGUAGE_ENGLISH, 2));
        EXPECT_EQ(recorder_.Messages()[1].type, static_cast<unsigned>(MB_OK));
    }
}

TEST_F(SettingsWindowTest, CancelledPaperPromptOfCalibSkipsTheCalibration)
{
    control().isCalibrationNeeded = 1;
    control().isPaperOn = 0;
    recorder_.AnswerForMessages() = IDCANCEL;
    WindowScript script;
    script.steps = {
        PressScan(),
        PressInCalibrationDialog(IDC_CALIB),
        [&](HWND sheet) {   // the scan's own paper prompt was cancelled too
            if (CalibrationDialog() || recorder_.Messages().size() < 3)
                return false;
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
    recorder_.AnswerForMessages() = IDOK;
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(CountCalls(control().calls, "IO_CalibrateScanner"), 0);
    ASSERT_EQ(recorder_.Messages().size(), 3u);
    EXPECT_EQ(recorder_.Messages()[0].text, GetTextIn(LANGUAGE_ENGLISH, 25));
    EXPECT_EQ(recorder_.Messages()[0].type, static_cast<unsigned>(MB_OKCANCEL));
    EXPECT_EQ(recorder_.Messages()[1].text, GetTextIn(LANGUAGE_ENGLISH, 2));
    EXPECT_EQ(recorder_.Messages()[1].type, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(recorder_.Messages()[2].type, static_cast<unsigned>(MB_OKCANCEL));
}

// --- Information page ------------------------------------------------------------

TEST_F(SettingsWindowTest, EnterOnTheInformationPageIsACodingErrorAndEndsWithZero)
{
    std::wstring model, version;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        model = ControlText(page, IDC_MODEL_VALUE);
        version = ControlText(page, IDC_VERSION_VALUE);
        PressKey(VK_RETURN);
        return true;
    }};
    EXPECT_EQ(RunScripted(script, PAGE_INFO), SETTINGS_RESULT_NOTHING);
    ASSERT_EQ(recorder_.Messages().size(), 1u);
    EXPECT_EQ(recorder_.Messages()[0].text, "coding error #1999081101");
    EXPECT_EQ(recorder_.Messages()[0].type, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(model, L"Zureruri Zedu");
    EXPECT_EQ(version, L"3.00");
    EXPECT_FALSE(ProfileExists());
}

TEST_F(SettingsWindowTest, InformationPageWithoutDriverShowsNotAvailable)
{
    theApp.driver.Release();
    std::wstring model, version;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet);
        model = ControlText(page, IDC_MODEL_VALUE);
        version = ControlText(page, IDC_VERSION_VALUE);
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }};
    EXPECT_EQ(RunScripted(script, PAGE_INFO), SETTINGS_RESULT_CANCEL);
    EXPECT_EQ(model, L"N/A");
    EXPECT_EQ(version, L"??.??");
}

// --- Language page -------------------------------------------------------------

TEST_F(SettingsWindowTest, ClickingALanguagePictureStoresAndReturnsItsLanguage)
{
    const int flags[] = {3, 7, 0};   // Italian, Japanese, English
    for (int n : flags) {
        SCOPED_TRACE(n);
        WindowScript script;
        script.steps = {[&](HWND sheet) {
            ClickCentre(GetDlgItem(CurrentPage(sheet, PAGE_LANGUAGE), IDC_FLAG_FIRST + n));
            return true;
        }};
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), 1210 + n);
        EXPECT_EQ(StoredLanguage(), 1210 + n);
        EXPECT_FALSE(script.timedOut);
    }
}

// Colour of flag n's outline in the middle of its top band (4 pixels above the
// picture, 3 wide), as painted on the page. The pictures of a row may lie so
// close that the side bands of neighbours overlap; nothing lies above the top row.
COLORREF OutlineColour(HWND page, int n)
{
    RECT rect;
    GetWindowRect(GetDlgItem(page, IDC_FLAG_FIRST + n), &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    HDC dc = GetDC(page);
    COLORREF colour = GetPixel(dc, (rect.left + rect.right) / 2, rect.top - 6);
    ReleaseDC(page, dc);
    return colour;
}

void MoveOver(HWND page, int n)
{
    POINT point = {2, 2};
    if (n >= 0) {
        RECT rect;
        GetWindowRect(GetDlgItem(page, IDC_FLAG_FIRST + n), &rect);
        point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ScreenToClient(page, &point);
    }
    SendMessageW(page, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
}

TEST_F(SettingsWindowTest, PointerOverAPictureOutlinesItInRed)
{
    const COLORREF white = RGB(255, 255, 255), red = RGB(255, 0, 0);
    COLORREF before[2] = {}, overEnglish[2] = {}, overSpanish[2] = {}, outside[2] = {};
    int settle = 0;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {   // let the page paint first
            if (++settle < 4)
                return false;
            HWND page = CurrentPage(sheet);
            before[0] = OutlineColour(page, 0), before[1] = OutlineColour(page, 2);
            MoveOver(page, 0);
            overEnglish[0] = OutlineColour(page, 0), overEnglish[1] = OutlineColour(page, 2);
            MoveOver(page, 2);
            overSpanish[0] = OutlineColour(page, 0), overSpanish[1] = OutlineColour(page, 2);
            MoveOver(page, -1);
            outside[0] = OutlineColour(page, 0), outside[1] = OutlineColour(page, 2);
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_LANGUAGE), SETTINGS_RESULT_CANCEL);
    EXPECT_EQ(before[0], white);
    EXPECT_EQ(before[1], white);
    EXPECT_EQ(overEnglish[0], red);
    EXPECT_EQ(overEnglish[1], white);
    EXPECT_EQ(overSpanish[0], white);
    EXPECT_EQ(overSpanish[1], red);
    EXPECT_EQ(outside[0], white);
    EXPECT_EQ(outside[1], white);
}

TEST_F(SettingsWindowTest, ClickBesideThePicturesDoesNothing)
{
    bool stillOpen = false;
    WindowScript script;
    script.steps = {
        [&](HWND sheet) {
            HWND page = CurrentPage(sheet, PAGE_LANGUAGE);
            PostMessageW(page, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            PostMessageW(page, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            return true;
        },
        [&](HWND sheet) {
            stillOpen = IsWindowVisible(sheet);
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        },
    };
    EXPECT_EQ(RunScripted(script, PAGE_LANGUAGE), SETTINGS_RESULT_CANCEL);
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(ProfileExists());
}

TEST_F(SettingsWindowTest, EnterOnTheLanguagePageBeforeAnyClickKeepsTheLanguage)
{
    WritePrivateProfileStringA("MAIN", "Language", "1212", kProfile);
    WindowScript script;
    script.steps = {[&](HWND) {
        PressKey(VK_RETURN);
        return true;
    }};
    EXPECT_EQ(RunScripted(script, PAGE_LANGUAGE), 1212);
    EXPECT_EQ(StoredLanguage(), 1212);
}

TEST_F(SettingsWindowTest, StartPageBeyondTheLastShowsTheLanguagePage)
{
    bool languagePage = false;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        languagePage = GetDlgItem(CurrentPage(sheet), IDC_FLAG_FIRST) != nullptr;
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }};
    RunScripted(script, 3);
    EXPECT_TRUE(languagePage);
}

TEST_F(SettingsWindowTest, TabTitlesFollowTheStoredLanguage)
{
    struct Case {
        const char* stored;   // nullptr: no key
        int expected;
    } cases[] = {{nullptr, 1210}, {"1217", 1217}, {"1215", 1215}, {"999", 1210}, {"1218", 1210}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "no key");
        DeleteFileA(ProfilePath().c_str());
        if (c.stored)
            WritePrivateProfileStringA("MAIN", "Language", c.stored, kProfile);
        std::wstring titles[PAGE_COUNT];
        std::wstring scanButton;
        WindowScript script;
        script.steps = {[&](HWND sheet) {
            for (int i = 0; i < PAGE_COUNT; ++i)
                titles[i] = TabTitle(sheet, i);
            scanButton = ControlText(CurrentPage(sheet), IDC_SCAN);
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        }};
        RunScripted(script, PAGE_CUSTOM);
        EXPECT_EQ(LanguageId, c.expected);
        EXPECT_EQ(titles[PAGE_CUSTOM], TextOf(c.expected, 34));
        EXPECT_EQ(titles[PAGE_INFO], TextOf(c.expected, 27));
        EXPECT_EQ(titles[PAGE_LANGUAGE], TextOf(c.expected, 19));
        EXPECT_EQ(scanButton, TextOf(c.expected, 53));
    }
}

// --- Context help ------------------------------------------------------------------

struct HelpRequest {
    std::string file;
    DWORD topic;
};
std::vector<HelpRequest> g_helpRequests;

void RecordHelp(HWND, const char* file, DWORD topic)
{
    g_helpRequests.push_back({file, topic});
}

// A help request (F1) on `window`, as the platform delivers it.
void AskHelp(HWND window)
{
    HELPINFO info = {};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = GetDlgCtrlID(window);
    info.hItemHandle = window;
    SendMessageW(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
}

TEST_F(SettingsWindowTest, HelpRequestsOpenTheTopicOfTheControlOrOfTheWindow)
{
    strcpy(theApp.helpPath, "C:\\kestrel\\Fenwick.hlp");
    g_helpRequests.clear();
    SetHelpPopupHook(RecordHelp);
    std::vector<DWORD> customTopics;
    size_t afterInfo = 0, afterLanguage = 0;
    WindowScript script;
    script.steps = {[&](HWND sheet) {
        HWND page = CurrentPage(sheet, PAGE_CUSTOM);
        const int controls[] = {IDC_BLACK_WHITE, IDC_GRAY, IDC_RESOLUTION_LIST, IDC_CONTRAST_SLIDER,
                                IDC_BRIGHTNESS_VALUE, IDC_INVERT, IDC_RESET, IDC_SCAN};
        for (int id : controls)
            AskHelp(GetDlgItem(page, id));
        for (const HelpRequest& request : g_helpRequests)
            customTopics.push_back(request.topic);
        g_helpRequests.clear();
        AskHelp(GetDlgItem(CurrentPage(sheet, PAGE_INFO), IDC_MODEL_LABEL));
        afterInfo = g_helpRequests.size();
        AskHelp(GetDlgItem(CurrentPage(sheet, PAGE_LANGUAGE), IDC_FLAG_FIRST));
        afterLanguage = g_helpRequests.size();
        AskHelp(sheet);
        PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
        return true;
    }};
    RunScripted(script, PAGE_CUSTOM);
    SetHelpPopupHook(nullptr);
    theApp.helpPath[0] = 0;

    // The Scan button has no topic.
    EXPECT_EQ(customTopics, (std::vector<DWORD>{17051, 17051, 17052, 17075, 17073, 19063, 17074}));
    EXPECT_EQ(afterInfo, 0u);
    ASSERT_EQ(g_helpRequests.size(), 2u);
    EXPECT_EQ(afterLanguage, 1u);
    EXPECT_EQ(g_helpRequests[0].topic, 17050u);
    EXPECT_EQ(g_helpRequests[1].topic, 17050u);
    EXPECT_EQ(g_helpRequests[0].file, "C:\\kestrel\\Fenwick.hlp");
}

// --- Pictures for a person to look at ---------------------------------------------

TEST_F(SettingsWindowTest, PicturesOfEachPageInEnglishJapaneseAndTraditionalChinese)
{
    const struct {
        const char* stored;
        const char* tag;
    } languages[] = {{"1210", "en"}, {"1217", "ja"}, {"1215", "tw"}};
    for (const auto& language : languages) {
        WritePrivateProfileStringA("MAIN", "Language", language.stored, kProfile);
        bool saved[PAGE_COUNT] = {};
        int settle = 0;
        WindowScript script;
        for (int page = 0; page < PAGE_COUNT; ++page) {
            script.steps.push_back([&, page](HWND sheet) {
                CurrentPage(sheet, page);
                settle = 0;
                return true;
            });
            script.steps.push_back([&, page](HWND sheet) {
                if (++settle < 4)
                    return false;   // let the page paint
                const std::string name = std::string("settings_window_") + language.tag + "_page" +
                                         std::to_string(page) + ".bmp";
                saved[page] = SaveWindowPicture(sheet, name.c_str());
                return true;
            });
        }
        script.steps.push_back([](HWND sheet) {
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        });
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL);
        for (int page = 0; page < PAGE_COUNT; ++page)
            EXPECT_TRUE(saved[page]) << language.tag << " page " << page;
    }
}

// --- Enabling the source with its user interface -------------------------------

int ShownPageIndex(HWND sheet)
{
    return TabCtrl_GetCurSel(reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0)));
}

TEST_F(SettingsWindowTest, EnableRebuildsTheWindowInTheNewLanguageAfterEachSwitch)
{
    std::vector<HWND> sheets;
    std::vector<int> shownPages;
    std::vector<std::wstring> firstTabs;
    // A step acts once on each new window (the old one may still be closing).
    auto onNewWindow = [&](HWND sheet, const std::function<void(HWND)>& act) {
        if (!sheets.empty() && sheets.back() == sheet)
            return false;
        sheets.push_back(sheet);
        shownPages.push_back(ShownPageIndex(sheet));
        firstTabs.push_back(TabTitle(sheet, 0));
        act(sheet);
        return true;
    };
    auto chooseLanguage = [](int n) {
        return [n](HWND sheet) {
            ClickCentre(GetDlgItem(CurrentPage(sheet, PAGE_LANGUAGE), IDC_FLAG_FIRST + n));
        };
    };
    WindowScript script;
    script.steps = {
        [&](HWND sheet) { return onNewWindow(sheet, chooseLanguage(3)); },   // Italian
        [&](HWND sheet) { return onNewWindow(sheet, chooseLanguage(7)); },   // Japanese
        [&](HWND sheet) {
            return onNewWindow(sheet, [](HWND s) {
                PostMessageW(GetDlgItem(CurrentPage(s, PAGE_CUSTOM), IDC_SCAN), BM_CLICK, 0, 0);
            });
        },
    };

    HWND host = CreateWindowA("STATIC", "host", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    theApp.twainState = 4;
    TW_IDENTITY origin = {};
    TW_USERINTERFACE ui = {TRUE, FALSE, host};
    const int rc = RunScriptedWhile(script, [&] {
        return static_cast<int>(DS_Entry(&origin, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    });
    EXPECT_EQ(rc, TWRC_SUCCESS);
    EXPECT_FALSE(script.timedOut);
    EXPECT_EQ(theApp.twainState, 6);
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(shownPages[0], PAGE_CUSTOM);
    EXPECT_EQ(shownPages[1], PAGE_LANGUAGE);   // asked for page 3, beyond the last
    EXPECT_EQ(shownPages[2], PAGE_LANGUAGE);
    EXPECT_EQ(firstTabs[0], TextOf(LANGUAGE_ENGLISH, 34));
    EXPECT_EQ(firstTabs[1], TextOf(LANGUAGE_ITALIAN, 34));
    EXPECT_EQ(firstTabs[2], TextOf(LANGUAGE_JAPANESE, 34));
    EXPECT_EQ(StoredLanguage(), LANGUAGE_JAPANESE);
    EXPECT_EQ(CountCalls(control().calls, "IO_StartScan"), 1);
    MSG ready;
    EXPECT_TRUE(PeekMessageA(&ready, host, WM_KEYUP, WM_KEYUP, PM_REMOVE));
    theApp.twainState = 0;
    DestroyWindow(host);
}

}  // namespace
