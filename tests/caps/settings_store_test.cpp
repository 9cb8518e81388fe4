// Loading and saving the live settings record, and the standard page sizes.
#include "caps_fixture.h"

#include <vector>

#include "scan/settings_store.h"
#include "support/test_driver_module.h"

namespace {

const char kProfile[] = "CapsStore.INI";
const char kSet[] = "Untitle_SET";

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { caps::RemoveProfile(kProfile); }
    void TearDown() override
    {
        driver.module = nullptr;  // owned by the TestDriverModule
        caps::RemoveProfile(kProfile);
    }

    // A record holding a value in every word, so that a load shows what it replaced.
    static ScanSettings Scribbled()
    {
        ScanSettings settings;
        int16_t* words = reinterpret_cast<int16_t*>(&settings);
        for (int i = 0; i < 43; ++i)
            words[i] = static_cast<int16_t>(7000 + i);
        return settings;
    }

    void Load(ScanSettings& settings, const char* setName = nullptr)
    {
        LoadScanSettings(settings, driver, kProfile, setName);
    }

    DriverBinding driver;
};

void ExpectDefaults(const ScanSettings& s, int16_t filterType)
{
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.scanSize, 0);
    EXPECT_EQ(s.resolution, 300);
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(c);
        EXPECT_EQ(s.adjust[c].brightness, 0);
        EXPECT_EQ(s.adjust[c].contrast, 0);
        EXPECT_EQ(s.adjust[c].gamma, 10);
        EXPECT_EQ(s.adjust[c].highlight, 255);
        EXPECT_EQ(s.adjust[c].shadow, 0);
    }
    EXPECT_EQ(s.halftone, 1);
    EXPECT_EQ(s.threshold, 128);
    EXPECT_EQ(s.compress, 0);
    EXPECT_EQ(s.trimEdge, 0);
    EXPECT_EQ(s.deskew, 0);
    EXPECT_EQ(s.scanPage, 0);
    EXPECT_EQ(s.autoScan, 0);
    EXPECT_EQ(s.paperSource, 0);
    EXPECT_EQ(s.qualityScan, 0);
    EXPECT_EQ(s.inversion, 0);
    EXPECT_EQ(s.colorMatch, 0);
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(s.paperType, 0);
    EXPECT_EQ(s.exposureTime, 0);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.bottom, 360);
    EXPECT_EQ(s.right, 220);
    EXPECT_EQ(s.filterType, filterType);  // never read back: keeps what memory had
}

TEST_F(SettingsStoreTest, EmptyOrMissingProfileGivesTheDefaults)
{
    ScanSettings settings = Scribbled();
    Load(settings);
    ExpectDefaults(settings, 7033);
    EXPECT_FALSE(caps::ProfileExists(kProfile));  // loading writes nothing

    caps::WriteKey("Other", "x", "1", kProfile);
    settings = Scribbled();
    Load(settings);
    ExpectDefaults(settings, 7033);
}

