// Memory transfers: strips sized from the host's buffer, top-down rows in
// red-green-blue order, the end of an image, and the hosts with rules of their own.
#include "source_fixture.h"

#include "ui/progress_dialog.h"

namespace {

class MemoryXfer : public OpenSource {
protected:
    // Enables without a user interface and drops the transfer-ready message.
    void EnableForTransfer()
    {
        ASSERT_EQ(Enable(), TWRC_SUCCESS);
        ASSERT_EQ(theApp.twainState, 6);
        TakeMessages();
        driver.Control().ClearCalls();
    }

    TW_UINT16 Strip(std::vector<uint8_t>& buffer, TW_IMAGEMEMXFER* xfer)
    {
        *xfer = TW_IMAGEMEMXFER{};
        xfer->Memory.Flags = TWMF_APPOWNS | TWMF_POINTER;
        xfer->Memory.Length = static_cast<TW_UINT32>(buffer.size());
        xfer->Memory.TheMem = buffer.data();
        return Call(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, xfer);
    }

    // Checks rows of a strip against the served page (top-down, RGB for colour).
    void ExpectRows(const std::vector<uint8_t>& buffer, const TW_IMAGEMEMXFER& xfer, int mode)
    {
        for (TW_UINT32 r = 0; r < xfer.Rows; ++r) {
            const int y = static_cast<int>(xfer.YOffset + r);
            const uint8_t* row = &buffer[r * xfer.BytesPerRow];
            for (int x = 0; x < static_cast<int>(xfer.Columns); x += 7) {
                if (mode == MODE_COLOR) {
                    ASSERT_EQ(row[3 * x + 0], TestPagePixel(mode, x, y, 0)) << x << "," << y;
                    ASSERT_EQ(row[3 * x + 1], TestPagePixel(mode, x, y, 1)) << x << "," << y;
                    ASSERT_EQ(row[3 * x + 2], TestPagePixel(mode, x, y, 2)) << x << "," << y;
                } else {
                    ASSERT_EQ(row[x], TestPagePixel(mode, x, y, 0)) << x << "," << y;
                }
            }
        }
    }
};

TEST_F(MemoryXfer, StripsFollowTheBufferAndTheLastIsShorter)
{
    driver.Control().pageWidth = 100;
    driver.Control().pageHeight = 1000;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 100);  // room for 100 rows: 99 per strip
    TW_IMAGEMEMXFER xfer;
    std::vector<TW_UINT32> rows;
    TW_UINT16 rc;
    do {
        rc = Strip(buffer, &xfer);
        ASSERT_TRUE(rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) << rc;
        EXPECT_EQ(xfer.BytesPerRow, 100u);
        EXPECT_EQ(xfer.Columns, 100u);
        EXPECT_EQ(xfer.BytesWritten, xfer.Rows * 100);
        EXPECT_EQ(xfer.YOffset, 99u * rows.size());
        ExpectRows(buffer, xfer, MODE_GRAY);
        rows.push_back(xfer.Rows);
    } while (rc == TWRC_SUCCESS && rows.size() < 20);
    EXPECT_EQ(rc, TWRC_XFERDONE);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows.back(), 10u);
    EXPECT_EQ(theApp.twainState, 6);   // the transfer leaves the state alone
    const std::string calls = driver.Calls();
    EXPECT_EQ(calls.substr(calls.size() - strlen("IO_FeedPage;IO_EndScanPage;")),
              "IO_FeedPage;IO_EndScanPage;");

    // The end of an image posts the nudge; MSG_ENDXFER then ends the transfers.
    auto posted = TakeMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(posted[0].wParam, 0x30u);
    EXPECT_EQ(posted[0].lParam, 2);
    TW_PENDINGXFERS pending = {};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 0);
    EXPECT_EQ(theApp.twainState, 5);
}

TEST_F(MemoryXfer, ColourRowsArriveTopDownInRedGreenBlue)
{
    theApp.settings.mode = MODE_COLOR;
    EnableForTransfer();
    std::vector<uint8_t> buffer(300 * 25);
    TW_IMAGEMEMXFER xfer;
    TW_UINT16 rc;
    int strips = 0;
    do {
        rc = Strip(buffer, &xfer);
        ASSERT_NE(rc, TWRC_FAILURE);
        ExpectRows(buffer, xfer, MODE_COLOR);
        ++strips;
    } while (rc == TWRC_SUCCESS);
    EXPECT_EQ(rc, TWRC_XFERDONE);
    EXPECT_EQ(strips, 3);  // 25 rows fit and 60 is no multiple of 25: 25 + 25 + 10
}

TEST_F(MemoryXfer, APageEndingAtOnceGivesOneBlankRow)
{
    driver.Control().linesAvailable = 0;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 30, 0xEE);
    TW_IMAGEMEMXFER xfer;
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_XFERDONE);
    EXPECT_EQ(xfer.Rows, 1u);
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(buffer[i], 0);
}

TEST_F(MemoryXfer, AFailedReadEndsTheImageWithoutNudge)
{
    driver.Control().failAtLine = 20;
    driver.Control().failCode = -6;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 30);
    TW_IMAGEMEMXFER xfer;
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
    EXPECT_TRUE(TakeMessages().empty());
    EXPECT_NE(driver.Calls().find("IO_FeedPage;IO_EndScanPage;"), std::string::npos);
    EXPECT_TRUE(IsWindowEnabled(window));

    // The next request starts a new image.
    driver.Control().failAtLine = -1;
    driver.Control().ClearCalls();
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);
    EXPECT_EQ(xfer.YOffset, 0u);
    EXPECT_EQ(driver.Calls().find("IO_IsCalibrationNeeded;IO_StartScanPage;"), 0u);
}

