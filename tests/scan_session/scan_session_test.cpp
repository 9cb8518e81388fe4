// ScanToBmpFile against the test-double driver: the page in the file, the block
// protocol, and every way a page can fail.
#include "session_fixture.h"

namespace {

class FullPage : public SessionTest, public ::testing::WithParamInterface<int> {};

TEST_P(FullPage, FileHoldsExactlyTheLinesTheDriverDelivered)
{
    // 1.0 x 1.5 inch at 100 dpi: 100 x 150, fetched as 149 lines and then 1.
    Page(GetParam(), 100, 100, 150);
    ASSERT_EQ(Scan(), SCAN_SUCCESS);
    ExpectPage(100, 150);
    EXPECT_EQ(Control().blockCalls, 2);
    EXPECT_EQ(Control().linesAsked[0], 149);
    EXPECT_EQ(Control().linesAsked[1], 1);
    EXPECT_NE(module_.Calls().find("IO_FeedPage;IO_EndScanPage;"), std::string::npos);
    EXPECT_TRUE(TraceRecorder::Messages().empty());
}

TEST_P(FullPage, OddWidthInManyBlocks)
{
    // 101 x 450 lines at 150 dpi, small blocks through the driver-reported size.
    Page(GetParam(), 150, 220, 300);
    Control().pageWidth = 101;
    Control().pageHeight = 450;
    ASSERT_EQ(Scan(true), SCAN_SUCCESS);
    ExpectPage(101, 450);
}

INSTANTIATE_TEST_SUITE_P(Modes, FullPage,
                         ::testing::Values(MODE_GRAY, MODE_COLOR, MODE_BW, MODE_HALFTONE));

TEST_F(SessionTest, StandardReaderLoadsTheFile)
{
    Page(MODE_COLOR, 100, 64, 40);
    ASSERT_EQ(Scan(), SCAN_SUCCESS);
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(nullptr, file_.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    DIBSECTION dib = {};
    ASSERT_EQ(GetObjectA(bitmap, sizeof(dib), &dib), static_cast<int>(sizeof(dib)));
    EXPECT_EQ(dib.dsBm.bmWidth, 64);
    EXPECT_EQ(dib.dsBm.bmHeight, 40);
    EXPECT_EQ(dib.dsBm.bmBitsPixel, 24);
    // Bottom-up: the last line in memory is the top of the page.
    const uint8_t* top = static_cast<const uint8_t*>(dib.dsBm.bmBits) + 39 * dib.dsBm.bmWidthBytes;
    EXPECT_EQ(top[3 * 5 + 0], TestPagePixel(MODE_COLOR, 5, 0, 2));
    EXPECT_EQ(top[3 * 5 + 2], TestPagePixel(MODE_COLOR, 5, 0, 0));
    const uint8_t* bottom = static_cast<const uint8_t*>(dib.dsBm.bmBits);
    EXPECT_EQ(bottom[3 * 7 + 1], TestPagePixel(MODE_COLOR, 7, 39, 1));
    DeleteObject(bitmap);
}

TEST_F(SessionTest, DriverSizeOfZeroMeansTheRecordsArea)
{
    Page(MODE_GRAY, 100, 60, 80);
    Control().pageWidth = -1;    // the driver reports 0 x 0
    Control().pageHeight = -1;
    ASSERT_EQ(Scan(), SCAN_SUCCESS);
    ExpectPage(60, 80);
}

TEST_F(SessionTest, ShortPageIsShortenedToTheLinesReceived)
{
    Page(MODE_GRAY, 100, 100, 150);
    Control().linesAvailable = 40;
    ASSERT_EQ(Scan(true), SCAN_SUCCESS);
    ExpectPage(100, 40);
    EXPECT_EQ(ReadBytes(file_.str()).size(), 1078u + 40u * 100u);
}

TEST_F(SessionTest, TwentyLinesAreEnoughAndNineteenAreNot)
{
    Control().linesAvailable = 20;
    ASSERT_EQ(Scan(), SCAN_SUCCESS);
    ExpectPage(100, 20);

    Control().linesAvailable = 19;
    EXPECT_EQ(Scan(), SCAN_PAPER_NOT_FED);
    EXPECT_FALSE(file_.Exists());

    Control().linesAvailable = 0;   // the page ends before its first line
    EXPECT_EQ(Scan(), SCAN_PAPER_NOT_FED);
    EXPECT_FALSE(file_.Exists());
}

TEST_F(SessionTest, PageOfFewerThanTwentyLinesFailsWithoutADriverError)
{
    Page(MODE_GRAY, 100, 100, 19);
    EXPECT_EQ(Scan(), SCAN_PAPER_NOT_FED);
    EXPECT_FALSE(file_.Exists());
    EXPECT_TRUE(TraceRecorder::Messages().empty());
}

TEST_F(SessionTest, PaperJamWhenTheSheetCannotBeFedOut)
{
    Control().feedPage = 0;
    EXPECT_EQ(Scan(), SCAN_PAPER_JAM);
    EXPECT_FALSE(file_.Exists());
    EXPECT_TRUE(Called("IO_EndScanPage"));

    // An earlier failure keeps its own code.
    Control().linesAvailable = 5;
    EXPECT_EQ(Scan(), SCAN_PAPER_NOT_FED);
}

TEST_F(SessionTest, PageThatCannotStart)
{
    struct Case { int answer, code; };
    for (Case c : {Case{0, SCAN_START_FAILED}, Case{-1, SCAN_START_FAILED},
                   Case{-9, SCAN_OUT_OF_MEMORY}, Case{-3, SCAN_START_FAILED}}) {
        SCOPED_TRACE(c.answer);
        Control().ClearCalls();
        Control().startScanPage = c.answer;
        EXPECT_EQ(Scan(), c.code);
        EXPECT_EQ(module_.Calls(), "IO_StartScanPage;IO_EndScanPage;");
        EXPECT_FALSE(file_.Exists());
    }
}

TEST_F(SessionTest, WithoutADriverNothingStarts)
{
    driver_.Release();
    EXPECT_EQ(Scan(), SCAN_START_FAILED);
    EXPECT_FALSE(file_.Exists());
}

TEST_F(SessionTest, StartFailureLeavesAnOlderFileAlone)
{
    ASSERT_TRUE(WriteBytes(file_.str(), {1, 2, 3}));
    Control().startScanPage = 0;
    EXPECT_EQ(Scan(), SCAN_START_FAILED);
    EXPECT_EQ(ReadBytes(file_.str()), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(SessionTest, NoRoomForTheFile)
{
    // A drive that does not exist has no free space to offer.
    ScanSettings settings = settings_;
    EXPECT_EQ(ScanToBmpFile(driver_, nullptr, "R:\\kestrel_page.bmp", &settings, false),
              SCAN_DISK_ERROR);
    EXPECT_TRUE(Called("IO_EndScanPage"));
    EXPECT_FALSE(Called("IO_GetImageBlock"));

    std::string missingFolder = file_.str() + ".missing\\page.bmp";
    EXPECT_EQ(ScanToBmpFile(driver_, nullptr, missingFolder.c_str(), &settings, false),
              SCAN_DISK_ERROR);
}

TEST_F(SessionTest, UnknownModeOrNonsenseSizeIsRefusedBeforeAnyFile)
{
    Page(7, 100, 100, 150);
    EXPECT_EQ(Scan(), SCAN_GENERAL_FAILURE);
    EXPECT_FALSE(file_.Exists());
    EXPECT_TRUE(Called("IO_EndScanPage"));
    EXPECT_FALSE(Called("IO_GetImageBlock"));

    Page(MODE_GRAY, 100, 100, 150);
    Control().pageWidth = 100;
    Control().pageHeight = -1;   // driver reports height 0, record area inverted
    settings_.top = 200;
    EXPECT_EQ(Scan(), SCAN_GENERAL_FAILURE);
    EXPECT_FALSE(file_.Exists());
}

TEST_F(SessionTest, DriverFailureValuesBecomeTheirCodes)
{
    struct Case { short value; int code; const char* message; };
    for (Case c : {Case{-6, SCAN_PAPER_JAM, "coding error in scanner.cpp::SetErroecode()->6"},
                   Case{-9, SCAN_OUT_OF_MEMORY, "coding error in scanner.cpp::SetErroecode()->9"},
                   Case{-2, SCAN_NOT_ANSWERING, "coding error in scanner.cpp::SetErroecode()->2"},
                   Case{0, SCAN_GENERAL_FAILURE, "coding error in scanner.cpp::SetErroecode()->unknow code"},
                   Case{-12, SCAN_GENERAL_FAILURE, "coding error in scanner.cpp::SetErroecode()->unknow code"}}) {
        SCOPED_TRACE(c.value);
        TraceRecorder::Messages().clear();
        Control().ClearCalls();
        // 2000 x 300 gray: blocks of 29 lines, the failure comes with the third.
        Control().pageWidth = 2000;
        Control().pageHeight = 300;
        Control().failAtLine = 30;
        Control().failCode = c.value;
        EXPECT_EQ(Scan(true), c.code);
        EXPECT_FALSE(file_.Exists());
        ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
        EXPECT_EQ(TraceRecorder::Messages()[0].text, c.message);
        // The page is still fed out and closed.
        EXPECT_NE(module_.Calls().find("IO_FeedPage;IO_EndScanPage;"), std::string::npos);
    }
    std::vector<uint8_t> log = ReadBytes(kLogFilePath);
    EXPECT_NE(std::string(log.begin(), log.end()).find("->6\r\n"), std::string::npos);
}

TEST_F(SessionTest, MoreLinesThanAskedForIsAFailureNotAWrite)
{
    for (short extra : {short(1), short(20000)}) {
        SCOPED_TRACE(extra);
        TraceRecorder::Messages().clear();
        Control().overCount = extra;
        EXPECT_EQ(Scan(), SCAN_GENERAL_FAILURE);
        EXPECT_FALSE(file_.Exists());
        EXPECT_EQ(Control().blockCalls, 1);
        ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
        EXPECT_EQ(TraceRecorder::Messages()[0].text,
                  "coding error in scanner.cpp::SetErroecode()->unknow code");
    }
}

TEST_F(SessionTest, EndOfPageValueEndsThePageWithoutAMessage)
{
    // 2000 x 300 gray: blocks of 29 lines; the driver says "ended" when asked at line 87.
    Control().pageWidth = 2000;
    Control().pageHeight = 300;
    Control().failAtLine = 60;
    Control().failCode = IO_PAGE_ENDED;
    ASSERT_EQ(Scan(true), SCAN_SUCCESS);
    EXPECT_EQ(Control().blockCalls, 4);
    ExpectPage(2000, 87);
    EXPECT_TRUE(TraceRecorder::Messages().empty());
}

TEST_F(SessionTest, LogStatesTheBlockBufferSize)
{
    Page(MODE_GRAY, 100, 100, 150);
    ASSERT_EQ(Scan(), SCAN_SUCCESS);
    std::vector<uint8_t> log = ReadBytes(kLogFilePath);
    EXPECT_EQ(std::string(log.begin(), log.end()), "scan buffer size 15000 bytes\r\n");
}

} // namespace