TEST_F(SettingsStoreTest, FullProfileIsRestoredExceptModeSizeAndFilter)
{
    const struct { const char* key; const char* value; } keys[] = {
        {"scan mode", "4"}, {"scan size", "3"}, {"resolution", "150"},
        {"A_bright", "-100"}, {"A_contrast", "100"}, {"A_gamma", "1"}, {"A_highlight", "1"},
        {"A_shadow", "254"}, {"R_bright", "5"}, {"R_contrast", "6"}, {"R_gamma", "-50"},
        {"R_highlight", "7"}, {"R_shadow", "8"}, {"G_bright", "9"}, {"G_contrast", "10"},
        {"G_gamma", "99"}, {"G_highlight", "11"}, {"G_shadow", "12"}, {"B_bright", "13"},
        {"B_contrast", "14"}, {"B_gamma", "15"}, {"B_highlight", "16"}, {"B_shadow", "17"},
        {"halftone", "-3"}, {"compress", "2"}, {"trimedge", "3"}, {"Deskew", "4"},
        {"Scan Page", "5"}, {"Auto Scan", "6"}, {"Paper Source", "7"}, {"Quality Scan", "8"},
        {"Threshold", "255"}, {"Filter Type", "9"}, {"Inversion", "1"}, {"Color Match", "11"},
        {"Channel", "3"}, {"Top", "10"}, {"Left", "20"}, {"Bottom", "300"}, {"Right", "200"},
        {"Paper Type", "12"}, {"Exposure Time", "255"},
    };
    for (const auto& k : keys)
        caps::WriteKey(kSet, k.key, k.value, kProfile);

    ScanSettings s = Scribbled();
    Load(s);
    EXPECT_EQ(s.mode, 1);
    EXPECT_EQ(s.scanSize, 0);
    EXPECT_EQ(s.resolution, 150);
    EXPECT_EQ(s.adjust[0].brightness, -100);
    EXPECT_EQ(s.adjust[0].contrast, 100);
    EXPECT_EQ(s.adjust[0].gamma, 1);
    EXPECT_EQ(s.adjust[0].highlight, 1);
    EXPECT_EQ(s.adjust[0].shadow, 254);
    EXPECT_EQ(s.adjust[1].brightness, 5);
    EXPECT_EQ(s.adjust[1].gamma, -50);  // red gamma accepts -100..100
    EXPECT_EQ(s.adjust[1].shadow, 8);
    EXPECT_EQ(s.adjust[2].gamma, 99);
    EXPECT_EQ(s.adjust[2].highlight, 11);
    EXPECT_EQ(s.adjust[3].brightness, 13);
    EXPECT_EQ(s.adjust[3].shadow, 17);
    EXPECT_EQ(s.halftone, -3);
    EXPECT_EQ(s.reserved, 7024);  // word 24 is not stored
    EXPECT_EQ(s.compress, 2);
    EXPECT_EQ(s.trimEdge, 3);
    EXPECT_EQ(s.deskew, 4);
    EXPECT_EQ(s.scanPage, 5);
    EXPECT_EQ(s.autoScan, 6);
    EXPECT_EQ(s.paperSource, 7);
    EXPECT_EQ(s.qualityScan, 8);
    EXPECT_EQ(s.threshold, 255);
    EXPECT_EQ(s.filterType, 7033);
    EXPECT_EQ(s.inversion, 1);
    EXPECT_EQ(s.colorMatch, 11);
    EXPECT_EQ(s.channel, 3);
    EXPECT_EQ(s.top, 10);
    EXPECT_EQ(s.left, 20);
    EXPECT_EQ(s.bottom, 300);
    EXPECT_EQ(s.right, 200);
    EXPECT_EQ(s.paperType, 12);
    EXPECT_EQ(s.exposureTime, 255);
}

TEST_F(SettingsStoreTest, HostileValuesFallBackToDefaultsOrReplacements)
{
    const struct { const char* key; const char* value; } keys[] = {
        {"resolution", "abc"},        {"A_bright", "101"},     {"R_bright", "12abc"},
        {"G_bright", "0x10"},         {"B_bright", "-101"},    {"A_contrast", "99999999999"},
        {"A_gamma", "0"},             {"G_gamma", "-50"},      {"B_gamma", "100"},
        {"R_gamma", "101"},           {"A_highlight", "0"},    {"R_highlight", "256"},
        {"A_shadow", "255"},          {"R_shadow", "-1"},      {"halftone", "70000"},
        {"compress", "+5"},           {"trimedge", "text"},    {"Threshold", "-1"},
        {"Channel", "4"},             {"Exposure Time", "256"}, {"Paper Type", " 12 "},
        {"Top", "361"},               {"Left", "-1"},          {"Bottom", "9999"},
        {"Right", "221"},
        {"Deskew", "1111111111111111111111111111111111111111111111111111111111111111111111"},
    };
    for (const auto& k : keys)
        caps::WriteKey(kSet, k.key, k.value, kProfile);

    ScanSettings s = Scribbled();
    Load(s);
    EXPECT_EQ(s.resolution, 300);
    EXPECT_EQ(s.adjust[0].brightness, 0);
    EXPECT_EQ(s.adjust[1].brightness, 0);  // not a whole number
    EXPECT_EQ(s.adjust[2].brightness, 0);  // hexadecimal is not read as a number
    EXPECT_EQ(s.adjust[3].brightness, 0);
    EXPECT_EQ(s.adjust[0].contrast, 0);
    EXPECT_EQ(s.adjust[0].gamma, 10);
    EXPECT_EQ(s.adjust[2].gamma, 10);
    EXPECT_EQ(s.adjust[3].gamma, 10);
    EXPECT_EQ(s.adjust[1].gamma, 10);
    EXPECT_EQ(s.adjust[0].highlight, 255);
    EXPECT_EQ(s.adjust[1].highlight, 255);
    EXPECT_EQ(s.adjust[0].shadow, 0);
    EXPECT_EQ(s.adjust[1].shadow, 0);
    EXPECT_EQ(s.halftone, 1);   // does not fit 16 bits: default, not a wrapped 4464
    EXPECT_EQ(s.compress, 5);
    EXPECT_EQ(s.trimEdge, 0);
    EXPECT_EQ(s.deskew, 0);
    EXPECT_EQ(s.threshold, 128);
    EXPECT_EQ(s.channel, 0);
    EXPECT_EQ(s.exposureTime, 0);
    EXPECT_EQ(s.paperType, 12);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.bottom, 360);
    EXPECT_EQ(s.right, 220);
}

