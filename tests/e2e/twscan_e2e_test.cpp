// Acquiring a page through kestrel.ds exactly as a host does, for every transfer
// mechanism and pixel type, and checking the written image against the page the
// driver served.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "acquire.h"
#include "support/bmp_reader.h"
#include "support/dialog_dismisser.h"
#include "support/test_driver_module.h"

namespace {

std::string WindowsDirectoryFile(const char* name)
{
    char dir[MAX_PATH];
    GetWindowsDirectoryA(dir, MAX_PATH);
    return std::string(dir) + "\\" + name;
}

class TwscanRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        profile_ = WindowsDirectoryFile("Fenwick.INI");
        DeleteFileA(profile_.c_str());
        WritePrivateProfileStringA("Drivers", "Driver00", "testdrv_full.dll", "Fenwick.INI");
        ASSERT_TRUE(driver_.Loaded());
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        output_ = std::string(temp) + "twscan_e2e.bmp";
        DeleteFileA(output_.c_str());
    }
    void TearDown() override
    {
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");  // flush the cache
        DeleteFileA(profile_.c_str());
        DeleteFileA(output_.c_str());
    }

    ScanOptions Options(XferMechanism mech, int pixelType)
    {
        ScanOptions o;
        o.dsPath = "kestrel.ds";
        o.outputPath = output_;
        o.mechanism = mech;
        o.pixelType = pixelType;
        o.resolution = 100;
        o.setLayout = true;
        o.left = 0, o.top = 0, o.right = 1.0, o.bottom = 0.6;
        o.timeoutSeconds = 20;
        o.quiet = true;
        return o;
    }

    AcquireReport Acquire(const ScanOptions& o)
    {
        std::unique_ptr<SourceLink> link(CreateDirectLink(o.dsPath, o.hostName));
        return AcquireOnePage(o, link.get());
    }

    // The image on disk is the page the driver served, upright and unmirrored.
    void ExpectServedPage(int mode, int width, int height)
    {
        DecodedBmp bmp = DecodeBmpFile(output_);
        ASSERT_TRUE(bmp.ok) << bmp.error;
        ASSERT_EQ(bmp.width, width);
        ASSERT_EQ(bmp.height, height);
        int mismatches = 0;
        for (int y = 0; y < height && mismatches < 5; ++y) {
            for (int x = 0; x < width && mismatches < 5; ++x) {
                uint8_t r = TestPagePixel(mode, x, y, 0);
                uint8_t g = mode == MODE_COLOR ? TestPagePixel(mode, x, y, 1) : r;
                uint8_t b = mode == MODE_COLOR ? TestPagePixel(mode, x, y, 2) : r;
                if (bmp.Red(x, y) != r || bmp.Green(x, y) != g || bmp.Blue(x, y) != b) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " is " << int(bmp.Red(x, y))
                                  << "/" << int(bmp.Green(x, y)) << "/" << int(bmp.Blue(x, y))
                                  << ", served " << int(r) << "/" << int(g) << "/" << int(b);
                    ++mismatches;
                }
            }
        }
    }

    TestDriverModule driver_{"full"};
    std::string profile_, output_;
};

struct RoadCase {
    XferMechanism mech;
    int pixelType;
    int mode;
    int bits;
};

TEST_F(TwscanRoad, EveryMechanismDeliversTheServedPageInEveryPixelType)
{
    const RoadCase cases[] = {
        {XferMechanism::Native, TWPT_GRAY, MODE_GRAY, 8},
        {XferMechanism::Native, TWPT_BW, MODE_BW, 1},
        {XferMechanism::Native, TWPT_RGB, MODE_COLOR, 24},
        {XferMechanism::File, TWPT_GRAY, MODE_GRAY, 8},
        {XferMechanism::File, TWPT_BW, MODE_BW, 1},
        {XferMechanism::File, TWPT_RGB, MODE_COLOR, 24},
        {XferMechanism::Memory, TWPT_GRAY, MODE_GRAY, 8},
        {XferMechanism::Memory, TWPT_BW, MODE_BW, 1},
        {XferMechanism::Memory, TWPT_RGB, MODE_COLOR, 24},
    };
    for (const RoadCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mechanism " << int(c.mech) << " pixel type " << c.pixelType);
        driver_.Control().ClearCalls();
        AcquireReport report = Acquire(Options(c.mech, c.pixelType));
        ASSERT_TRUE(report.imageWritten) << report.error;
        EXPECT_EQ(report.info.ImageWidth, 100);
        EXPECT_EQ(report.info.ImageLength, 60);
        EXPECT_EQ(report.info.BitsPerPixel, c.bits);
        EXPECT_EQ(report.pendingAfterEnd, 0);
        EXPECT_FALSE(report.closeRequested);
        ExpectServedPage(c.mode, 100, 60);

        // The device was started, then one page opened and closed, the sheet fed out.
        const std::string calls = driver_.Calls();
        const size_t started = calls.find("IO_StartScan;");
        ASSERT_NE(started, std::string::npos) << calls;
        EXPECT_LT(started, calls.find("IO_StartScanPage;")) << calls;
        EXPECT_NE(calls.find("IO_FeedPage;IO_EndScanPage;"), std::string::npos) << calls;
        EXPECT_EQ(calls.rfind("IO_EndScan;"), calls.size() - strlen("IO_EndScan;")) << calls;
    }
}

TEST_F(TwscanRoad, MemoryStripsFollowTheHostsBufferSize)
{
    AcquireReport report = Acquire(Options(XferMechanism::Memory, TWPT_GRAY));
    ASSERT_TRUE(report.imageWritten) << report.error;
    // 74000-byte buffer (the smallest preferred size) and 100-byte rows: one strip.
    EXPECT_EQ(report.strips, 1);
}

TEST_F(TwscanRoad, AFailedPageStartGivesNoImage)
{
    driver_.Control().startScanPage = 0;
    for (XferMechanism mech : {XferMechanism::Native, XferMechanism::File, XferMechanism::Memory}) {
        DialogDismisser dismisser;
        AcquireReport report = Acquire(Options(mech, TWPT_GRAY));
        EXPECT_FALSE(report.imageWritten);
        EXPECT_EQ(GetFileAttributesA(output_.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_NE(driver_.Calls().find("IO_EndScanPage;"), std::string::npos);
    }
}

TEST_F(TwscanRoad, ADeviceThatIsNotReadyAsksToBeClosed)
{
    driver_.Control().startScan = -1;  // port busy
    DialogDismisser dismisser;
    AcquireReport report = Acquire(Options(XferMechanism::Native, TWPT_GRAY));
    EXPECT_FALSE(report.imageWritten);
    EXPECT_TRUE(report.closeRequested);
    auto texts = dismisser.Texts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0], "Scanning is aborted due to I/O port busy!");
}

}  // namespace
