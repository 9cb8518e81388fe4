// plover with a hostile configuration file ("plover.ini") and damaged shading
// files, against the simulated CCD scanner: each value is used, clamped or
// ignored, each damaged file refused; the page scans to its end, and a page made
// after a refused file is the page made with neutral tables (no file at all).
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "config.h"
#include "driver_state.h"
#include "messages.h"
#include "scansim.h"
#include "shading.h"

extern "C" {
int IO_FeedOn(void);
int IO_StartScanPage(ScanSettings*, int*, int*);
short IO_GetImageBlock(unsigned char*, short, ScanSettings*, int, int);
int IO_EndScanPage(void);
int IO_ResolutionInfo(short*, short*, short*);
}

namespace {

const char* const kDriverFiles[] = {"plover.ini", "DadaVorG.oft", "DadaVorG.gan", "DadaVor.oft"};

std::string Kept(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\plover_hostile_kept_" + name;
}

int CountBox(const char*, const char*, UINT) { return IDOK; }

void RemoveDriverFile(const char* name)
{
    const std::string path = DriverFilePath(name);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(path.c_str());
}

void WriteBytes(const char* name, const std::vector<uint8_t>& bytes)
{
    HANDLE f = CreateFileA(DriverFilePath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD put = 0;
    if (!bytes.empty())
        WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr);
    CloseHandle(f);
}

class PloverBadFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        BuildConfigPaths();
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, ConfigFilePath().c_str());
        for (const char* f : kDriverFiles)
            MoveFileExA(DriverFilePath(f).c_str(), Kept(f).c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    static void TearDownTestSuite()
    {
        for (const char* f : kDriverFiles) {
            RemoveDriverFile(f);
            EnsureDriverFolder();
            MoveFileExA(Kept(f).c_str(), DriverFilePath(f).c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    void SetUp() override
    {
        SetPloverMessageHook(CountBox);
        scansim_reset();
        scansim_attach(0, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD);
        PloverModuleLoad();
        Clean();
    }
    void TearDown() override
    {
        PloverModuleUnload();
        Clean();
        scansim_reset();
    }
    static void Clean()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, ConfigFilePath().c_str());
        for (const char* f : kDriverFiles)
            RemoveDriverFile(f);
        EnsureDriverFolder();
    }

    // A whole 150-dpi gray page of the fiducial card; empty when the page failed.
    static std::vector<uint8_t> ScanPage()
    {
        scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
        ScanSettings s = {};
        s.mode = MODE_GRAY;
        s.resolution = 150;
        s.adjust[0].gamma = 10;
        s.adjust[0].highlight = 255;
        s.right = 220;
        s.bottom = 360;
        int w = 0, h = 0;
        if (IO_StartScanPage(&s, &w, &h) != 1 || w <= 0 || h <= 0)
            return {};
        const int lineBytes = (w + 3) / 4 * 4;
        std::vector<uint8_t> page(size_t(lineBytes) * h);
        int lines = 0;
        while (lines < h) {
            const short got = IO_GetImageBlock(page.data() + size_t(lines) * lineBytes,
                                               short(std::min(64, h - lines)), &s, w, h);
            if (got == -5)
                break;
            if (got <= 0) {
                page.clear();
                break;
            }
            lines += got;
        }
        IO_EndScanPage();
        return page;
    }
};

// Mean absolute difference of two pages of one card (the sensor adds a little noise).
double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    if (a.size() != b.size() || a.empty())
        return 1e9;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

DWORD WINAPI FeedOnThread(void*)
{
    return DWORD(IO_FeedOn());
}

}  // namespace