TEST_F(SettingsStoreTest, AreaTooSmallIsReplacedByTheWholeBed)
{
    caps::WriteKey(kSet, "Left", "200", kProfile);
    caps::WriteKey(kSet, "Right", "220", kProfile);
    caps::WriteKey(kSet, "Top", "100", kProfile);
    caps::WriteKey(kSet, "Bottom", "300", kProfile);
    ScanSettings s = Scribbled();
    Load(s);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.bottom, 360);
    EXPECT_EQ(s.right, 220);

    // Exactly 50 wide and 50 high is kept; 49 high is not.
    caps::WriteKey(kSet, "Left", "170", kProfile);
    caps::WriteKey(kSet, "Bottom", "150", kProfile);
    Load(s);
    EXPECT_EQ(s.left, 170);
    EXPECT_EQ(s.top, 100);
    EXPECT_EQ(s.bottom, 150);
    caps::WriteKey(kSet, "Bottom", "149", kProfile);
    Load(s);
    EXPECT_EQ(s.top, 0);
    EXPECT_EQ(s.left, 0);
    EXPECT_EQ(s.bottom, 360);
}

TEST_F(SettingsStoreTest, ResolutionIsBoundedByTheDriversRange)
{
    TestDriverModule module("full");
    ASSERT_TRUE(module.Loaded());
    module.Control().resolutionMax = 600;
    driver.module = module.Handle();
    BindDriverFunctions(driver.module, &driver.fn);

    ScanSettings s = Scribbled();
    caps::WriteKey(kSet, "resolution", "9600", kProfile);
    Load(s);
    EXPECT_EQ(s.resolution, 300);
    caps::WriteKey(kSet, "resolution", "600", kProfile);
    Load(s);
    EXPECT_EQ(s.resolution, 600);
    caps::WriteKey(kSet, "resolution", "49", kProfile);
    Load(s);
    EXPECT_EQ(s.resolution, 300);
    caps::WriteKey(kSet, "resolution", "50", kProfile);
    Load(s);
    EXPECT_EQ(s.resolution, 50);

    // A driver reporting less than 200 is raised to 200.
    module.Control().resolutionMax = 150;
    caps::WriteKey(kSet, "resolution", "200", kProfile);
    Load(s);
    EXPECT_EQ(s.resolution, 200);
    caps::WriteKey(kSet, "resolution", "250", kProfile);
    Load(s);
    EXPECT_EQ(s.resolution, 300);
}

TEST_F(SettingsStoreTest, CurrentSettingNamesTheSection)
{
    EXPECT_EQ(CurrentSetSection(kProfile), "Untitle_SET");
    EXPECT_EQ(CurrentSetSection(kProfile, "Office"), "Office_SET");
    caps::WriteKey("Scan Settings", "Current Setting", "Photos", kProfile);
    EXPECT_EQ(CurrentSetSection(kProfile, "Office"), "Photos_SET");

    caps::WriteKey("Photos_SET", "Threshold", "77", kProfile);
    caps::WriteKey(kSet, "Threshold", "11", kProfile);
    ScanSettings s = Scribbled();
    Load(s);
    EXPECT_EQ(s.threshold, 77);
}

