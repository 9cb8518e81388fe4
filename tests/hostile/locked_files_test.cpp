// Calibration files held open by another process without sharing (a Win32 share
// mode; POSIX has no such lock): plover's shading tables are refused, so the page is
// the page of neutral tables, and wren's record is refused like a damaged one.
// The other damaged files: plover_bad_files_test and wren_bad_record_test (native).
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <string>
#include <vector>

#include "config.h"
#include "plover/plover_pages.h"
#include "scansim.h"
#include "shading.h"
#include "win32_module.h"
#include "wren/wren_module.h"

using namespace plovertest;

namespace {

std::string DriverFilePath(const char* name) { return plover::DriverFilePath(PloverPlatform().platform, name); }
std::string ConfigFilePath() { return plover::ConfigFilePath(PloverPlatform().platform); }
bool EnsureDriverFolder() { return plover::EnsureDriverFolder(PloverPlatform().platform); }

const char* const kDriverFiles[] = {"plover.ini", "DadaVorG.oft", "DadaVorG.gan", "DadaVor.oft"};

std::string Kept(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\plover_hostile_kept_" + name;
}

int CountBox(const char*, const char*, unsigned) { return IDOK; }

void RemoveFile(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    RemoveDirectoryA(path.c_str());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Opens `path` for reading and writing with no sharing, as another process may.
HANDLE HoldWithoutSharing(const std::string& path)
{
    return CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

class PloverLockedFiles : public ::testing::Test {
protected:
    // The prefix's configuration and calibration are set aside for the suite.
    static void SetUpTestSuite()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, ConfigFilePath().c_str());
        for (const char* f : kDriverFiles)
            MoveFileExA(DriverFilePath(f).c_str(), Kept(f).c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    static void TearDownTestSuite()
    {
        for (const char* f : kDriverFiles) {
            RemoveFile(DriverFilePath(f));
            EnsureDriverFolder();
            MoveFileExA(Kept(f).c_str(), DriverFilePath(f).c_str(), MOVEFILE_REPLACE_EXISTING);
        }
    }
    void SetUp() override
    {
        PloverPlatform().messageHook = CountBox;
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
            RemoveFile(DriverFilePath(f));
        EnsureDriverFolder();
    }
};

}  // namespace

TEST_F(PloverLockedFiles, ShadingFilesHeldByAnotherProcessGiveThePageOfNeutralTables)
{
    const std::vector<uint8_t> neutral = ScanFiducialPage(PloverModule());
    ASSERT_FALSE(neutral.empty());
    for (const char* file : {"DadaVorG.oft", "DadaVorG.gan"}) {
        SCOPED_TRACE(file);
        WriteBytes(DriverFilePath(file), Garbage(size_t(plover::SHADING_WORDS) * 2));
        HANDLE lock = HoldWithoutSharing(DriverFilePath(file));
        const std::vector<uint8_t> page = ScanFiducialPage(PloverModule());
        if (lock != INVALID_HANDLE_VALUE)
            CloseHandle(lock);
        ASSERT_EQ(page.size(), neutral.size());
        EXPECT_LT(MeanDifference(page, neutral), 1.0) << "the page used the locked table";
        RemoveFile(DriverFilePath(file));
    }
}

TEST(WrenLockedRecord, ARecordHeldByAnotherProcessIsRefusedAndThePageUsesTheDefaults)
{
    using namespace wrentest;
    WrenModule wren;
    ASSERT_TRUE(wren.Loaded());
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    RemoveFile(CalibrationFile());
    const std::string defaults = RegisterImageOfAPage(wren);
    ASSERT_GT(defaults.size(), 100u) << defaults;

    WriteBytes(CalibrationFile(), RecordGarbage(16240, true));
    HANDLE lock = HoldWithoutSharing(CalibrationFile());
    EXPECT_EQ(1, wren.NeedCalibration(3650));
    EXPECT_EQ(defaults, RegisterImageOfAPage(wren)) << "the page used the locked record";
    ExpectCalibrationFailsKeepingTheSheet(wren);
    if (lock != INVALID_HANDLE_VALUE)
        CloseHandle(lock);
    RemoveFile(CalibrationFile());
}
