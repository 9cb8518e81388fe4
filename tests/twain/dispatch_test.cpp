// Routing, state gate, condition code and identity copies of DS_Entry.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "support/trace_recorder.h"
#include "twain/dispatch.h"
#include "twain/source_app.h"

extern "C" TW_UINT16 WINAPI DS_Entry(pTW_IDENTITY, TW_UINT32, TW_UINT16, TW_UINT16, TW_MEMREF);

namespace {

class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        theApp.twainState = 0;
        theApp.conditionCode = TWCC_SUCCESS;
        theApp.conditionReserved = 0;
        theApp.pendingCount = -1;
        memset(data, 0, sizeof(data));
    }

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* pData = nullptr)
    {
        return DS_Entry(&origin, dg, dat, msg, pData ? pData : data);
    }

    std::vector<std::string>& Traces() { return TraceRecorder::Traces(); }

    TraceRecorder recorder;
    TW_IDENTITY origin = {};
    alignas(8) unsigned char data[1024];
};

// Every triplet the source answers, with the handler and the states it accepts,
// written out independently of the routing table.
struct ExpectedRoute {
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;
    TripletHandler handler;
    StateGate gate;
};

const ExpectedRoute kExpectedRoutes[] = {
    {DG_CONTROL, DAT_NULL, MSG_GET, OnNull, StateGate::Any},
    {DG_CONTROL, DAT_NULL, 0x7777, OnNull, StateGate::Any},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GET, OnCapability, StateGate::From4},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, OnCapability, StateGate::From4},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETDEFAULT, OnCapability, StateGate::From4},
    {DG_CONTROL, DAT_CAPABILITY, MSG_SET, OnCapability, StateGate::Exactly4},
    {DG_CONTROL, DAT_CAPABILITY, MSG_RESET, OnCapability, StateGate::From4},
    {DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, OnQuerySupport, StateGate::Any},
    {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, OnProcessEvent, StateGate::From5},
    {DG_CONTROL, DAT_IDENTITY, MSG_GET, OnIdentityGet, StateGate::Any},
    {DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, OnOpenDS, StateGate::Any},
    {DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, OnCloseDS, StateGate::Any},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, OnPendingXfers, StateGate::From4},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, OnPendingXfers, StateGate::PendingEnd},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, OnPendingXfers, StateGate::PendingEnd},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, OnSetupMemXfer, StateGate::From4},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, OnSetupFileXfer, StateGate::From4},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETDEFAULT, OnSetupFileXfer, StateGate::From4},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, OnSetupFileXfer, StateGate::From4},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, OnSetupFileXfer, StateGate::From4},
    {DG_CONTROL, DAT_STATUS, MSG_GET, OnStatus, StateGate::Any},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, OnEnableDS, StateGate::Exactly4},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, OnDisableDS, StateGate::InHandler},
    {DG_CONTROL, DAT_XFERGROUP, MSG_GET, OnXferGroup, StateGate::From4},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_GET, OnImageInfo, StateGate::From5},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, OnImageLayout, StateGate::From4},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETDEFAULT, OnImageLayout, StateGate::From4},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, OnImageLayout, StateGate::From4},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, OnImageLayout, StateGate::From4},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, OnImageMemXfer, StateGate::From5},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, OnImageNativeXfer, StateGate::Exactly6},
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, OnImageFileXfer, StateGate::Exactly6},
    {DG_IMAGE, DAT_CIECOLOR, MSG_GET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_GRAYRESPONSE, MSG_SET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_GRAYRESPONSE, MSG_RESET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_RGBRESPONSE, MSG_SET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_RGBRESPONSE, MSG_RESET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GETDEFAULT, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_SET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_RESET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_PALETTE8, MSG_GET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_PALETTE8, MSG_GETDEFAULT, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_PALETTE8, MSG_SET, OnUnsupported, StateGate::Any},
    {DG_IMAGE, DAT_PALETTE8, MSG_RESET, OnUnsupported, StateGate::Any},
};