TEST_F(SettingsStoreTest, SaveWritesEveryStoredKeyInOrderAndLoadReadsItBack)
{
    ScanSettings saved = Scribbled();
    saved.mode = 4;
    saved.scanSize = 2;
    saved.resolution = 200;
    saved.adjust[0] = {-5, 6, 12, 250, 3};
    saved.adjust[1] = {1, 2, 3, 4, 5};
    saved.adjust[2] = {6, 7, 8, 9, 10};
    saved.adjust[3] = {11, 12, 13, 14, 15};
    saved.threshold = 100;
    saved.channel = 2;
    saved.exposureTime = 42;
    saved.top = 10;
    saved.left = 20;
    saved.bottom = 330;
    saved.right = 210;
    SaveScanSettings(saved, kProfile, "Office");

    // Written in the section of the given set name, one decimal number per key.
    const std::string text = caps::ProfileText(kProfile);
    EXPECT_EQ(text.find("[Untitle_SET]"), std::string::npos);
    ASSERT_NE(text.find("[Office_SET]"), std::string::npos);
    const char* const order[] = {
        "scan mode=4", "resolution=200", "compress=7025", "trimedge=7026", "Deskew=7027",
        "Scan Page=7028", "Auto Scan=7029", "halftone=7023", "Paper Source=7030",
        "Quality Scan=7031", "Threshold=100", "Exposure Time=42", "Paper Type=7041",
        "Filter Type=7033", "Inversion=7034", "Color Match=7035", "Channel=2",
        "A_bright=-5", "A_contrast=6", "A_gamma=12", "A_highlight=250", "A_shadow=3",
        "R_bright=1", "R_contrast=2", "R_gamma=3", "R_highlight=4", "R_shadow=5",
        "G_bright=6", "G_contrast=7", "G_gamma=8", "G_highlight=9", "G_shadow=10",
        "B_bright=11", "B_contrast=12", "B_gamma=13", "B_highlight=14", "B_shadow=15",
        "Top=10", "Left=20", "Bottom=330", "Right=210", "scan size=2",
    };
    size_t position = 0;
    for (const char* line : order) {
        SCOPED_TRACE(line);
        size_t found = text.find(std::string(line) + "\r\n", position);
        ASSERT_NE(found, std::string::npos);
        position = found;
    }
    EXPECT_EQ(text.find("7024"), std::string::npos);  // word 24 stays out
    int lines = 0;
    for (char c : text)
        lines += c == '\n';
    EXPECT_EQ(lines, 43);  // the section header and 42 keys

    ScanSettings loaded = Scribbled();
    LoadScanSettings(loaded, driver, kProfile, "Office");
    EXPECT_EQ(loaded.mode, 1);
    EXPECT_EQ(loaded.scanSize, 0);
    EXPECT_EQ(loaded.resolution, 200);
    EXPECT_EQ(memcmp(loaded.adjust, saved.adjust, sizeof(saved.adjust)), 0);
    EXPECT_EQ(loaded.threshold, 100);
    EXPECT_EQ(loaded.top, 10);
    EXPECT_EQ(loaded.right, 210);
}

TEST_F(SettingsStoreTest, NoProfileNameReadsAndWritesNothing)
{
    ScanSettings s = Scribbled();
    LoadScanSettings(s, driver, "", nullptr);
    ExpectDefaults(s, 7033);
    LoadScanSettings(s, driver, nullptr, nullptr);
    ExpectDefaults(s, 7033);
    SaveScanSettings(s, nullptr);
    SaveScanSettings(s, "");
    EXPECT_EQ(caps::ReadKey(kSet, "Threshold", "win.ini"), "<missing>");
}

TEST(PageSizes, SetScanSizeAndMatchTheArea)
{
    const struct { int number; int right; int bottom; } sizes[] = {
        {1, 850, 1100}, {2, 850, 1400}, {3, 830, 1170}, {4, 580, 830},
        {5, 720, 1010}, {6, 470, 220}, {7, 500, 300}, {8, 600, 400},
    };
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.number);
        ScanSettings s = {};
        s.top = 5;
        s.left = 6;
        ASSERT_TRUE(SetScanSize(s, size.number));
        EXPECT_EQ(s.scanSize, size.number);
        EXPECT_EQ(s.top, 0);
        EXPECT_EQ(s.left, 0);
        EXPECT_EQ(s.right, size.right);
        EXPECT_EQ(s.bottom, size.bottom);
        s.scanSize = 0;
        EXPECT_EQ(ScanSizeFromArea(s), size.number);
        s.top = 1;
        EXPECT_EQ(ScanSizeFromArea(s), 0);
    }

    ScanSettings s = {};
    s.right = 220;
    s.bottom = 360;
    EXPECT_EQ(ScanSizeFromArea(s), 0);
    for (int bad : {0, 9, -1}) {
        EXPECT_FALSE(SetScanSize(s, bad));
        EXPECT_EQ(s.scanSize, 0);
        EXPECT_EQ(s.right, 220);
    }
}

}  // namespace