TEST_F(MemoryXfer, AFailedPageStartIsReportedAndThePageClosed)
{
    driver.Control().startScanPage = 0;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 30);
    TW_IMAGEMEMXFER xfer;
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_OPERATIONERROR);
    EXPECT_EQ(driver.Calls(),
              "IO_IsCalibrationNeeded;IO_StartScanPage;IO_FeedPage;IO_EndScanPage;");
}

TEST_F(MemoryXfer, ABufferTooSmallForAStripIsRefusedAndThePageClosed)
{
    EnableForTransfer();
    std::vector<uint8_t> buffer(150);  // one row and a half
    TW_IMAGEMEMXFER xfer;
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_NE(driver.Calls().find("IO_EndScanPage;"), std::string::npos);
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST_F(MemoryXfer, AnImageGivenUpHalfwayStillClosesItsPage)
{
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 30);
    TW_IMAGEMEMXFER xfer;
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);
    EXPECT_EQ(driver.Calls().find("IO_EndScanPage;"), std::string::npos);
    TW_PENDINGXFERS pending = {};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending), TWRC_SUCCESS);
    EXPECT_NE(driver.Calls().find("IO_FeedPage;IO_EndScanPage;"), std::string::npos);
    EXPECT_EQ(theApp.twainState, 5);
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST_F(MemoryXfer, ClosingInTheMiddleOfAnImageClosesItsPageFirst)
{
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 30);
    TW_IMAGEMEMXFER xfer;
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);
    // The fixture's close comes without MSG_DISABLEDS: the page must not stay open.
    EXPECT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
    const std::string calls = driver.Calls();
    EXPECT_EQ(calls.substr(calls.size() - strlen("IO_FeedPage;IO_EndScanPage;")),
              "IO_FeedPage;IO_EndScanPage;");
    EXPECT_TRUE(theTransfer.mem.newImage);
}

TEST_F(MemoryXfer, CalibrationIsRunAndTheUserPromptedWhenTheDeviceAsks)
{
    driver.Control().isCalibrationNeeded = 1;
    theApp.settings.paperSource = -2;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 100);
    TW_IMAGEMEMXFER xfer;
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_XFERDONE);
    EXPECT_EQ(driver.Control().lastCalibrateArgument, -2);
    ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
    EXPECT_EQ(TraceRecorder::Messages()[0].text,
              "Please insert the item to be scanned into the scanner printed face-up now.");
    EXPECT_EQ(TraceRecorder::Messages()[0].title, "");
}

TEST_F(MemoryXfer, CancelInTheProgressWindowStillFillsTheStrip)
{
    theApp.showIndicators = 1;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 10);
    TW_IMAGEMEMXFER xfer;
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);
    ASSERT_NE(theTransfer.mem.progressWindow, nullptr);
    PostMessageA(theTransfer.mem.progressWindow->Window(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_CANCEL);
    EXPECT_EQ(xfer.Rows, 9u);
    EXPECT_EQ(xfer.YOffset, 9u);
    ExpectRows(buffer, xfer, MODE_GRAY);
    EXPECT_EQ(theApp.pendingCount, 0);
    EXPECT_EQ(theTransfer.mem.progressWindow, nullptr);
    EXPECT_NE(driver.Calls().find("IO_FeedPage;IO_EndScanPage;"), std::string::npos);
}

class PhotoEditorXfer : public MemoryXfer {
    const char* HostName() const override { return "Microsoft Photo Editor"; }
};

TEST_F(PhotoEditorXfer, EveryStripIsPaddedToFullHeightWithZeroRows)
{
    driver.Control().linesAvailable = 15;
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 13, 0xEE);  // 13 rows per strip
    TW_IMAGEMEMXFER xfer;
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);
    EXPECT_EQ(xfer.Rows, 13u);
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_SUCCESS);  // 2 rows read, 13 reported
    EXPECT_EQ(xfer.Rows, 13u);
    EXPECT_EQ(xfer.YOffset, 13u);
    EXPECT_EQ(xfer.BytesWritten, 1300u);
    // Top-down: the rows read come first, the zero rows after them.
    EXPECT_EQ(buffer[1], TestPagePixel(MODE_GRAY, 1, 13, 0));
    EXPECT_EQ(buffer[101], TestPagePixel(MODE_GRAY, 1, 14, 0));
    for (int i = 200; i < 1300; ++i)
        ASSERT_EQ(buffer[i], 0) << i;
}

class PageManagerXfer : public MemoryXfer {
    const char* HostName() const override { return "PageManager"; }
};

TEST_F(PageManagerXfer, EverySecondImageRequestIsRefused)
{
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 100);
    TW_IMAGEMEMXFER xfer;
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_XFERDONE);
    TW_PENDINGXFERS pending = {};
    ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(static_cast<TW_INT16>(pending.Count), -1);
    EXPECT_EQ(theApp.twainState, 6);
    TakeMessages();

    driver.Control().ClearCalls();
    EXPECT_EQ(Strip(buffer, &xfer), TWRC_CANCEL);
    EXPECT_EQ(theApp.pendingCount, 0);
    EXPECT_EQ(driver.Calls(), "");  // nothing else happens
    EXPECT_EQ(TakeMessages().size(), 1u);
    ASSERT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(theApp.twainState, 5);
}

class TwainTestHost : public MemoryXfer {
    const char* HostName() const override { return "TwainTest"; }
};

TEST_F(TwainTestHost, NoNudgeAfterAnImage)
{
    EnableForTransfer();
    std::vector<uint8_t> buffer(100 * 100);
    TW_IMAGEMEMXFER xfer;
    ASSERT_EQ(Strip(buffer, &xfer), TWRC_XFERDONE);
    EXPECT_TRUE(TakeMessages().empty());
}

}  // namespace
