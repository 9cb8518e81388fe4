// wren's core against the simulated CIS scanner of both variants: the register
// images of a page, calibration into the 16240-byte record, pages scanned with it,
// and pages that fail.
#include "fiducial_marks.h"
#include "scansim.h"
#include "wren_core_module.h"
#include "wren_pages.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <fstream>
#include <sstream>

using namespace wrentest;

namespace {

#pragma pack(push, 1)
struct RecordHead {
    uint16_t fixedGain, fixedOffset, firstPixel600, exposure600, lineGain600, lineOffset600;
    uint16_t firstPixel300, exposure300, lineGain300, lineOffset300, variant, mark, background;
    uint8_t unused[14];
};
#pragma pack(pop)
enum { REFS = 40, PIXELS = 2700 };

std::vector<uint8_t> ReadWholeFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

class WrenScan : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        unlink(CalibrationFile().c_str());
        scansim_reset();
        ASSERT_EQ(1, scansim_attach(0, GetParam(), SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    }
    void TearDown() override { unlink(CalibrationFile().c_str()); }
    int Variant() const { return GetParam() == SCANSIM_KIND_CIS1 ? 1 : 0; }
    std::string CalibrationFile() const { return wren.CalibrationFile(); }
    WrenCore wren{"wren_scan_test"};
};

std::string KindName(const testing::TestParamInfo<int>& info)
{
    return info.param == SCANSIM_KIND_CIS1 ? "Variant1" : "Variant0";
}

// The chip's registers while a gray page runs, against the images worked out for it
// (uncalibrated: the record's defaults).
// A record planted with values out of every range is not used: the page programs the defaults.
void PlantRecord(const std::string& path)
{
    std::vector<uint8_t> bytes(16240, 0xFF);
    RecordHead h = {};
    h.firstPixel600 = 60000;
    h.exposure600 = 0;
    h.lineGain600 = 200;
    h.background = 9999;
    h.mark = 136;
    memcpy(bytes.data(), &h, sizeof h);
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

TEST_P(WrenScan, GrayPageRegisterImagesMatchTheExpectedOnes)
{
    for (int dpi : {300, 600}) {
        if (dpi == 600)
            PlantRecord(CalibrationFile());
        scansim_insert_card(0, SCANSIM_CARD_WHITE);
        ScanSettings s = GraySettings(dpi);
        int width = 0, height = 0;
        ASSERT_EQ(1, wren.StartScanPage(&s, &width, &height));
        std::vector<uint8_t> line(size_t(width + 3) / 4 * 4 * 2);
        ASSERT_EQ(2, wren.GetImageBlock(line.data(), 2, &s, width, height));
        std::vector<char> text(scansim_register_text(0, nullptr, 0));
        scansim_register_text(0, text.data(), uint32_t(text.size()));
        wren.EndScanPage();
        std::ostringstream name;
        name << "cis" << Variant() << "_gray_" << dpi << ".txt";
        std::ifstream expectedFile(std::string(WREN_EXPECTED_DIR) + "/" + name.str());
        ASSERT_TRUE(expectedFile.good()) << name.str();
        std::stringstream expected;
        expected << expectedFile.rdbuf();
        EXPECT_EQ(expected.str(), std::string(text.data())) << name.str();
    }
}

TEST_P(WrenScan, CalibrationStoresTheRecordAndPagesComeOutFlatWithTheCardInPlace)
{
    EXPECT_EQ(1, wren.NeedCalibration(3650));
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ASSERT_EQ(1, wren.CalibrateScanner(0));
    ScanSimStatus st;
    ASSERT_EQ(1, scansim_get_status(0, &st));
    EXPECT_FALSE(st.sheetPresent) << "the calibration sheet is ejected";

    std::vector<uint8_t> file = ReadWholeFile(CalibrationFile());
    ASSERT_EQ(16240u, file.size());
    RecordHead h;
    memcpy(&h, file.data(), sizeof h);
    EXPECT_EQ(0x3FFF, h.fixedGain);
    EXPECT_EQ(0, h.fixedOffset);
    EXPECT_EQ(18, h.firstPixel600) << "the paper guide at sensor pixel 18";
    EXPECT_EQ(9, h.firstPixel300);
    EXPECT_EQ(Variant() ? 4 : 12, h.lineGain600);
    EXPECT_EQ(6, h.lineGain300);
    EXPECT_EQ(Variant(), h.variant);
    EXPECT_EQ(136, h.mark);
    // The search lands near the simulator's calibration points, never on the default.
    EXPECT_GT(h.exposure600, Variant() ? 2600 : 2100);
    EXPECT_LT(h.exposure600, Variant() ? 3600 : 2900);
    // 300 dpi runs at gain 6: below variant 0's 12 (longer exposure), above variant 1's 4.
    if (Variant() == 0)
        EXPECT_GT(h.exposure300, h.exposure600);
    else
        EXPECT_LT(h.exposure300, h.exposure600);
    if (Variant() == 0) {
        EXPECT_GT(h.lineOffset600, 1) << "the dark level lifted into 7..13";
        EXPECT_LT(h.lineOffset600, 31);
    } else {
        EXPECT_EQ(0, h.lineOffset600);
        EXPECT_EQ(0, h.lineOffset300);
    }
    EXPECT_GT(h.background, 30);
    EXPECT_LT(h.background, 90);
    for (uint8_t b : h.unused)
        EXPECT_EQ(0, b);
    const uint8_t* white600 = &file[REFS];
    const uint8_t* half600 = &file[REFS + PIXELS];
    const uint8_t* dark600 = &file[REFS + 2 * PIXELS];
    const uint8_t* white300 = &file[REFS + 3 * PIXELS];
    const uint8_t* dark300 = &file[REFS + 5 * PIXELS];
    for (int p = 0; p < 16; ++p) // the dark frame beside the guide: nothing qualifies
        EXPECT_EQ(0, white600[p]) << p;
    for (int p = 30; p < 1300; ++p) {
        ASSERT_GT(white600[p], 88) << p;
        ASSERT_EQ(white600[p] / 2, half600[p]) << p;
        if (Variant() == 0) {
            ASSERT_GE(dark600[p], 6) << p;
            ASSERT_LE(dark600[p], 20) << p;
        } else {
            ASSERT_EQ(0, dark600[p]) << p;
        }
    }
    for (int p = 15; p < 650; ++p) {
        ASSERT_GT(white300[p], 88) << p;
        ASSERT_EQ(Variant() == 0, dark300[p] > 0) << p;
    }
    EXPECT_EQ(0, wren.NeedCalibration(30));

    // A white card: flat across the sheet, the whole card long.
    // The page is asked 0.4 inch longer than the card: the sheet end decides.
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ScanSettings longer = GraySettings(300);
    longer.bottom = 400;
    Page white = ScanPage(wren, longer);
    ASSERT_GT(white.lines, 0) << white.result;
    EXPECT_NEAR(1080, white.lines, 3) << "the sheet's end is kept, the backing after it trimmed";
    double lowest = 255, highest = 0;
    for (int x = 10; x < white.width - 10; ++x) {
        double sum = 0;
        for (int y = 50; y < white.lines - 50; ++y)
            sum += white.At(x, y);
        double mean = sum / (white.lines - 100);
        lowest = std::min(lowest, mean);
        highest = std::max(highest, mean);
    }
    EXPECT_GT(lowest, 235);
    EXPECT_LT(highest - lowest, 12.0);

    // The fiducial card with the soften filter: leading edge found, marks in place.
    scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
    ScanSettings s = GraySettings(300);
    s.filterType = 1;
    Page card = ScanPage(wren, s);
    ASSERT_GT(card.lines, 1000) << card.result;
    double top = ExpectMarksInPlace([&](int x, int y) { return card.At(x, y); }, card.width, card.lines, 300,
                                    "filtered 300 dpi");
    EXPECT_NEAR(0.0, top, 2.0) << "the page starts at the sheet's leading edge";
}

// Paper source 1001 measures exposures only and ejects; 1000 also measures the
// references but keeps the sheet, and no background level is taken.
TEST_P(WrenScan, PaperSourcesSelectTheShortAndTheFeederCalibrations)
{
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ASSERT_EQ(1, wren.CalibrateScanner(1001));
    std::vector<uint8_t> file = ReadWholeFile(CalibrationFile());
    ASSERT_EQ(16240u, file.size());
    RecordHead h;
    memcpy(&h, file.data(), sizeof h);
    EXPECT_EQ(136, h.mark);
    EXPECT_NE(2500, h.exposure600);
    EXPECT_EQ(220, file[REFS + 600]) << "references keep their defaults";
    EXPECT_GT(h.background, 0);
    ScanSimStatus st;
    ASSERT_EQ(1, scansim_get_status(0, &st));
    EXPECT_FALSE(st.sheetPresent);

    unlink(CalibrationFile().c_str());
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ASSERT_EQ(1, wren.CalibrateScanner(1000));
    file = ReadWholeFile(CalibrationFile());
    ASSERT_EQ(16240u, file.size());
    memcpy(&h, file.data(), sizeof h);
    EXPECT_EQ(18, h.firstPixel600);
    EXPECT_GT(file[REFS + 600], 88);
    EXPECT_NE(220, file[REFS + 600]);
    EXPECT_EQ(0, h.background);
    ASSERT_EQ(1, scansim_get_status(0, &st));
    EXPECT_TRUE(st.sheetPresent) << "the feeder calibration keeps the sheet";
    EXPECT_EQ(1, wren.IsPaperOn());
}

// The record file's rules: a file of the wrong size is replaced, its age is counted
// in 365/30/1-day units from the last write, and an unmarked record needs calibration.
TEST_P(WrenScan, TheRecordFileIsReplacedWhenMisSizedAndAgesByMonthsOfThirtyDays)
{
    {
        std::ofstream f(CalibrationFile(), std::ios::binary);
        std::vector<char> bytes(16239, 0);
        bytes[22] = char(136);
        f.write(bytes.data(), std::streamsize(bytes.size()));
    }
    EXPECT_EQ(1, wren.NeedCalibration(3650));
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ASSERT_EQ(1, wren.CalibrateScanner(1001));
    ASSERT_EQ(16240u, ReadWholeFile(CalibrationFile()).size());
    EXPECT_EQ(0, wren.NeedCalibration(0));

    // Written one month ago on the same day of the month: age 30.
    const time_t nowSeconds = time(nullptr);
    struct tm now;
    ASSERT_NE(nullptr, gmtime_r(&nowSeconds, &now));
    struct tm then = now;
    then.tm_mday = 15;
    then.tm_mon = now.tm_mon == 0 ? 11 : now.tm_mon - 1;
    then.tm_year = now.tm_mon == 0 ? now.tm_year - 1 : now.tm_year;
    const int age = (now.tm_year - then.tm_year) * 365 + (now.tm_mon - then.tm_mon) * 30 + (now.tm_mday - 15);
    const struct utimbuf written = {timegm(&then), timegm(&then)};
    ASSERT_EQ(0, utime(CalibrationFile().c_str(), &written));
    EXPECT_EQ(0, wren.NeedCalibration(age));
    EXPECT_EQ(1, wren.NeedCalibration(age - 1));
}

TEST_P(WrenScan, ButtonsReadTheirOwnBitsAndAnyOtherNumberTheFourth)
{
    for (int pressed = 1; pressed <= 4; ++pressed) {
        for (int b = 1; b <= 4; ++b)
            scansim_press_button(0, b, b == pressed);
        EXPECT_EQ(pressed == 1, wren.IsButtonPressed(1) == 1) << pressed;
        EXPECT_EQ(pressed == 2, wren.IsButtonPressed(2) == 1) << pressed;
        EXPECT_EQ(pressed == 3, wren.IsButtonPressed(3) == 1) << pressed;
        EXPECT_EQ(pressed == 4, wren.IsButtonPressed(0) == 1) << pressed;
        EXPECT_EQ(pressed == 4, wren.IsButtonPressed(4) == 1) << pressed;
    }
}

TEST_P(WrenScan, EmptyAreasColourAndAnUnwritableRecordFailInsteadOfSucceeding)
{
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    int width = -1, height = -1;
    ScanSettings s = GraySettings(300);
    s.right = s.left = 100;
    EXPECT_EQ(0, wren.StartScanPage(&s, &width, &height));
    wren.EndScanPage();
    s = GraySettings(300);
    s.bottom = s.top = 50;
    EXPECT_EQ(0, wren.StartScanPage(&s, &width, &height));
    wren.EndScanPage();
    s = GraySettings(300);
    s.mode = MODE_COLOR;
    EXPECT_EQ(0, wren.StartScanPage(&s, &width, &height));
    wren.EndScanPage();

    // Where the record cannot be written the calibration does not count as done.
    ASSERT_EQ(0, mkdir(CalibrationFile().c_str(), 0755));
    EXPECT_EQ(0, wren.CalibrateScanner(0));
    rmdir(CalibrationFile().c_str());

    // A tone table with brightness and contrast both pulling down stays continuous
    // where brightness clamps at black.
    unsigned char table[256];
    wren::BuildToneTable(table, -60, -40, 10, 255, 0);
    int biggestStep = 0;
    for (int i = 1; i < 256; ++i) {
        ASSERT_GE(table[i], table[i - 1]) << i;
        biggestStep = std::max(biggestStep, table[i] - table[i - 1]);
    }
    EXPECT_LE(biggestStep, 2);
    EXPECT_EQ(30, table[0]);
}

INSTANTIATE_TEST_SUITE_P(BothSensors, WrenScan, ::testing::Values(int(SCANSIM_KIND_CIS0), int(SCANSIM_KIND_CIS1)),
                         KindName);

// The three ways a page fails, each ending with its result code within seconds.
TEST(WrenFailingPage, EndsWithItsResultCodeWithinSeconds)
{
    WrenCore wren("wren_failing_page_test");
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ASSERT_EQ(1, wren.CalibrateScanner(0));
    for (const PageFailure& c : kPageFailures) {
        SCOPED_TRACE(c.name);
        PreparePageFailure(c);
        auto started = std::chrono::steady_clock::now();
        Page page = ScanPage(wren, GraySettings(100));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (c.blockResult > 0)
            EXPECT_GT(page.result, 0);
        else
            EXPECT_EQ(c.blockResult, page.result);
        EXPECT_EQ(c.fedOut, page.fedOut);
        EXPECT_LT(seconds, 10.0);
    }
}

} // namespace
