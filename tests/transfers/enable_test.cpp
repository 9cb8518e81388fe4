// Enabling and disabling the source, the notifications posted to the host and
// their translation by the event filter.
#include "source_fixture.h"

namespace {

using EnableTest = OpenSource;

TEST_F(EnableTest, WithoutUserInterfaceTheTransferIsReadyAtOnce)
{
    TW_USERINTERFACE ui = {};
    ui.ShowUI = FALSE;
    ui.ModalUI = FALSE;
    ui.hParent = window;
    ASSERT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_SUCCESS);
    EXPECT_EQ(ui.ModalUI, TRUE);
    EXPECT_EQ(theApp.twainState, 6);
    EXPECT_EQ(theApp.pendingCount, -1);   // the device feeds paper out: count unknown
    EXPECT_EQ(theApp.xferCount, -1);
    EXPECT_EQ(theTransfer.imageWidth, 100);
    EXPECT_EQ(theTransfer.imageHeight, 60);
    EXPECT_EQ(driver.Calls(), "IO_StartScan;IO_IsCapableOf;IO_GetPageDimension;");

    auto posted = TakeMessages();
    ASSERT_EQ(posted.size(), 1u);
    TW_EVENT event = {&posted[0], 0xFFFF};
    EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), TWRC_DSEVENT);
    EXPECT_EQ(event.TWMessage, MSG_XFERREADY);
}

TEST_F(EnableTest, TheEventFilterLooksOnlyAtTheMessageNumber)
{
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    MSG msg = {};
    msg.hwnd = nullptr;   // the addressee is not examined
    const struct {
        UINT number;
        TW_UINT16 result, twMessage;
    } cases[] = {
        {WM_KEYUP, TWRC_DSEVENT, MSG_XFERREADY},
        {WM_CHAR, TWRC_DSEVENT, MSG_CLOSEDSREQ},
        {WM_KEYDOWN, TWRC_NOTDSEVENT, MSG_NULL},
        {WM_PAINT, TWRC_NOTDSEVENT, MSG_NULL},
    };
    for (const auto& c : cases) {
        msg.message = c.number;
        TW_EVENT event = {&msg, 0x7777};
        EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event), c.result) << c.number;
        EXPECT_EQ(event.TWMessage, c.twMessage) << c.number;
    }
    TW_EVENT noMessage = {nullptr, 0x7777};
    EXPECT_EQ(Call(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &noMessage), TWRC_NOTDSEVENT);
}

TEST_F(EnableTest, ADeviceThatIsNotReadyIsReportedAndAsksToBeClosed)
{
    const struct {
        int started;
        const char* message;
    } cases[] = {
        {-1, "Scanning is aborted due to I/O port busy!"},
        {0, "Scanning is aborted due to scanner either not powered on or not connected to the "
            "PC properly.\n\nPlease check the hardware and try again."},
    };
    for (const auto& c : cases) {
        TraceRecorder::Messages().clear();
        driver.Control().startScan = c.started;
        ASSERT_EQ(Enable(), TWRC_SUCCESS);
        EXPECT_EQ(theApp.twainState, 5);
        ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
        EXPECT_EQ(TraceRecorder::Messages()[0].text, c.message);
        EXPECT_TRUE(TraceRecorder::Messages()[0].type & MB_ICONEXCLAMATION);
        auto posted = TakeMessages();
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_CHAR));

        TW_USERINTERFACE ui = {};
        ui.hParent = window;
        driver.Control().ClearCalls();
        EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_SUCCESS);
        EXPECT_EQ(driver.Calls(), "IO_EndScan;");
        EXPECT_EQ(theApp.twainState, 4);
    }
}

TEST_F(EnableTest, AFailedDimensionQueryIsAGeneralFailure)
{
    driver.Control().getPageDimension = 0;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.twainState, 5);
    ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
    EXPECT_EQ(TraceRecorder::Messages()[0].text.rfind("Scanning is aborted due to scanner", 0), 0u);
}

TEST_F(EnableTest, UnknownStartAnswerCountsAsReady)
{
    driver.Control().startScan = 7;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.twainState, 6);
    ASSERT_FALSE(TraceRecorder::Traces().empty());
    EXPECT_EQ(TraceRecorder::Traces().back(), "coding error 96111312");
}

TEST_F(EnableTest, ZeroSizeFromTheDriverIsWorkedOutFromTheArea)
{
    driver.Control().pageWidth = -1;   // the driver reports 0 x 0
    driver.Control().pageHeight = -1;
    theApp.settings.resolution = 300;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(theTransfer.imageWidth, 300);
    EXPECT_EQ(theTransfer.imageHeight, 180);
}

TEST_F(EnableTest, ADeviceThatCannotFeedGivesOneTransfer)
{
    driver.Control().capableFeedOut = 0;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.pendingCount, 1);
    TW_PENDINGXFERS pending = {0, 0xABCDEF};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending), TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 1);
    EXPECT_EQ(pending.Reserved, 0xABCDEFu);  // only Count is written
}

TEST_F(EnableTest, DisableOutOfTurnStillStopsTheDevice)
{
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    ASSERT_EQ(theApp.twainState, 6);
    driver.Control().ClearCalls();
    TW_USERINTERFACE ui = {};
    EXPECT_EQ(Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    EXPECT_EQ(driver.Calls(), "IO_EndScan;");
    EXPECT_EQ(theApp.twainState, 6);
}

class PageManagerEnable : public OpenSource {
    const char* HostName() const override { return "pagemanager"; }
};

TEST_F(PageManagerEnable, CountIsUnknownWhateverTheDeviceSays)
{
    driver.Control().capableFeedOut = 0;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.pendingCount, -1);
}

class ServerWindowHost : public OpenSource {
    const char* WindowClass() const override { return "ServerW32Class"; }
};

TEST_F(ServerWindowHost, ColourIsForcedToBlackAndWhite)
{
    theApp.settings.mode = MODE_COLOR;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.mode, MODE_BW);
    TW_CAPABILITY cap = {ICAP_PIXELTYPE, 0, nullptr};
    ASSERT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap), TWRC_SUCCESS);
    auto* one = static_cast<pTW_ONEVALUE>(GlobalLock(cap.hContainer));
    EXPECT_EQ(one->Item, static_cast<TW_UINT32>(TWPT_BW));
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
}

}  // namespace