// Damaged shading files: too short, too long, empty, a folder, locked by another
// process. Each is refused, and the page is the page made without any file.
TEST_F(PloverBadFiles, DamagedShadingFilesGiveThePageOfNeutralTables)
{
    const std::vector<uint8_t> neutral = ScanPage();
    ASSERT_FALSE(neutral.empty());
    const double noise = MeanDifference(ScanPage(), neutral);
    ASSERT_LT(noise, 1.0) << "the same card scans alike";
    const size_t tableBytes = size_t(SHADING_WORDS) * 2;
    {
        // A table of the right size is used as it is: the page shows it.
        std::vector<uint8_t> table(tableBytes);
        for (size_t i = 0; i < table.size(); ++i)
            table[i] = uint8_t(i * 37 + 11);
        WriteBytes("DadaVorG.gan", table);
        const double used = MeanDifference(ScanPage(), neutral);
        RemoveDriverFile("DadaVorG.gan");
        ASSERT_GT(used, 10 * noise + 5) << "a table that is used changes the page";
    }
    struct Damage {
        const char* what;
        size_t bytes;       // garbage of this size, or
        bool folder, locked;
    } const damages[] = {
        {"short", tableBytes - 2, false, false},
        {"long", tableBytes + 2, false, false},
        {"empty", 0, false, false},
        {"three times long", 3 * tableBytes + 6, false, false},
        {"a folder", 0, true, false},
        {"locked", tableBytes, false, true},
    };
    for (const char* file : {"DadaVorG.oft", "DadaVorG.gan"}) {
        for (const Damage& d : damages) {
            SCOPED_TRACE(std::string(file) + ": " + d.what);
            RemoveDriverFile(file);
            HANDLE lock = INVALID_HANDLE_VALUE;
            if (d.folder) {
                ASSERT_TRUE(CreateDirectoryA(DriverFilePath(file).c_str(), nullptr));
            } else {
                std::vector<uint8_t> garbage(d.bytes);
                for (size_t i = 0; i < garbage.size(); ++i)
                    garbage[i] = uint8_t(i * 37 + 11);
                WriteBytes(file, garbage);
            }
            if (d.locked)
                lock = CreateFileA(DriverFilePath(file).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            const std::vector<uint8_t> page = ScanPage();
            if (lock != INVALID_HANDLE_VALUE)
                CloseHandle(lock);
            ASSERT_EQ(page.size(), neutral.size());
            EXPECT_LT(MeanDifference(page, neutral), 1.0) << "the page used the damaged table";
            RemoveDriverFile(file);
        }
    }
}

// Hostile configuration values: every page still scans to its end, the feed
// pauses stay bounded, and the resolution range stays a range.
TEST_F(PloverBadFiles, HostileConfigurationValuesNeverHangOrCrash)
{
    struct Entry {
        const char* section;
        const char* key;
        const char* value;
    } const entries[] = {
        {"Main", "FeedOn Time Delay", "-1"},
        {"Main", "FeedOn Time", "4294967295"},
        {"Main", "FeedOn Speed", "abc"},
        {"Main", "MCLK", "0"},
        {"Main", "SRAM Size", "-7"},
        {"Main", "Fast Step Size", "99999999999"},
        {"Main", "Preview Res", "-300"},
        {"LedTime Z3", "Tgt", "text"},
        {"Shadding", "Line Gain R", "-1"},
        {"Motor Setting", "StepsToScanAfterPS2", "-420"},
        {"Gamma", "Gx0", "abc"},
        {"Gamma", "Gy2", "99999999999"},
        {"Gamma", "Gx3", "-2147483648"},
        {"Gamma", "Gx4", "1e308"},
        {"Test", "QX", "7"},
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(std::string(e.key) + "=" + e.value);
        Clean();
        // Short feed pauses keep the test quick; the entry may replace them.
        WritePrivateProfileStringA("Main", "FeedOn Time Delay", "0", ConfigFilePath().c_str());
        WritePrivateProfileStringA("Main", "FeedOn Time", "0", ConfigFilePath().c_str());
        WritePrivateProfileStringA(e.section, e.key, e.value, ConfigFilePath().c_str());

        // On a thread of its own, so that a feed that never ends fails the test
        // instead of holding it.
        HANDLE feed = CreateThread(nullptr, 0, FeedOnThread, nullptr, 0, nullptr);
        const DWORD waited = WaitForSingleObject(feed, 30000);
        CloseHandle(feed);
        ASSERT_EQ(waited, WAIT_OBJECT_0) << "IO_FeedOn does not return";

        const std::vector<uint8_t> page = ScanPage();
        EXPECT_FALSE(page.empty()) << "the page did not scan to its end";
    }
}
