// kestrel behind the TWAIN Working Group's Source Manager, installed as a user
// installs it: the source in the Windows directory's TWAIN folder, the driver
// where a bare-name LoadLibrary finds it, and twscan as the host, run as its own
// process. The settings window is worked through SendInput like a user's mouse.
#include <gtest/gtest.h>

#include <windows.h>
#include <prsht.h>

#include <string>

#include "support/architecture.h"
#include "support/bmp_reader.h"
#include "support/test_driver_module.h"
#include "support/user_input.h"
#include "ui/settings_resources.h"

namespace {

const char kSourceFolder[] = "kestrel";   // where the demo installs it too
const char kDriver[] = "testdrv_full.dll";
const DWORD kRunLimitMs = 60000;

std::string Folder(UINT (WINAPI *get)(LPSTR, UINT))
{
    char folder[MAX_PATH];
    get(folder, MAX_PATH);
    return folder;
}

std::string BesideTest(const char* name)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1) + name;
}

struct ProcessEnd {
    bool finished = false;
    DWORD exitCode = 0;
};

class SourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The vendored manager of this architecture, beside the repository (../shared).
        manager_ = architecture::VendoredManager(KESTREL_SHARED_DIR);
        if (GetFileAttributesA(manager_.c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "the vendored Source Manager is not at " << manager_
                         << " (CI puts shared/ beside the repository)";
        const std::string windows = Folder(GetWindowsDirectoryA);
        const std::string twain = windows + "\\" + architecture::kTwainFolder;
        sourceFolder_ = twain + "\\" + kSourceFolder;
        CreateDirectoryA(twain.c_str(), nullptr);
        CreateDirectoryA(sourceFolder_.c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(BesideTest("kestrel.ds").c_str(), (sourceFolder_ + "\\kestrel.ds").c_str(), FALSE));
        // The source loads its driver by bare name: system32 is on that search path,
        // the source's own folder is not.
        installedDriver_ = Folder(GetSystemDirectoryA) + "\\" + kDriver;
        ASSERT_TRUE(CopyFileA(BesideTest(kDriver).c_str(), installedDriver_.c_str(), FALSE));
        profile_ = windows + "\\Fenwick.INI";
        DeleteFileA(profile_.c_str());
        WritePrivateProfileStringA("Drivers", "Driver00", kDriver, "Fenwick.INI");
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        output_ = std::string(temp) + "twaindsm_test.bmp";
        DeleteFileA(output_.c_str());
    }
    void TearDown() override
    {
        if (sourceFolder_.empty())
            return;
        DeleteFileA((sourceFolder_ + "\\kestrel.ds").c_str());
        RemoveDirectoryA(sourceFolder_.c_str());
        DeleteFileA(installedDriver_.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
        DeleteFileA(profile_.c_str());
        DeleteFileA(output_.c_str());
    }

    // Starts twscan with `arguments` through the Source Manager.
    bool Start(const std::string& arguments, PROCESS_INFORMATION* process)
    {
        std::string command = "\"" + BesideTest("twscan.exe") + "\" --dsm \"" + manager_ + "\" --quiet --out \"" +
                              output_ + "\" " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        DeleteFileA(output_.c_str());
        return CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, process) != 0;
    }

    ProcessEnd Finish(PROCESS_INFORMATION& process)
    {
        ProcessEnd run;
        if (WaitForSingleObject(process.hProcess, kRunLimitMs) == WAIT_OBJECT_0) {
            run.finished = true;
            GetExitCodeProcess(process.hProcess, &run.exitCode);
        } else {
            TerminateProcess(process.hProcess, 99);
            WaitForSingleObject(process.hProcess, 5000);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return run;
    }

    ProcessEnd Scan(const std::string& arguments)
    {
        PROCESS_INFORMATION process = {};
        if (!Start(arguments, &process)) {
            ADD_FAILURE() << "twscan did not start";
            return ProcessEnd{};
        }
        return Finish(process);
    }

    // The written image is the page the driver served, pixel for pixel.
    void ExpectServedPage(int mode, int width, int height)
    {
        DecodedBmp bmp = DecodeBmpFile(output_);
        ASSERT_TRUE(bmp.ok) << bmp.error;
        ASSERT_EQ(bmp.width, width);
        ASSERT_EQ(bmp.height, height);
        EXPECT_EQ(bmp.bitsPerPixel, mode == MODE_BW ? 1 : 8);
        int mismatches = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint8_t served = TestPagePixel(mode, x, y, 0);
                if (bmp.Red(x, y) != served || bmp.Green(x, y) != served || bmp.Blue(x, y) != served) {
                    if (++mismatches <= 3)
                        ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(bmp.Red(x, y))
                                      << ", served " << int(served);
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    std::string manager_, sourceFolder_, installedDriver_, profile_, output_;
};

TEST_F(SourceManagerTest, EveryTransferMechanismDeliversTheServedPage)
{
    const char* const area = " --pixel gray --dpi 100 --area 0,0,1.0,0.6";
    const struct {
        const char* mechanism;
        const char* useAppId;   // TWAINDSM_USEAPPID: nullptr leaves it unset
    } runs[] = {
        {"native", nullptr}, {"file", nullptr}, {"memory", nullptr}, {"memory", "0"}, {"native", "1"},
    };
    for (const auto& r : runs) {
        SCOPED_TRACE(testing::Message() << r.mechanism << " TWAINDSM_USEAPPID="
                                        << (r.useAppId ? r.useAppId : "(unset)"));
        SetEnvironmentVariableA("TWAINDSM_USEAPPID", r.useAppId);
        const ProcessEnd run = Scan(std::string("--mech ") + r.mechanism + area);
        SetEnvironmentVariableA("TWAINDSM_USEAPPID", nullptr);
        ASSERT_TRUE(run.finished);
        ASSERT_EQ(run.exitCode, 0u);
        ExpectServedPage(MODE_GRAY, 100, 60);
    }
}

struct SheetSearch {
    DWORD processId;
    HWND sheet;
};

BOOL CALLBACK FindSheet(HWND window, LPARAM context)
{
    SheetSearch& s = *reinterpret_cast<SheetSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t title[64] = L"";
    GetWindowTextW(window, title, 64);
    if (owner == s.processId && IsWindowVisible(window) && wcscmp(title, L"Zureruri Zedu") == 0) {
        s.sheet = window;
        return FALSE;
    }
    return TRUE;
}

// The settings window of the twscan process, once its Custom Setting page is up.
HWND SettingsPage(DWORD processId, HWND* sheetOut)
{
    SheetSearch search = {processId, nullptr};
    EnumWindows(FindSheet, reinterpret_cast<LPARAM>(&search));
    if (!search.sheet)
        return nullptr;
    *sheetOut = search.sheet;
    HWND page = reinterpret_cast<HWND>(SendMessageW(search.sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    return page && GetDlgItem(page, IDC_SCAN) ? page : nullptr;
}

TEST_F(SourceManagerTest, BlackWhiteThenScanInTheSettingsWindowGivesABlackAndWhiteImage)
{
    // 150 dpi is not one of the resolution list's values: the page must still
    // answer the pointer, and the scan must keep the host's resolution.
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(Start("--ui --mech native --pixel gray --dpi 150 --area 0,0,1.0,0.6", &process));
    HWND sheet = nullptr, page = nullptr;
    for (DWORD waited = 0; !page && waited < kRunLimitMs; waited += 100) {
        Sleep(100);
        page = SettingsPage(process.dwProcessId, &sheet);
    }
    if (page) {
        Sleep(300);   // let the window settle and paint
        EXPECT_TRUE(user_input::Click(GetDlgItem(page, IDC_BLACK_WHITE)));
        for (int i = 0; i < 50 && IsDlgButtonChecked(page, IDC_BLACK_WHITE) != BST_CHECKED; ++i)
            Sleep(20);
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_BLACK_WHITE), static_cast<UINT>(BST_CHECKED));
        EXPECT_TRUE(user_input::Click(GetDlgItem(page, IDC_SCAN)));
    }
    const ProcessEnd run = Finish(process);
    ASSERT_NE(page, nullptr) << "the settings window did not appear";
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.exitCode, 0u);
    ExpectServedPage(MODE_BW, 150, 90);
}

}  // namespace
