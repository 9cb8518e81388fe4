// Hostile profiles ("Fenwick.INI"): values out of range, text for numbers, huge and
// negative numbers, missing sections, a set that does not exist, driver names that
// are folders or too long, a read-only, a locked profile and a profile that is a
// folder. Each source opens with clamped or default settings and delivers an image
// whose size follows from them, or refuses the open with its message; never a crash,
// never a driver page left open.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "support/test_driver_module.h"
#include "twain/source_app.h"
#include "twain/transfer_state.h"
#include "ui/message_box.h"

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

namespace {

std::vector<std::string> g_boxes;

int RecordBox(HWND, const char* text, const char*, UINT)
{
    g_boxes.push_back(text);
    return IDOK;
}

std::string ProfilePath()
{
    char path[MAX_PATH];
    GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\Fenwick.INI";
}

void RemoveProfile()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
    const std::string path = ProfilePath();
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(path.c_str());
}

void WriteProfile(const std::string& text)
{
    RemoveProfile();
    HANDLE f = CreateFileA(ProfilePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(f);
}

const char kDriver[] = "[Drivers]\r\nDriver00=testdrv_full.dll\r\n";

enum class Setup { Text, ReadOnly, Locked, Folder };

struct Case {
    const char* what;
    Setup setup;
    std::string profile;
    bool opens;       // false: refused, unless the fallback driver (plover.dll) is there
    // Expected settings after the open (when it opens): resolution and area.
    int resolution, left, top, right, bottom;
};

}  // namespace