TEST_F(DispatchTest, EveryListedTripletReachesItsHandlerWithItsGate)
{
    for (const ExpectedRoute& expected : kExpectedRoutes) {
        SCOPED_TRACE(testing::Message() << std::hex << "DG " << expected.dg << " DAT "
                                        << expected.dat << " MSG " << expected.msg);
        const Route* route = FindRoute(expected.dg, expected.dat, expected.msg);
        ASSERT_NE(route, nullptr);
        EXPECT_EQ(route->handler, expected.handler);
        EXPECT_EQ(route->gate, expected.gate);
    }
    // The table holds nothing beyond the listed triplets (DAT_NULL counts once).
    EXPECT_EQ(kRouteCount, static_cast<int>(sizeof(kExpectedRoutes) / sizeof(kExpectedRoutes[0])) - 1);
}

struct ExpectedMiss {
    TW_UINT32 dg;
    TW_UINT16 dat;
    TW_UINT16 msg;
    const char* text;  // nullptr: no trace at all
};

const ExpectedMiss kExpectedMisses[] = {
    {3, DAT_IDENTITY, MSG_GET, "unknown DG_xxx"},
    {0, DAT_STATUS, MSG_GET, "unknown DG_xxx"},
    {0x10001, DAT_STATUS, MSG_GET, "unknown DG_xxx"},
    {DG_CONTROL, DAT_PARENT, MSG_OPENDSM, "control DAT_xxxx error"},
    {DG_CONTROL, DAT_IMAGEINFO, MSG_GET, "control DAT_xxxx error"},
    {DG_IMAGE, DAT_STATUS, MSG_GET, "IMAGE DAT_xxxx error"},
    {DG_IMAGE, 0x0199, MSG_GET, "IMAGE DAT_xxxx error"},
    {DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, "CONTROL_IDENTITY_xxxx errror"},
    {DG_CONTROL, DAT_CAPABILITY, MSG_GETFIRST, "CONTROL_CAPABILITY_xxxx errror"},
    {DG_CONTROL, DAT_EVENT, MSG_GET, "CONTROL_EVENT_xxxx errror"},
    {DG_CONTROL, DAT_PENDINGXFERS, MSG_SET, "CONTROL_PENDINGXFERS_xxxx errror"},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GETDEFAULT, nullptr},
    {DG_CONTROL, DAT_SETUPMEMXFER, MSG_SET, nullptr},
    {DG_CONTROL, DAT_SETUPFILEXFER, MSG_GETCURRENT, "CONTROL_SETUPFILEXFER_xxxx errror"},
    {DG_CONTROL, DAT_STATUS, MSG_SET, "CONTROL_STATUS_xxxx errror"},
    {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDSUIONLY, "CONTROL_USERINTERFACE_xxxx errror"},
    {DG_CONTROL, DAT_XFERGROUP, MSG_SET, "CONTROL_XFERGROUP_xxxx errror"},
    {DG_IMAGE, DAT_CIECOLOR, MSG_SET, "IMAGE_CIECOLOR_xxx error"},
    {DG_IMAGE, DAT_GRAYRESPONSE, MSG_GET, "IMAGE_GRAYRESPONSE_xxx error"},
    {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_SET, "IMAGE_IMAGEFILEXFER_xxx error"},
    {DG_IMAGE, DAT_IMAGEINFO, MSG_SET, "IMAGE_IMAGEINFO_xxx error"},
    {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GETCURRENT, "IMAGE_IMAGELAYOUT_xxx error"},
    {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_SET, "IMAGE_IMAGEMEMXFER_xxx error"},
    {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_RESET, "IMAGE_IMAGENATIVEXFER_xxx error"},
    {DG_IMAGE, DAT_JPEGCOMPRESSION, MSG_GETCURRENT, "IMAGE_JPEGCOMPRESSION_xxx error"},
    {DG_IMAGE, DAT_PALETTE8, MSG_GETCURRENT, "IMAGE_PALETTE8_xxx error"},
    {DG_IMAGE, DAT_RGBRESPONSE, MSG_GET, "IMAGE_RGBRESPONSE_xxx error"},
};

