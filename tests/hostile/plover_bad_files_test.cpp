// plover with a hostile configuration file ("plover.ini") and damaged shading
// files, against the simulated CCD scanner: each value is used, clamped or
// ignored, each damaged file refused; the page scans to its end, and a page made
// after a refused file is the page made with neutral tables (no file at all).
// (A file held open by another process is a Windows case: locked_files_test.)
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "driver_functions.h"
#include "module.h"
#include "plover/plover_pages.h"
#include "scansim.h"
#include "shading.h"
#include "support/sim_platform.h"

using plover::SHADING_WORDS;
using namespace plovertest;

namespace {

// One platform and one driver state for the whole program, as a loaded module has.
platform::Platform& Os()
{
    static simtest::SimulatedPlatform os("plover_bad_files_test");
    return os.Os();
}
plover::PloverState& Module()
{
    static plover::PloverState state;
    return state;
}

std::string DriverFilePath(const char* name) { return plover::DriverFilePath(Os(), name); }
std::string ConfigFilePath() { return plover::ConfigFilePath(Os()); }
bool EnsureDriverFolder() { return plover::EnsureDriverFolder(Os()); }

const char* const kDriverFiles[] = {"plover.ini", "DadaVorG.oft", "DadaVorG.gan", "DadaVor.oft"};

void RemoveDriverFile(const char* name)
{
    const std::string path = DriverFilePath(name);
    unlink(path.c_str());
    rmdir(path.c_str());
}

void WriteBytes(const char* name, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(DriverFilePath(name), std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void SetKey(const char* section, const char* key, const char* value)
{
    Os().settings.write(Os().settings.context, ConfigFilePath().c_str(), section, key, value);
}

class PloverBadFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        scansim_reset();
        scansim_attach(0, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD);
        plover::Load(Module(), &Os());
        Clean();
    }
    void TearDown() override
    {
        plover::Unload(Module());
        Clean();
        scansim_reset();
    }
    static void Clean()
    {
        for (const char* f : kDriverFiles)
            RemoveDriverFile(f);
        EnsureDriverFolder();
    }
    static std::vector<uint8_t> ScanPage() { return ScanFiducialPage(Module()); }
};

}  // namespace

// Damaged shading files: too short, too long, empty, a folder, a pipe. Each is
// refused, and the page is the page made without any file.
TEST_F(PloverBadFiles, DamagedShadingFilesGiveThePageOfNeutralTables)
{
    const std::vector<uint8_t> neutral = ScanPage();
    ASSERT_FALSE(neutral.empty());
    const double noise = MeanDifference(ScanPage(), neutral);
    ASSERT_LT(noise, 1.0) << "the same card scans alike";
    const size_t tableBytes = size_t(SHADING_WORDS) * 2;
    {
        // A table of the right size is used as it is: the page shows it.
        WriteBytes("DadaVorG.gan", Garbage(tableBytes));
        const double used = MeanDifference(ScanPage(), neutral);
        RemoveDriverFile("DadaVorG.gan");
        ASSERT_GT(used, 10 * noise + 5) << "a table that is used changes the page";
    }
    struct Damage {
        const char* what;
        size_t bytes;       // garbage of this size, or
        bool folder, pipe;
    } const damages[] = {
        {"short", tableBytes - 2, false, false},
        {"long", tableBytes + 2, false, false},
        {"empty", 0, false, false},
        {"three times long", 3 * tableBytes + 6, false, false},
        {"a folder", 0, true, false},
        {"a pipe", 0, false, true},
    };
    for (const char* file : {"DadaVorG.oft", "DadaVorG.gan"}) {
        for (const Damage& d : damages) {
            SCOPED_TRACE(std::string(file) + ": " + d.what);
            RemoveDriverFile(file);
            if (d.folder)
                ASSERT_EQ(mkdir(DriverFilePath(file).c_str(), 0755), 0);
            else if (d.pipe)
                ASSERT_EQ(mkfifo(DriverFilePath(file).c_str(), 0644), 0);
            else
                WriteBytes(file, Garbage(d.bytes));
            const std::vector<uint8_t> page = ScanPage();
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
        SetKey("Main", "FeedOn Time Delay", "0");
        SetKey("Main", "FeedOn Time", "0");
        SetKey(e.section, e.key, e.value);

        // On a thread of its own, so that a feed that never ends fails the test
        // instead of holding it.
        std::packaged_task<int()> feed([] { return plover::FeedOn(Module()); });
        std::future<int> fed = feed.get_future();
        std::thread(std::move(feed)).detach();
        ASSERT_EQ(fed.wait_for(std::chrono::seconds(30)), std::future_status::ready) << "IO_FeedOn does not return";

        const std::vector<uint8_t> page = ScanPage();
        EXPECT_FALSE(page.empty()) << "the page did not scan to its end";
    }
    // A pipe in the configuration file's place reads as no file.
    Clean();
    ASSERT_EQ(mkfifo(ConfigFilePath().c_str(), 0644), 0);
    EXPECT_FALSE(ScanPage().empty()) << "the page did not scan to its end";
}
