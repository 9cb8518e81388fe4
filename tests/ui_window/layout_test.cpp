// Every page and dialog in every interface language shows all of its controls
// inside its window and every text inside its control, whatever fonts the
// machine has; a picture of each is saved for a person to look at.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "layout_check.h"
#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/source_app.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"
#include "ui/settings_resources.h"
#include "ui/settings_sheet.h"
#include "ui/text_table.h"
#include "window_script.h"

namespace {

const char kProfile[] = "kestrel_ui_layout_test.INI";
const char* const kLanguageTags[LANGUAGE_COUNT] = {"en", "fr", "es", "it", "de", "tw", "cn", "ja"};
const char* const kPageNames[PAGE_COUNT] = {"custom", "info", "language"};

// A top-level window lies on the screen, and its controls inside its client area.
void CheckTopLevel(HWND window, const std::string& where, std::vector<std::string>* faults)
{
    RECT rect, screen = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}, inside;
    GetWindowRect(window, &rect);
    IntersectRect(&inside, &rect, &screen);
    if (!EqualRect(&inside, &rect))
        faults->push_back(where + ": the window does not lie on the screen");
    CheckLayout(window, ClientOnScreen(window), where, faults);
}

class LayoutTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(driver_.Loaded());
        StartWindowTest(kProfile, driver_.FileName());
    }
    void TearDown() override { EndWindowTest(kProfile); }

    TestDriverModule driver_{"full"};
    TraceRecorder recorder_;
};

TEST_F(LayoutTest, EveryPageAndDialogShowsItsControlsAndTextsWholeInEveryLanguage)
{
    std::vector<std::string> faults;
    int pictures = 0;
    for (int n = 0; n < LANGUAGE_COUNT; ++n) {
        const int languageId = FIRST_LANGUAGE_ID + n;
        const std::string tag = kLanguageTags[n];
        WritePrivateProfileStringA("MAIN", "Language", std::to_string(languageId).c_str(), kProfile);
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
                const std::string where = tag + " " + kPageNames[page] + " page";
                HWND shown = CurrentPage(sheet);
                // The page inside the window, and its controls inside both.
                CheckLayout(sheet, ClientOnScreen(sheet), where, &faults);
                RECT visible, pageArea = ClientOnScreen(shown), sheetArea = ClientOnScreen(sheet);
                IntersectRect(&visible, &pageArea, &sheetArea);
                CheckLayout(shown, visible, where, &faults);
                pictures += SaveWindowPicture(sheet, ("layout_" + tag + "_" + kPageNames[page] + ".bmp").c_str());
                return true;
            });
        }
        script.steps.push_back([&](HWND sheet) {
            PostMessageW(GetDlgItem(CurrentPage(sheet, PAGE_CUSTOM), IDC_CALIBRATE), BM_CLICK, 0, 0);
            settle = 0;
            return true;
        });
        script.steps.push_back([&](HWND) {
            HWND dialog = CalibrationDialog();
            if (!dialog || ++settle < 4)
                return false;
            CheckTopLevel(dialog, tag + " calibration dialog", &faults);
            pictures += SaveWindowPicture(dialog, ("layout_" + tag + "_calibration.bmp").c_str());
            PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
            return true;
        });
        script.steps.push_back([](HWND sheet) {
            if (CalibrationDialog())
                return false;
            PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        });
        EXPECT_EQ(RunScripted(script, PAGE_CUSTOM), SETTINGS_RESULT_CANCEL) << tag;
        EXPECT_FALSE(script.timedOut) << tag;

        // The progress window of a scan in this language.
        LanguageId = languageId;
        ScanProgressDialog progress(nullptr, IDD_SCAN_PROGRESS, MODE_GRAY, true, 220, 360, 20);
        ASSERT_NE(progress.Window(), nullptr);
        for (int pass = 0; pass < 3; ++pass) {   // the second and third let the controls paint
            progress.update(40, 0, nullptr);
            Sleep(20);
        }
        CheckTopLevel(progress.Window(), tag + " progress window", &faults);
        pictures += SaveWindowPicture(progress.Window(), ("layout_" + tag + "_progress.bmp").c_str());
    }
    EXPECT_EQ(pictures, LANGUAGE_COUNT * (PAGE_COUNT + 2));
    std::string all;
    for (const std::string& fault : faults)
        all += fault + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " faults:\n" << all;
}

}  // namespace