TEST_F(DispatchTest, RoutingMissesTraceTheirTextAndKeepTheConditionCode)
{
    for (const ExpectedMiss& miss : kExpectedMisses) {
        SCOPED_TRACE(testing::Message() << std::hex << "DG " << miss.dg << " DAT " << miss.dat
                                        << " MSG " << miss.msg);
        Traces().clear();
        theApp.twainState = 6;
        theApp.conditionCode = TWCC_BADCAP;
        EXPECT_EQ(Call(miss.dg, miss.dat, miss.msg), TWRC_FAILURE);
        EXPECT_EQ(theApp.conditionCode, TWCC_BADCAP);
        if (miss.text) {
            ASSERT_EQ(Traces().size(), 1u);
            EXPECT_EQ(Traces()[0], miss.text);
        } else {
            EXPECT_TRUE(Traces().empty());
        }
    }
}

TEST_F(DispatchTest, DatNullFailsSilentlyInAnyState)
{
    theApp.conditionCode = TWCC_BADVALUE;
    for (int state = 0; state <= 7; ++state) {
        theApp.twainState = static_cast<int16_t>(state);
        EXPECT_EQ(Call(DG_CONTROL, DAT_NULL, MSG_GET), TWRC_FAILURE);
    }
    EXPECT_EQ(theApp.conditionCode, TWCC_BADVALUE);
    EXPECT_TRUE(Traces().empty());
}

// The states each gate accepts, written out as the protocol table gives them.
bool GateAccepts(StateGate gate, int state, int pending)
{
    switch (gate) {
    case StateGate::Any: return true;
    case StateGate::From4: return state >= 4;
    case StateGate::Exactly4: return state == 4;
    case StateGate::From5: return state >= 5;
    case StateGate::Exactly6: return state == 6;
    case StateGate::PendingEnd: return pending != 0 ? state >= 6 : state >= 5;
    case StateGate::InHandler: return true;
    }
    return false;
}

TEST_F(DispatchTest, StateGateRejectsWithSequenceErrorAndNoOtherEffect)
{
    for (const ExpectedRoute& route : kExpectedRoutes) {
        if (route.gate == StateGate::Any || route.gate == StateGate::InHandler)
            continue;
        for (int pending : {-1, 0, 1}) {
            for (int state = 0; state <= 7; ++state) {
                if (GateAccepts(route.gate, state, pending))
                    continue;
                SCOPED_TRACE(testing::Message() << std::hex << "DAT " << route.dat << " MSG "
                                                << route.msg << std::dec << " state " << state
                                                << " pending " << pending);
                Traces().clear();
                memset(data, 0xA5, sizeof(data));
                theApp.twainState = static_cast<int16_t>(state);
                theApp.pendingCount = static_cast<int16_t>(pending);
                theApp.conditionCode = TWCC_SUCCESS;
                EXPECT_EQ(Call(route.dg, route.dat, route.msg), TWRC_FAILURE);
                EXPECT_EQ(theApp.conditionCode, TWCC_SEQERROR);
                EXPECT_EQ(theApp.twainState, state);
                EXPECT_EQ(theApp.pendingCount, pending);
                EXPECT_TRUE(Traces().empty());
                EXPECT_EQ(data[0], 0xA5);
            }
        }
    }
}

TEST_F(DispatchTest, StateGateFollowsThePendingCount)
{
    theApp.pendingCount = 0;
    theApp.twainState = 5;
    EXPECT_TRUE(StateGateAccepts(StateGate::PendingEnd));
    theApp.pendingCount = 2;
    EXPECT_FALSE(StateGateAccepts(StateGate::PendingEnd));
    theApp.twainState = 7;
    EXPECT_TRUE(StateGateAccepts(StateGate::PendingEnd));
}

TEST_F(DispatchTest, StatusReportsTheCodeOnceThenSuccess)
{
    theApp.SetCondition(TWCC_BADVALUE);
    theApp.conditionReserved = 0;
    TW_STATUS status = {0xFFFF, 0xFFFF};
    EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_BADVALUE);
    EXPECT_EQ(status.Reserved, 0);
    EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_SUCCESS);
}

