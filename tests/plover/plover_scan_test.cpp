// The fiducial card scanned through kestrel.ds and the host tool's code, with the
// plover driver on the simulated CCD scanner: geometry, tone and colour of the
// image, shading after calibration, and the failures a host must see.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "acquire.h"
#include "card_checks.h"
#include "io_driver.h"
#include "support/dialog_dismisser.h"

using namespace cardcheck;

namespace {

std::string WindowsFile(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

const char kPloverIni[] = "twain_32\\plover\\plover.ini";
const double kHair = 0.004;

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void AttachScanner(int card)
{
    scansim_reset();
    scansim_attach(0, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD);
    if (card)
        scansim_insert_card(0, card);
}

class PloverRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WritePrivateProfileStringA("Drivers", "Driver00", "plover_sim.dll", "Fenwick.INI");
        DeleteFileA(WindowsFile("twain_32\\plover\\DadaVorG.oft").c_str());
        DeleteFileA(WindowsFile("twain_32\\plover\\DadaVorG.gan").c_str());
        AttachScanner(SCANSIM_CARD_WHITE);
        HMODULE driver = LoadLibraryA("plover_sim.dll");
        ASSERT_NE(driver, nullptr);
        auto calibrate = reinterpret_cast<IO_CalibrateScannerFn>(GetProcAddress(driver, "IO_CalibrateScanner"));
        calibrated_ = calibrate && calibrate(0) == 1;
        FreeLibrary(driver);
    }
    static void TearDownTestSuite()
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
        DeleteFileA(WindowsFile("Fenwick.INI").c_str());
        scansim_reset();
    }
    void SetUp() override
    {
        ASSERT_TRUE(calibrated_);
        AttachScanner(SCANSIM_CARD_FIDUCIAL);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        output_ = std::string(temp) + "plover_scan.bmp";
        DeleteFileA(output_.c_str());
    }
    void TearDown() override { DeleteFileA(output_.c_str()); }

    ScanOptions Options(XferMechanism mech, int pixelType, int dpi, double l = 0, double t = 0,
                        double r = 2.2, double b = 3.6)
    {
        ScanOptions o;
        o.outputPath = output_;
        o.mechanism = mech;
        o.pixelType = pixelType;
        o.resolution = dpi;
        o.setLayout = true;
        // The source keeps hundredths of an inch, cut from 16.16 fixed point: a hair
        // more than the edge makes it arrive as written.
        o.left = l + kHair, o.top = t + kHair, o.right = r + kHair, o.bottom = b + kHair;
        o.timeoutSeconds = 60;
        o.quiet = true;
        return o;
    }
    AcquireReport Acquire(const ScanOptions& o)
    {
        std::unique_ptr<SourceLink> link(CreateDirectLink(o.dsPath, o.hostName));
        return AcquireOnePage(o, link.get());
    }
    // Scans the card and checks marks, ramp and patches where the pixel type has them.
    void ScanAndCheck(const ScanOptions& o, int card = SCANSIM_CARD_FIDUCIAL)
    {
        AttachScanner(card);
        SCOPED_TRACE(std::string("pixel type ") + std::to_string(o.pixelType) + ", " +
                     std::to_string(o.resolution) + " dpi, mechanism " +
                     std::to_string(int(o.mechanism)));
        AcquireReport report = Acquire(o);
        ASSERT_TRUE(report.imageWritten) << report.error;
        DecodedBmp bmp = DecodeBmpFile(output_);
        ASSERT_TRUE(bmp.ok) << bmp.error;
        int left = int(o.left * 100), top = int(o.top * 100);
        int right = int(o.right * 100), bottom = int(o.bottom * 100);
        int content = (right - left) * o.resolution / 100;
        EXPECT_EQ(bmp.height, (bottom - top) * o.resolution / 100);
        EXPECT_GE(bmp.width, content);
        EXPECT_LT(bmp.width, content + (o.pixelType == 0 ? 32 : 4));
        Placement p;
        p.ratio = 600.0 / o.resolution;
        p.originX = left * 6;
        p.originY = top * 6;
        int seen = 0;
        std::string marks = CheckMarks(bmp, p, 1.0, &seen);
        EXPECT_EQ(marks, "");
        EXPECT_GE(seen, 3);
        if (o.pixelType == 0)
            return;
        std::vector<double> ramp = RampMeans(bmp, p);
        for (size_t k = 1; k < ramp.size(); ++k) {
            if (ramp[k] >= 0 && ramp[k - 1] >= 0) {
                EXPECT_GT(ramp[k], ramp[k - 1] + 3) << "ramp step " << k;
            }
        }
        if (o.pixelType != 2)
            return;
        // red, green, blue, cyan, magenta, yellow: the channels that must dominate
        const bool strong[6][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 0}};
        for (int k = 0; k < SCANSIM_PATCH_COUNT; ++k) {
            double x0 = SCANSIM_PATCH_X + k * SCANSIM_PATCH_W;
            double m[3];
            for (int c = 0; c < 3; ++c)
                m[c] = AreaMean(bmp, p, x0 + 20, SCANSIM_PATCH_Y + 20, x0 + SCANSIM_PATCH_W - 20,
                                SCANSIM_PATCH_Y + SCANSIM_PATCH_H - 20, c);
            if (m[0] < 0)
                continue;
            for (int c = 0; c < 3; ++c) {
                for (int d = 0; d < 3; ++d) {
                    if (strong[k][c] && !strong[k][d]) {
                        EXPECT_GT(m[c], m[d] + 60) << "patch " << k << " channel " << c << " vs " << d;
                    }
                }
            }
        }
    }
    // Spread of the column means of a uniform card, and its mean level.
    double CardSpread(int card, int dpi, bool neutralTables, double* level)
    {
        std::string ini = WindowsFile(kPloverIni);
        if (neutralTables) {
            WritePrivateProfileStringA("Main", "PixelOffset", "0", ini.c_str());
            WritePrivateProfileStringA("Main", "PixelGain", "0", ini.c_str());
        }
        AttachScanner(card);
        AcquireReport report = Acquire(Options(XferMechanism::File, 1, dpi));
        WritePrivateProfileStringA("Main", "PixelOffset", nullptr, ini.c_str());
        WritePrivateProfileStringA("Main", "PixelGain", nullptr, ini.c_str());
        EXPECT_TRUE(report.imageWritten) << report.error;
        DecodedBmp bmp = DecodeBmpFile(output_);
        EXPECT_TRUE(bmp.ok) << bmp.error;
        if (!bmp.ok)
            return -1;
        int columns = 220 * dpi / 100;
        *level = 0;
        for (int x = 2; x < columns - 2; ++x)
            *level += Luminance(bmp, x, bmp.height / 2) / (columns - 4);
        return ColumnSpread(bmp, 2, columns - 2);
    }

    static bool calibrated_;
    std::string output_;
};

