// The fiducial card through wren_sim.dll, kestrel.ds and our host's acquisition code,
// at every resolution class and over the three transfer mechanisms; and the three
// ways a page fails (read failure, jam, no sheet), each ending with no image file,
// within seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "acquire.h"
#include "fiducial_marks.h"
#include "support/bmp_reader.h"
#include "support/dialog_dismisser.h"
#include "wren_module.h"

using namespace wrentest;

namespace {

const char* kProfile = "Fenwick.INI";
const char* kSettingsSection = "Untitle_SET";

std::string WindowsDirectoryFile(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

class WrenTwscan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(wren_.Loaded());
        DeleteFileA(WindowsDirectoryFile(kProfile).c_str());
        WritePrivateProfileStringA("Drivers", "Driver00", "wren_sim.dll", kProfile);
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        output_ = std::string(temp) + "wren_twscan.bmp";
        DeleteFileA(output_.c_str());
        DeleteFileA(CalibrationFile().c_str());
        scansim_reset();
        ASSERT_EQ(1, scansim_attach(0, SCANSIM_KIND_CIS0, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CIS));
    }
    void TearDown() override
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, kProfile);
        DeleteFileA(WindowsDirectoryFile(kProfile).c_str());
        DeleteFileA(output_.c_str());
        DeleteFileA(CalibrationFile().c_str());
    }
    void Calibrate()
    {
        scansim_insert_card(0, SCANSIM_CARD_WHITE);
        ASSERT_EQ(1, wren_.CalibrateScanner(0));
    }
    void Setting(const char* key, int value)
    {
        WritePrivateProfileStringA(kSettingsSection, key, std::to_string(value).c_str(), kProfile);
    }
    AcquireReport Acquire(XferMechanism mech, int pixelType, int dpi)
    {
        ScanOptions o;
        o.dsPath = "kestrel.ds";
        o.outputPath = output_;
        o.mechanism = mech;
        o.pixelType = pixelType;
        // Resolutions above 600 reach kestrel only through its settings file.
        o.resolution = dpi > 600 ? 0 : dpi;
        Setting("resolution", dpi);
        o.setLayout = true;
        o.left = 0, o.top = 0, o.right = 2.1, o.bottom = 3.6;
        o.timeoutSeconds = 60;
        o.quiet = true;
        std::unique_ptr<SourceLink> link(CreateDirectLink(o.dsPath, o.hostName));
        return AcquireOnePage(o, link.get());
    }
    WrenModule wren_; // the same module kestrel loads: calibration goes through it
    std::string output_;
};

struct CardCase {
    XferMechanism mech;
    int pixelType;
    int dpi;
    bool invert;
};

TEST_F(WrenTwscan, TheFiducialCardKeepsItsMarksAtEveryResolution)
{
    Calibrate();
    const CardCase cases[] = {
        {XferMechanism::Native, TWPT_GRAY, 100, false}, {XferMechanism::File, TWPT_GRAY, 200, false},
        {XferMechanism::Memory, TWPT_GRAY, 300, true},  {XferMechanism::Native, TWPT_GRAY, 600, false},
        {XferMechanism::File, TWPT_GRAY, 1200, false},  {XferMechanism::Memory, TWPT_BW, 300, false},
    };
    for (const CardCase& c : cases) {
        const std::string what = "mechanism " + std::to_string(int(c.mech)) + " type " +
                                 std::to_string(c.pixelType) + " " + std::to_string(c.dpi) + " dpi" +
                                 (c.invert ? " inverted" : "");
        SCOPED_TRACE(what);
        Setting("Inversion", c.invert ? 1 : 0);
        scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
        DialogDismisser dismisser;
        AcquireReport report = Acquire(c.mech, c.pixelType, c.dpi);
        ASSERT_TRUE(report.imageWritten) << report.error;
        // No box on the way, not even "function not found" before memory strips.
        EXPECT_TRUE(dismisser.Texts().empty()) << dismisser.Texts().front();
        // WREN_SCAN_COPY_DIR keeps every scanned image there for a look.
        if (const char* keep = getenv("WREN_SCAN_COPY_DIR"))
            CopyFileA(output_.c_str(), (std::string(keep) + "\\wren_" + std::to_string(c.dpi) + "_" +
                                        std::to_string(c.pixelType) + (c.invert ? "_inv" : "") + ".bmp").c_str(),
                      FALSE);
        DecodedBmp bmp = DecodeBmpFile(output_);
        ASSERT_TRUE(bmp.ok) << bmp.error;
        EXPECT_EQ(210 * c.dpi / 100, bmp.width);
        // The whole card: leading edge found, end kept (the page is the card's length).
        EXPECT_NEAR(SCANSIM_CARD_HEIGHT * c.dpi / 600, bmp.height, c.dpi / 100 + 2);
        auto pixel = [&](int x, int y) { return c.invert ? 255 - bmp.Green(x, y) : int(bmp.Green(x, y)); };
        double top = ExpectMarksInPlace(pixel, bmp.width, bmp.height, c.dpi, what);
        EXPECT_NEAR(0.0, top, 1.0 + c.dpi / 300.0) << "the page starts at the sheet's edge";
        // Paper is white (or black inverted) between the marks.
        EXPECT_GT(pixel(bmp.width / 2, 60 * c.dpi / 600), 200);
        ScanSimStatus st;
        ASSERT_EQ(1, scansim_get_status(0, &st));
        EXPECT_FALSE(st.sheetPresent) << "the card was fed out";
    }
}

// The ways a page fails, through kestrel: the transfer fails and leaves no file behind.
TEST_F(WrenTwscan, AFailingPageLeavesNoFile)
{
    Calibrate();
    for (const PageFailure& c : kPageFailures) {
        SCOPED_TRACE(c.name);
        PreparePageFailure(c);
        DialogDismisser dismisser;
        auto started = std::chrono::steady_clock::now();
        AcquireReport report = Acquire(XferMechanism::File, TWPT_GRAY, 100);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_FALSE(report.imageWritten);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(output_.c_str())) << "no partial file";
        EXPECT_LT(seconds, 15.0);
        DeleteFileA(output_.c_str());
    }
}

} // namespace