TEST(HostileProfile, ClampedDefaultedOrRefusedNeverACrash)
{
    TestDriverModule driver("full");
    ASSERT_TRUE(driver.Loaded());
    SetMessageBoxHook(RecordBox);
    const std::string set = "[Scan Settings]\r\nCurrent Setting=Mine\r\n[Mine_SET]\r\n";
    const std::string longName(300, 'x');
    const std::vector<Case> cases = {
        {"numbers out of range", Setup::Text,
         std::string(kDriver) + set + "resolution=9999\r\nLeft=-40\r\nTop=400\r\nRight=221\r\n"
         "Bottom=100\r\nA_gamma=0\r\nThreshold=256\r\nChannel=9\r\n",
         true, 300, 0, 0, 220, 100},
        {"text where numbers belong", Setup::Text,
         std::string(kDriver) + set + "resolution=abc\r\nLeft=1O\r\nTop= \r\nRight=0x40\r\n"
         "Bottom=1e2\r\nA_bright=--5\r\n",
         true, 300, 0, 0, 220, 360},
        {"huge and negative numbers", Setup::Text,
         std::string(kDriver) + set + "resolution=-150\r\nLeft=99999999999999999999\r\n"
         "Right=-32769\r\nBottom=32768\r\nTop=-0\r\nA_shadow=-1\r\n",
         true, 300, 0, 0, 220, 360},
        {"an area of nothing", Setup::Text,
         std::string(kDriver) + set + "resolution=100\r\nLeft=200\r\nRight=100\r\nTop=50\r\n"
         "Bottom=60\r\n",
         true, 100, 0, 0, 220, 360},
        {"no settings sections", Setup::Text, kDriver, true, 300, 0, 0, 220, 360},
        {"a set that does not exist", Setup::Text,
         std::string(kDriver) + "[Scan Settings]\r\nCurrent Setting=" + longName + "\r\n", true, 300, 0,
         0, 220, 360},
        {"driver names that are a folder or too long", Setup::Text,
         "[Drivers]\r\nDriver00=C:\\windows\r\nDriver01=" + longName +
             "\r\nDriver02=\r\nDriver03=testdrv_full.dll\r\n",
         true, 300, 0, 0, 220, 360},
        {"read-only profile", Setup::ReadOnly,
         "[Drivers]\r\nDriver00=nothing.dll\r\nDriver01=testdrv_full.dll\r\n" + set +
             "resolution=150\r\n",
         true, 150, 0, 0, 220, 360},
        {"locked profile", Setup::Locked, std::string(kDriver) + set + "resolution=150\r\n", true,
         150, 0, 0, 220, 360},
        {"drivers that are not there", Setup::Text,
         "[Drivers]\r\nDriver00=nothing.dll\r\nDriver01=missing.dll\r\n" + set, false, 0, 0, 0,
         0, 0},
        {"profile that is a folder", Setup::Folder, "", false, 0, 0, 0, 0, 0},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_boxes.clear();
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (c.setup == Setup::Folder) {
            RemoveProfile();
            ASSERT_TRUE(CreateDirectoryA(ProfilePath().c_str(), nullptr));
        } else {
            WriteProfile(c.profile);
        }
        if (c.setup == Setup::ReadOnly)
            SetFileAttributesA(ProfilePath().c_str(), FILE_ATTRIBUTE_READONLY);
        if (c.setup == Setup::Locked)  // others may read, nobody may write
            lock = CreateFileA(ProfilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const int pagesBefore = driver.Control().pagesStarted;

        theApp.twainState = 3;
        theApp.conditionCode = TWCC_SUCCESS;
        theApp.showIndicators = 0;
        theTransfer = TransferState{};
        TW_IDENTITY host = {};
        strcpy(host.ProductName, "Profile Host");
        TW_IDENTITY source = {};
        strcpy(source.ProductName, "Zureruri Zedu");
        const TW_UINT16 opened = DS_Entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source);
        if (!c.opens) {
            // Nothing named can be read: the source tries its fallback driver, which a
            // build tree may hold, and refuses with its message when that is not there.
            if (opened == TWRC_FAILURE) {
                ASSERT_EQ(g_boxes.size(), 1u);
                EXPECT_EQ(g_boxes[0], "load dll failure!");
            }
        } else {
            ASSERT_EQ(opened, TWRC_SUCCESS);
            theApp.showIndicators = 0;
            const ScanSettings& s = theApp.settings;
            EXPECT_EQ(s.resolution, c.resolution);
            EXPECT_EQ(s.left, c.left);
            EXPECT_EQ(s.top, c.top);
            EXPECT_EQ(s.right, c.right);
            EXPECT_EQ(s.bottom, c.bottom);
            EXPECT_GE(s.adjust[0].gamma, 1);
            EXPECT_LE(s.threshold, 255);

            // A whole memory image of the settings read: as many rows as the area holds.
            TW_USERINTERFACE ui = {FALSE, FALSE, nullptr};
            ASSERT_EQ(DS_Entry(&host, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
            std::vector<unsigned char> buffer(200000);
            TW_IMAGEMEMXFER xfer = {};
            xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, TW_UINT32(buffer.size()), buffer.data()};
            TW_UINT32 rows = 0;
            TW_UINT16 rc = TWRC_SUCCESS;
            for (int strip = 0; strip < 100 && rc == TWRC_SUCCESS; ++strip) {
                rc = DS_Entry(&host, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
                rows += xfer.Rows;
            }
            EXPECT_EQ(rc, TWRC_XFERDONE);
            EXPECT_EQ(rows, TW_UINT32((c.bottom - c.top) * c.resolution / 100));
            EXPECT_EQ(xfer.Columns, TW_UINT32((c.right - c.left) * c.resolution / 100));
            TW_PENDINGXFERS pending = {};
            DS_Entry(&host, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
            DS_Entry(&host, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
            EXPECT_TRUE(g_boxes.empty()) << g_boxes.front();
        }
        DS_Entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr);
        EXPECT_EQ(driver.Control().pagesStarted - pagesBefore,
                  driver.Control().pagesEnded - pagesBefore);
        EXPECT_EQ(driver.Control().pagesStarted, driver.Control().pagesEnded);
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
    }
    SetMessageBoxHook(nullptr);
    for (int tries = 0; tries < 20 && GetFileAttributesA(ProfilePath().c_str()) != INVALID_FILE_ATTRIBUTES; ++tries) {
        RemoveProfile();
        Sleep(50);
    }
    EXPECT_EQ(GetFileAttributesA(ProfilePath().c_str()), INVALID_FILE_ATTRIBUTES)
        << "the profile (or the folder in its place) is left behind";
}