bool PloverRoad::calibrated_ = false;

TEST_F(PloverRoad, GrayCardAtEachResolutionAndMechanism)
{
    ScanAndCheck(Options(XferMechanism::Native, 1, 150));
    ScanAndCheck(Options(XferMechanism::File, 1, 300));
    ScanAndCheck(Options(XferMechanism::Memory, 1, 600));
}

TEST_F(PloverRoad, ColourCardAtEachResolutionAndMechanism)
{
    ScanAndCheck(Options(XferMechanism::Memory, 2, 150));
    ScanAndCheck(Options(XferMechanism::Native, 2, 300));
    ScanAndCheck(Options(XferMechanism::File, 2, 600));
}

TEST_F(PloverRoad, BlackAndWhiteCard)
{
    ScanAndCheck(Options(XferMechanism::Native, 0, 300));
}

// Unequal margins on every side: the image shows exactly the asked part of the card.
TEST_F(PloverRoad, PartialAreaIsCroppedWhereAsked)
{
    ScanAndCheck(Options(XferMechanism::File, 2, 300, 0.20, 0.15, 2.05, 3.45));
    ScanAndCheck(Options(XferMechanism::Memory, 1, 150, 0.10, 0.20, 1.90, 3.50));
}

// Calibrated against the white card, the white card reads white and flat (up to the
// top level), and a mid-gray card, which cannot hide unevenness by clipping, too.
TEST_F(PloverRoad, CardsAreFlatAfterCalibration)
{
    for (int card : {SCANSIM_CARD_WHITE, SCANSIM_CARD_GRAY}) {
        for (int dpi : {300, 600}) {
            double level = 0, neutralLevel = 0;
            double calibrated = CardSpread(card, dpi, false, &level);
            double neutral = CardSpread(card, dpi, true, &neutralLevel);
            printf("card %d, %d dpi: column mean spread %.2f calibrated (level %.1f), "
                   "%.2f without (level %.1f)\n", card, dpi, calibrated, level, neutral, neutralLevel);
            EXPECT_GE(calibrated, 0);
            EXPECT_LE(calibrated * 5, neutral) << card << ", " << dpi << " dpi";
            EXPECT_GT(level, card == SCANSIM_CARD_WHITE ? 240 : 90);
        }
    }
}

TEST_F(PloverRoad, FailuresLeaveNoImage)
{
    DialogDismisser dismiss(IDOK);
    struct Case { const char* name; int fault; uint32_t param; bool attach; };
    const Case cases[] = {
        {"absent device", 0, 0, false},
        {"device vanishes mid-page", SCANSIM_FAULT_DISCONNECT_AT, 200000, true},
        {"paper jam", SCANSIM_FAULT_JAM, 600, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scansim_reset();
        if (c.attach) {
            AttachScanner(SCANSIM_CARD_FIDUCIAL);
            scansim_set_fault(0, c.fault, c.param);
        }
        AcquireReport report = Acquire(Options(XferMechanism::File, 1, 300));
        EXPECT_FALSE(report.imageWritten);
        EXPECT_FALSE(FileExists(output_));
    }
}

} // namespace