TEST_F(DispatchTest, SuccessfulTripletsLeaveAnEarlierConditionCode)
{
    // Unsupported operation: BADPROTOCOL in any state, even before the source is open.
    theApp.twainState = 0;
    EXPECT_EQ(Call(DG_IMAGE, DAT_CIECOLOR, MSG_GET), TWRC_FAILURE);
    EXPECT_EQ(theApp.conditionCode, TWCC_BADPROTOCOL);
    theApp.twainState = 4;
    TW_UINT32 group = 0;
    EXPECT_EQ(Call(DG_CONTROL, DAT_XFERGROUP, MSG_GET, &group), TWRC_SUCCESS);
    EXPECT_EQ(group, DG_IMAGE);
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT), TWRC_SUCCESS);
    TW_STATUS status = {};
    EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_BADPROTOCOL);
}

TEST_F(DispatchTest, QuerySupportBeforeOpenTouchesNothing)
{
    memset(data, 0x5A, sizeof(data));
    EXPECT_EQ(Call(DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT), TWRC_SUCCESS);
    for (unsigned char byte : data)
        ASSERT_EQ(byte, 0x5A);
}

TEST_F(DispatchTest, AnyOpenMessageCopiesBothIdentitiesEvenOnARoutingMiss)
{
    TW_IDENTITY host = {};
    strcpy(host.ProductName, "Some Host");
    host.Id = 77;
    TW_IDENTITY source = {};
    strcpy(source.ProductName, "Zureruri Zedu");
    source.Id = 5;
    EXPECT_EQ(DS_Entry(&host, 9, 0x4444, MSG_OPENDS, &source), TWRC_FAILURE);
    EXPECT_EQ(memcmp(&theApp.appIdentity, &host, sizeof(host)), 0);
    EXPECT_EQ(memcmp(&theApp.sourceIdentity, &source, sizeof(source)), 0);
    ASSERT_EQ(Traces().size(), 1u);
    EXPECT_EQ(Traces()[0], "unknown DG_xxx");

    // Another message with the same pointers copies nothing.
    TW_IDENTITY other = {};
    strcpy(other.ProductName, "Other");
    DS_Entry(&other, DG_CONTROL, DAT_IDENTITY, MSG_GET, data);
    EXPECT_STREQ(theApp.appIdentity.ProductName, "Some Host");
}

TEST_F(DispatchTest, NullPointersFromTheManagerDoNotCrash)
{
    TW_IDENTITY source = {};
    strcpy(source.ProductName, "Zureruri Zedu");
    strcpy(theApp.appIdentity.ProductName, "kept");
    EXPECT_EQ(DS_Entry(nullptr, 9, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_FAILURE);
    EXPECT_STREQ(theApp.appIdentity.ProductName, "kept");
    EXPECT_EQ(DS_Entry(nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, nullptr), TWRC_FAILURE);
    theApp.twainState = 4;
    EXPECT_EQ(DS_Entry(nullptr, DG_CONTROL, DAT_XFERGROUP, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_GET, nullptr), TWRC_FAILURE);
}

TEST_F(DispatchTest, IdentityIsAnsweredInEveryState)
{
    for (int state = 0; state <= 7; ++state) {
        theApp.twainState = static_cast<int16_t>(state);
        TW_IDENTITY identity;
        memset(&identity, 0xCC, sizeof(identity));
        ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
        EXPECT_EQ(identity.Id, 0u);
        EXPECT_EQ(identity.Version.MajorNum, 1);
        EXPECT_EQ(identity.Version.MinorNum, 0);
        EXPECT_EQ(identity.Version.Language, TWLG_USA);
        EXPECT_EQ(identity.Version.Country, TWCY_USA);
        EXPECT_STREQ(identity.Version.Info, "1.00");
        EXPECT_EQ(identity.ProtocolMajor, 1);
        EXPECT_EQ(identity.ProtocolMinor, 5);
        EXPECT_EQ(identity.SupportedGroups, 3u);
        EXPECT_STREQ(identity.Manufacturer, "Norvale Inc.");
        EXPECT_STREQ(identity.ProductFamily, "Vantor");
        EXPECT_STREQ(identity.ProductName, "Zureruri Zedu");
    }
}

}  // namespace
