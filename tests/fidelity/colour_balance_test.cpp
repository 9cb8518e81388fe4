// plover's white balance through kestrel.ds with twscan's acquisition code, measured as
// the fidelity benchmark measures: after calibration the white card scans white, neutral
// and unclipped in colour; without the balance file, or with a damaged one, colour pages
// are as they were before the balance; a file of the first version still balances.
#include <gtest/gtest.h>

#include "alignment.h"
#include "figures.h"
#include "road.h"

#include <windows.h>

#include <fstream>

using namespace fidelity;

namespace {

const double kFlatMargin = 30; // card units inside the card's edges

std::string TempFile(const char* name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + name;
}

Image Scan(int card, int dpi)
{
    Plug(kPlover, card);
    const std::string file = TempFile("colour_balance.bmp");
    Image image;
    std::string error = ScanCard("rgb", dpi, file);
    EXPECT_EQ(error, "");
    EXPECT_TRUE(error.empty() && ReadImage(file, &image, &error)) << error;
    DeleteFileA(file.c_str());
    return image;
}

FlatFigures ScanFlat(int card, int dpi, const Placement& p)
{
    const Image image = Scan(card, dpi);
    return MeasureFlat(image, InsideCard(p, image, kFlatMargin));
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// The file's last word made the complement of the 16-bit sum of the words before it.
std::string WithCheckWord(std::string file)
{
    uint16_t sum = 0;
    for (size_t i = 0; i + 2 < file.size(); i += 2)
        sum = uint16_t(sum + (uint8_t(file[i]) << 8 | uint8_t(file[i + 1])));
    file[file.size() - 2] = char(uint16_t(~sum) >> 8);
    file[file.size() - 1] = char(~sum);
    return file;
}

} // namespace

class ColourBalance : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        scansim_reset();
        calibrated_ = Calibrate(kPlover);
    }
    static void TearDownTestSuite()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
        scansim_reset();
    }
    void SetUp() override { ASSERT_TRUE(calibrated_); }

    static bool calibrated_;
};

bool ColourBalance::calibrated_ = false;

TEST_F(ColourBalance, WhiteCardIsWhiteAndNeutralAtEachResolution)
{
    for (int dpi : {150, 300, 600}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        const MarkFit fit = FitMarks(Scan(SCANSIM_CARD_FIDUCIAL, dpi), dpi);
        ASSERT_TRUE(fit.found);
        const FlatFigures white = ScanFlat(SCANSIM_CARD_WHITE, dpi, fit.placement);
        ASSERT_TRUE(white.measured);
        EXPECT_LE(white.channelSpread(), 2.0);
        for (int c = 0; c < 3; ++c) {
            EXPECT_GE(white.mean[c], 240.0) << "channel " << c;
            EXPECT_LE(white.mean[c], 252.0) << "channel " << c;
        }
        EXPECT_LE(white.clipped, 0.1);
        EXPECT_LE(ScanFlat(SCANSIM_CARD_GRAY, dpi, fit.placement).channelSpread(), 2.0);
    }
}

TEST_F(ColourBalance, WithoutASoundFileColourIsAsBeforeTheBalance)
{
    const MarkFit fit = FitMarks(Scan(SCANSIM_CARD_FIDUCIAL, 150), 150);
    ASSERT_TRUE(fit.found);
    const std::string file = PloverBalanceFile();
    std::ifstream in(file, std::ios::binary);
    const std::string sound((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    ASSERT_EQ(sound.size(), 18u + 3 * 1344 * 2) << "LED times, three gain correction tables";

    ASSERT_TRUE(DeleteFileA(file.c_str()));
    const FlatFigures missing = ScanFlat(SCANSIM_CARD_WHITE, 150, fit.placement);
    EXPECT_GT(missing.channelSpread(), 10.0) << "all LEDs' white gains on single LEDs";

    std::string offBeyondTheLine = sound;
    offBeyondTheLine[14] = char(0x7F); // blue's off-time, high byte
    std::string correctionOutOfRange = sound;
    correctionOutOfRange[16] = 0;
    std::string badCheck = sound;
    badCheck[5] ^= 1;
    for (const std::string& damaged : {sound.substr(0, sound.size() - 1), badCheck, WithCheckWord(offBeyondTheLine),
                                       WithCheckWord(correctionOutOfRange), std::string(sound.size(), '\0')}) {
        WriteBytes(file, damaged);
        const FlatFigures white = ScanFlat(SCANSIM_CARD_WHITE, 150, fit.placement);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(white.mean[c], missing.mean[c], 0.3) << "channel " << c;
    }
    // A file of the first version holds the LED times alone: they still balance.
    std::string timesOnly = sound.substr(0, 18);
    timesOnly[3] = '1';
    WriteBytes(file, WithCheckWord(timesOnly));
    EXPECT_LE(ScanFlat(SCANSIM_CARD_WHITE, 150, fit.placement).channelSpread(), 2.0);
    WriteBytes(file, sound);
    EXPECT_LE(ScanFlat(SCANSIM_CARD_WHITE, 150, fit.placement).channelSpread(), 2.0);
}
