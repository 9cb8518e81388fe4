// Capability negotiation as a host sees it: the containers it is handed (bytes,
// memory it owns and frees), what MSG_SET and MSG_RESET change, and every failure.
#include "caps_fixture.h"

#include <vector>

#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/capability_container.h"

namespace {

using caps::Host;

// A container as the host reads it out of the block it was handed.
struct Received {
    TW_UINT16 conType = 0;
    TW_UINT16 itemType = 0;
    std::vector<TW_UINT32> values;  // one value: {Item}; range: min, max, step, default, current
    TW_UINT32 currentIndex = 99, defaultIndex = 99;
    SIZE_T blockSize = 0;
};

// Takes the container the way a host does, checking the block is movable global
// memory of the layout's size that the host can lock, read and free.
Received Take(TW_CAPABILITY& cap)
{
    Received r;
    r.conType = cap.ConType;
    HGLOBAL block = cap.hContainer;
    EXPECT_NE(block, nullptr);
    if (!block)
        return r;
    EXPECT_EQ(GlobalFlags(block) & (GMEM_LOCKCOUNT | GMEM_DISCARDED), 0u);  // not left locked
    r.blockSize = GlobalSize(block);
    const TW_UINT8* memory = static_cast<const TW_UINT8*>(GlobalLock(block));
    EXPECT_NE(memory, nullptr);
    if (!memory)
        return r;
    EXPECT_NE(static_cast<const void*>(memory), static_cast<const void*>(block));  // movable
    EXPECT_EQ(GlobalHandle(memory), block);
    memcpy(&r.itemType, memory, 2);
    auto u32 = [&](size_t offset) {
        TW_UINT32 v;
        memcpy(&v, memory + offset, 4);
        return v;
    };
    if (cap.ConType == TWON_ONEVALUE) {
        EXPECT_EQ(r.blockSize, 6u);
        r.values.push_back(u32(2));
    } else if (cap.ConType == TWON_RANGE) {
        EXPECT_EQ(r.blockSize, 22u);
        for (int i = 0; i < 5; ++i)
            r.values.push_back(u32(2 + 4 * i));
    } else if (cap.ConType == TWON_ENUMERATION) {
        const TW_UINT32 count = u32(2);
        r.currentIndex = u32(6);
        r.defaultIndex = u32(10);
        EXPECT_EQ(r.blockSize, 16u + 4u * count);
        for (TW_UINT32 i = 0; i < count && 14 + 2 * i + 2 <= r.blockSize; ++i) {
            TW_UINT16 item;
            memcpy(&item, memory + 14 + 2 * i, 2);
            r.values.push_back(item);
        }
    } else {
        ADD_FAILURE() << "container type " << cap.ConType;
    }
    GlobalUnlock(block);
    EXPECT_EQ(GlobalFree(block), nullptr);
    cap.hContainer = nullptr;
    return r;
}

TW_UINT32 Fix(TW_INT16 whole, TW_UINT16 frac)
{
    return static_cast<TW_UINT16>(whole) | (static_cast<TW_UINT32>(frac) << 16);
}

class CapabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        caps::ResetSourceApp();
        caps::RemoveProfile("Fenwick.INI");
        ASSERT_TRUE(driver.Loaded());
        caps::WriteKey("Drivers", "Driver00", "testdrv_full.dll");
        ASSERT_EQ(host.Open(), TWRC_SUCCESS);
        host.Condition();
        TraceRecorder::Traces().clear();
    }
    void TearDown() override
    {
        SetContainerAllocator(nullptr);
        host.Close();
        caps::ResetSourceApp();
        caps::RemoveProfile("Fenwick.INI");
    }

    // Reads a capability; on success returns what the host received.
    TW_UINT16 Read(TW_UINT16 msg, TW_UINT16 capNumber, Received* received = nullptr)
    {
        TW_CAPABILITY cap = {capNumber, 0, nullptr};
        const TW_UINT16 rc = host.Cap(msg, &cap);
        if (rc == TWRC_SUCCESS) {
            Received r = Take(cap);
            if (received)
                *received = r;
        } else {
            EXPECT_EQ(cap.hContainer, nullptr);
        }
        return rc;
    }

    // Sends a container built by the host and checks it comes back unchanged.
    TW_UINT16 Send(TW_UINT16 capNumber, TW_UINT16 conType, const void* bytes, size_t size)
    {
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
        void* memory = GlobalLock(block);
        memcpy(memory, bytes, size);
        GlobalUnlock(block);
        TW_CAPABILITY cap = {capNumber, conType, block};
        const TW_UINT16 rc = host.Cap(MSG_SET, &cap);
        EXPECT_EQ(cap.Cap, capNumber);
        EXPECT_EQ(cap.ConType, conType);
        EXPECT_EQ(cap.hContainer, block);
        EXPECT_EQ(GlobalFlags(block) & GMEM_LOCKCOUNT, 0u);  // unlocked again
        EXPECT_EQ(GlobalSize(block), size);
        memory = GlobalLock(block);
        EXPECT_EQ(memcmp(memory, bytes, size), 0);
        GlobalUnlock(block);
        EXPECT_EQ(GlobalFree(block), nullptr);
        return rc;
    }

    TW_UINT16 SetOne(TW_UINT16 capNumber, TW_UINT16 itemType, TW_UINT32 item)
    {
        TW_ONEVALUE one = {itemType, item};
        return Send(capNumber, TWON_ONEVALUE, &one, sizeof(one));
    }

    TW_UINT16 SetEnum(TW_UINT16 capNumber, std::vector<TW_UINT16> items, TW_UINT32 current = 0)
    {
        std::vector<TW_UINT8> bytes(14 + 2 * items.size());
        TW_UINT16 type = TWTY_UINT16;
        TW_UINT32 count = static_cast<TW_UINT32>(items.size());
        memcpy(&bytes[0], &type, 2);
        memcpy(&bytes[2], &count, 4);
        memcpy(&bytes[6], &current, 4);
        if (!items.empty())
            memcpy(&bytes[14], items.data(), 2 * items.size());
        return Send(capNumber, TWON_ENUMERATION, bytes.data(), bytes.size());
    }

    TW_UINT16 SetRange(TW_UINT16 capNumber)
    {
        TW_RANGE range = {TWTY_FIX32, Fix(50, 0), Fix(600, 0), Fix(50, 0), Fix(300, 0), Fix(75, 0)};
        return Send(capNumber, TWON_RANGE, &range, sizeof(range));
    }

    // The one value a reading message answers.
    TW_UINT32 Current(TW_UINT16 capNumber)
    {
        Received r;
        EXPECT_EQ(Read(MSG_GETCURRENT, capNumber, &r), TWRC_SUCCESS);
        return r.values.empty() ? 0xDEADBEEF : r.values[0];
    }

    std::vector<std::string>& Traces() { return TraceRecorder::Traces(); }

    TestDriverModule driver{"full"};
    TraceRecorder recorder;
    Host host;
};

// Every capability read with each reading message, written out from the catalogue.
struct ExpectedAnswer {
    TW_UINT16 cap;
    TW_UINT16 msg;
    TW_UINT16 conType;
    TW_UINT16 itemType;
    std::vector<TW_UINT32> values;
};

TEST_F(CapabilityTest, EveryCapabilityAnswersEachReadingMessage)
{
    // State after opening: mode 1 (gray), resolution 300, driver: colour, feeds,
    // resolutions up to 600. xferCount -1, xferMech 2, showIndicators 1.
    const TW_UINT32 ones16 = 0xFFFFFFFF;  // -1 with its sign extension
    const std::vector<TW_UINT32> supported = {
        0x0001, 0x110c, 0x0103, 0x1120, 0x111f, 0x0101, 0x112b, 0x0100, 0x0102, 0x1118,
        0x1119, 0x100e, 0x100b, 0x111c, 0x1112, 0x1111, 0x1002, 0x1007, 0x1003, 0x100f};
    const std::vector<TW_UINT32> resolutionRange = {Fix(50, 0), Fix(600, 0), Fix(50, 0),
                                                    Fix(300, 0), Fix(300, 0)};
    const ExpectedAnswer answers[] = {
        {CAP_XFERCOUNT, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {ones16}},
        {CAP_XFERCOUNT, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {ones16}},
        {CAP_XFERCOUNT, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {ones16}},
        {ICAP_IMAGEFILEFORMAT, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {2}},
        {ICAP_IMAGEFILEFORMAT, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {2}},
        {ICAP_IMAGEFILEFORMAT, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {2}},
        {ICAP_XFERMECH, MSG_GET, TWON_ENUMERATION, TWTY_UINT16, {2, 0, 1}},
        {ICAP_XFERMECH, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {2}},
        {ICAP_XFERMECH, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {2}},
        {ICAP_PLANARCHUNKY, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_PLANARCHUNKY, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_PLANARCHUNKY, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_PIXELFLAVOR, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_PIXELFLAVOR, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_PIXELFLAVOR, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_PIXELTYPE, MSG_GET, TWON_ENUMERATION, TWTY_UINT16, {0, 1, 2}},
        {ICAP_PIXELTYPE, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {TWPT_GRAY}},
        {ICAP_PIXELTYPE, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {TWPT_BW}},
        {ICAP_BITDEPTH, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {8}},
        {ICAP_BITDEPTH, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {8}},
        {ICAP_BITDEPTH, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {8}},
        {ICAP_COMPRESSION, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_COMPRESSION, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_COMPRESSION, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_UNITS, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_UNITS, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_UNITS, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {0}},
        {ICAP_XRESOLUTION, MSG_GET, TWON_RANGE, TWTY_FIX32, resolutionRange},
        {ICAP_XRESOLUTION, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_FIX32, {Fix(300, 0)}},
        {ICAP_XRESOLUTION, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_FIX32, {Fix(300, 0)}},
        {ICAP_YRESOLUTION, MSG_GET, TWON_RANGE, TWTY_FIX32, resolutionRange},
        {ICAP_YRESOLUTION, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_FIX32, {Fix(300, 0)}},
        {ICAP_YRESOLUTION, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_FIX32, {Fix(300, 0)}},
        {CAP_UICONTROLLABLE, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {CAP_UICONTROLLABLE, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {CAP_UICONTROLLABLE, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {CAP_INDICATORS, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {CAP_INDICATORS, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {CAP_INDICATORS, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {ICAP_BITORDER, MSG_GET, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {ICAP_BITORDER, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {ICAP_BITORDER, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_UINT16, {1}},
        {ICAP_PHYSICALHEIGHT, MSG_GET, TWON_ONEVALUE, TWTY_FIX32, {Fix(3, 39322)}},
        {ICAP_PHYSICALHEIGHT, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_FIX32, {Fix(3, 39322)}},
        {ICAP_PHYSICALHEIGHT, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_FIX32, {Fix(3, 39322)}},
        {ICAP_PHYSICALWIDTH, MSG_GET, TWON_ONEVALUE, TWTY_FIX32, {Fix(2, 13107)}},
        {ICAP_PHYSICALWIDTH, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_FIX32, {Fix(2, 13107)}},
        {ICAP_PHYSICALWIDTH, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_FIX32, {Fix(2, 13107)}},
        {CAP_FEEDERENABLED, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_FEEDERENABLED, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_FEEDERENABLED, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_AUTOFEED, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_AUTOFEED, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_AUTOFEED, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_FEEDERLOADED, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {0}},
        {CAP_FEEDERLOADED, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_BOOL, {0}},
        {CAP_FEEDERLOADED, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_BOOL, {0}},
        {CAP_DEVICEONLINE, MSG_GET, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_DEVICEONLINE, MSG_GETCURRENT, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_DEVICEONLINE, MSG_GETDEFAULT, TWON_ONEVALUE, TWTY_BOOL, {1}},
        {CAP_SUPPORTEDCAPS, MSG_GET, TWON_ENUMERATION, TWTY_UINT16, supported},
        {CAP_SUPPORTEDCAPS, MSG_GETCURRENT, TWON_ENUMERATION, TWTY_UINT16, supported},
        {CAP_SUPPORTEDCAPS, MSG_GETDEFAULT, TWON_ENUMERATION, TWTY_UINT16, supported},
    };
    for (const ExpectedAnswer& expected : answers) {
        SCOPED_TRACE(testing::Message() << std::hex << "cap " << expected.cap << " msg "
                                        << expected.msg);
        Received r;
        ASSERT_EQ(Read(expected.msg, expected.cap, &r), TWRC_SUCCESS);
        EXPECT_EQ(r.conType, expected.conType);
        EXPECT_EQ(r.itemType, expected.itemType);
        EXPECT_EQ(r.values, expected.values);
        if (r.conType == TWON_ENUMERATION) {
            // Transfer mechanism: memory is current and default; pixel type: gray
            // is current, black and white the default; supported caps: no current item.
            const TW_UINT32 current = expected.cap == ICAP_PIXELTYPE ? 1u : 0u;
            EXPECT_EQ(r.currentIndex, current);
            EXPECT_EQ(r.defaultIndex, 0u);
        }
    }
    EXPECT_TRUE(Traces().empty());
    EXPECT_EQ(host.Condition(), TWCC_SUCCESS);
}

TEST_F(CapabilityTest, UnknownCapabilitiesFailWithBadCapAndTheMessagesText)
{
    const struct { TW_UINT16 msg; const char* text; } messages[] = {
        {MSG_GET, "Get Bad cap code is 4353"},
        {MSG_GETCURRENT, "GetCurrent Cap fail 4353"},
        {MSG_GETDEFAULT, "GetDefault Cap fail 4353"},
        {MSG_RESET, "ResetSet Cap fail 4353"},
    };
    for (const auto& m : messages) {
        SCOPED_TRACE(m.text);
        Traces().clear();
        TW_CAPABILITY cap = {ICAP_BRIGHTNESS, 0x7777, nullptr};
        EXPECT_EQ(host.Cap(m.msg, &cap), TWRC_FAILURE);
        EXPECT_EQ(cap.ConType, 0x7777);  // untouched
        EXPECT_EQ(host.Condition(), TWCC_BADCAP);
        EXPECT_EQ(Traces(), std::vector<std::string>{m.text});
    }
    // Capabilities outside the catalogue, and those a message does not answer.
    EXPECT_EQ(Read(MSG_GET, ICAP_CONTRAST), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADCAP);
    Traces().clear();
    TW_CAPABILITY cap = {ICAP_COMPRESSION, 0, nullptr};
    EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_FAILURE);
    EXPECT_EQ(Traces(), std::vector<std::string>{"ResetSet Cap fail 256"});
    Traces().clear();
    EXPECT_EQ(SetOne(ICAP_COMPRESSION, TWTY_UINT16, 0), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADCAP);
    EXPECT_EQ(Traces(), std::vector<std::string>{"Set Cap fail 256"});
}

TEST_F(CapabilityTest, DeviceAnswersShapePixelTypesFeederAndResolutionRange)
{
    TestDriverControl& device = driver.Control();
    device.capableColor = 0;
    device.capableFeedOut = 0;
    device.resolutionMax = 150;

    Received r;
    ASSERT_EQ(Read(MSG_GET, ICAP_PIXELTYPE, &r), TWRC_SUCCESS);
    EXPECT_EQ(r.values, (std::vector<TW_UINT32>{0, 1}));
    ASSERT_EQ(Read(MSG_GET, ICAP_XRESOLUTION, &r), TWRC_SUCCESS);
    EXPECT_EQ(r.values[0], Fix(50, 0));
    EXPECT_EQ(r.values[1], Fix(200, 0));  // raised to 200
    EXPECT_EQ(r.values[2], Fix(50, 0));
    ASSERT_EQ(Read(MSG_GET, CAP_FEEDERENABLED, &r), TWRC_SUCCESS);
    EXPECT_EQ(r.values[0], 0u);

    for (TW_UINT16 msg : {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT}) {
        Traces().clear();
        EXPECT_EQ(Read(msg, CAP_FEEDERLOADED), TWRC_FAILURE);
        EXPECT_EQ(host.Condition(), TWCC_BADCAP);
        EXPECT_EQ(Read(msg, CAP_AUTOFEED), TWRC_FAILURE);
        EXPECT_EQ(host.Condition(), TWCC_BADCAP);
    }
    Traces().clear();
    Read(MSG_GET, CAP_FEEDERLOADED);
    EXPECT_EQ(Traces(), std::vector<std::string>{"Get Bad cap code is 4099"});

    // Colour asked of a device without it becomes gray, and the set succeeds.
    EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
    EXPECT_EQ(Current(ICAP_PIXELTYPE), static_cast<TW_UINT32>(TWPT_GRAY));
    EXPECT_EQ(theApp.settings.mode, 1);
    // Feeder enabled only as the device says.
    EXPECT_EQ(SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 0), TWRC_SUCCESS);
    EXPECT_EQ(SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 1), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
}

TEST_F(CapabilityTest, ResolutionSetIsCutAndLimitedForBothDirections)
{
    const struct { TW_INT16 whole; TW_UINT16 frac; int expected; } cases[] = {
        {1200, 0, 600}, {20, 0, 50}, {249, 58982, 249} /* 249.9 */, {600, 0, 600},
        {50, 0, 50}, {-1, 32768, 50} /* -0.5 cuts to 0 */, {-32768, 0, 50}, {32767, 65535, 600},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.whole);
        EXPECT_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, Fix(c.whole, c.frac)), TWRC_SUCCESS);
        EXPECT_EQ(theApp.settings.resolution, c.expected);
    }
    EXPECT_EQ(SetOne(ICAP_YRESOLUTION, TWTY_FIX32, Fix(150, 0)), TWRC_SUCCESS);
    EXPECT_EQ(Current(ICAP_XRESOLUTION), Fix(150, 0));
    // Enumerations and ranges are accepted and change nothing; reset keeps the value.
    EXPECT_EQ(SetEnum(ICAP_XRESOLUTION, {600}), TWRC_SUCCESS);
    EXPECT_EQ(SetRange(ICAP_YRESOLUTION), TWRC_SUCCESS);
    TW_CAPABILITY cap = {ICAP_XRESOLUTION, 0x1234, nullptr};
    EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(cap.ConType, 0x1234);
    EXPECT_EQ(theApp.settings.resolution, 150);
    EXPECT_EQ(host.Condition(), TWCC_SUCCESS);
}

TEST_F(CapabilityTest, PixelTypeAndBitDepthFollowTheImageType)
{
    EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_RGB), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.mode, 4);
    EXPECT_EQ(Current(ICAP_BITDEPTH), 24u);
    // MSG_GET still lists from black and white; the current index follows the type.
    Received r;
    ASSERT_EQ(Read(MSG_GET, ICAP_PIXELTYPE, &r), TWRC_SUCCESS);
    EXPECT_EQ(r.values, (std::vector<TW_UINT32>{TWPT_BW, TWPT_GRAY, TWPT_RGB}));
    EXPECT_EQ(r.currentIndex, 2u);
    EXPECT_EQ(r.defaultIndex, 0u);

    EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, TWPT_BW), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.mode, 2);
    EXPECT_EQ(Current(ICAP_BITDEPTH), 1u);
    EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TWTY_UINT16, 0x0701), TWRC_SUCCESS);  // not a known type
    EXPECT_EQ(theApp.settings.mode, 4);
    // An enumeration sets the type from its first item, not its current index.
    EXPECT_EQ(SetEnum(ICAP_PIXELTYPE, {TWPT_GRAY, TWPT_RGB}, 1), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.mode, 1);
    EXPECT_EQ(SetEnum(ICAP_PIXELTYPE, {0x0100 | TWPT_BW}), TWRC_SUCCESS);  // low byte only
    EXPECT_EQ(theApp.settings.mode, 2);
    EXPECT_EQ(SetEnum(ICAP_PIXELTYPE, {}), TWRC_FAILURE);  // no first item to read
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    EXPECT_EQ(theApp.settings.mode, 2);
    EXPECT_EQ(SetRange(ICAP_PIXELTYPE), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);

    // Reset: black and white; halftone reports as black and white too.
    theApp.settings.mode = 1;
    TW_CAPABILITY cap = {ICAP_PIXELTYPE, 0, nullptr};
    EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.mode, 2);
    theApp.settings.mode = 3;
    EXPECT_EQ(Current(ICAP_PIXELTYPE), static_cast<TW_UINT32>(TWPT_BW));

    // Bit depth is checked against the current pixel type and never changes it.
    theApp.settings.mode = 2;
    Traces().clear();
    EXPECT_EQ(SetOne(ICAP_BITDEPTH, TWTY_UINT16, 8), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    EXPECT_EQ(Traces(), std::vector<std::string>{"Set Cap fail 4395"});
    EXPECT_EQ(SetOne(ICAP_BITDEPTH, TWTY_UINT16, 1), TWRC_SUCCESS);
    theApp.settings.mode = 1;
    EXPECT_EQ(SetOne(ICAP_BITDEPTH, TWTY_UINT16, 8), TWRC_SUCCESS);
    theApp.settings.mode = 4;
    EXPECT_EQ(SetOne(ICAP_BITDEPTH, TWTY_UINT16, 24), TWRC_SUCCESS);
    EXPECT_EQ(SetEnum(ICAP_BITDEPTH, {8}), TWRC_SUCCESS);
    EXPECT_EQ(SetRange(ICAP_BITDEPTH), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADCAP);
    EXPECT_EQ(theApp.settings.mode, 4);
}

TEST_F(CapabilityTest, TransferValuesAreSetAndReset)
{
    EXPECT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 1), TWRC_SUCCESS);
    EXPECT_EQ(theApp.xferCount, 1);
    EXPECT_EQ(theApp.pendingCount, 1);
    EXPECT_EQ(Current(CAP_XFERCOUNT), 1u);
    EXPECT_EQ(SetOne(CAP_XFERCOUNT, TWTY_INT16, 0xABCDFFFE), TWRC_SUCCESS);  // low half only
    EXPECT_EQ(theApp.xferCount, -2);
    EXPECT_EQ(Current(CAP_XFERCOUNT), 0xFFFFFFFEu);
    TW_CAPABILITY cap = {CAP_XFERCOUNT, 0, nullptr};
    EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(theApp.xferCount, -1);
    EXPECT_EQ(theApp.pendingCount, -2);  // reset leaves the pending count
    Traces().clear();
    EXPECT_EQ(SetEnum(CAP_XFERCOUNT, {1}), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    EXPECT_TRUE(Traces().empty());  // this refusal has no text
    EXPECT_EQ(theApp.xferCount, -1);

    EXPECT_EQ(SetOne(ICAP_XFERMECH, TWTY_UINT16, TWSX_NATIVE), TWRC_SUCCESS);
    EXPECT_EQ(Current(ICAP_XFERMECH), 0u);
    EXPECT_EQ(SetOne(ICAP_XFERMECH, TWTY_UINT16, 0xFFFF), TWRC_SUCCESS);  // any value
    EXPECT_EQ(Current(ICAP_XFERMECH), 0xFFFFFFFFu);
    EXPECT_EQ(SetEnum(ICAP_XFERMECH, {TWSX_FILE}), TWRC_SUCCESS);
    EXPECT_EQ(theApp.xferMech, -1);
    EXPECT_EQ(SetRange(ICAP_XFERMECH), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    cap = {ICAP_XFERMECH, 0, nullptr};
    EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(theApp.xferMech, TWSX_MEMORY);

    EXPECT_EQ(SetOne(CAP_INDICATORS, TWTY_BOOL, 0), TWRC_SUCCESS);
    EXPECT_EQ(Current(CAP_INDICATORS), 0u);
    Received r;
    ASSERT_EQ(Read(MSG_GETDEFAULT, CAP_INDICATORS, &r), TWRC_SUCCESS);
    EXPECT_EQ(r.values[0], 1u);
    cap = {CAP_INDICATORS, 0, nullptr};
    EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(theApp.showIndicators, 1);
}

TEST_F(CapabilityTest, RefusalsThatKeepTheConditionCode)
{
    theApp.SetCondition(TWCC_BADPROTOCOL);
    Traces().clear();
    EXPECT_EQ(SetOne(ICAP_PLANARCHUNKY, TWTY_UINT16, 0), TWRC_FAILURE);
    EXPECT_EQ(SetOne(ICAP_PIXELFLAVOR, TWTY_UINT16, 0), TWRC_FAILURE);
    EXPECT_TRUE(Traces().empty());
    EXPECT_EQ(SetOne(ICAP_UNITS, TWTY_UINT16, 0), TWRC_FAILURE);
    EXPECT_EQ(SetEnum(CAP_INDICATORS, {0}), TWRC_FAILURE);
    EXPECT_EQ(Traces(), (std::vector<std::string>{"Set Cap fail 258", "Set Cap fail 4107"}));
    EXPECT_EQ(theApp.showIndicators, 1);
    EXPECT_EQ(host.Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(SetOne(ICAP_UNITS, TWTY_UINT16, 0), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_SUCCESS);

    // Their resets succeed and change nothing.
    for (TW_UINT16 c : {ICAP_PLANARCHUNKY, ICAP_PIXELFLAVOR, ICAP_UNITS, CAP_FEEDERENABLED}) {
        TW_CAPABILITY cap = {c, 0, nullptr};
        EXPECT_EQ(host.Cap(MSG_RESET, &cap), TWRC_SUCCESS);
        EXPECT_EQ(cap.hContainer, nullptr);
    }
}

TEST_F(CapabilityTest, BrightnessIsSetInHundredths)
{
    const struct { TW_INT16 whole; int expected; } cases[] = {
        {250, 2}, {-250, -2}, {99, 0}, {-99, 0}, {1000, 10}, {20000, 100}, {-32768, -100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.whole);
        EXPECT_EQ(SetOne(ICAP_BRIGHTNESS, TWTY_FIX32, Fix(c.whole, 0)), TWRC_SUCCESS);
        EXPECT_EQ(theApp.settings.adjust[0].brightness, c.expected);
    }
    EXPECT_EQ(theApp.settings.adjust[1].brightness, 0);  // only the all-channel block
    EXPECT_EQ(SetEnum(ICAP_BRIGHTNESS, {5}), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.adjust[0].brightness, -100);
    EXPECT_EQ(SetRange(ICAP_BRIGHTNESS), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
}

TEST_F(CapabilityTest, BadContainersFromTheHostFailCleanly)
{
    const ScanSettings before = theApp.settings;

    // No data at all.
    EXPECT_EQ(DS_Entry(&host.Identity(), DG_CONTROL, DAT_CAPABILITY, MSG_GET, nullptr),
              TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    EXPECT_EQ(DS_Entry(&host.Identity(), DG_CONTROL, DAT_CAPABILITY, MSG_SET, nullptr),
              TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);

    // No container, and handles that are not global blocks.
    Traces().clear();
    for (uintptr_t bogus : {uintptr_t(0), uintptr_t(0x12345678), uintptr_t(0x400000010)}) {
        SCOPED_TRACE(bogus);
        TW_CAPABILITY cap = {ICAP_XRESOLUTION, TWON_ONEVALUE, reinterpret_cast<HANDLE>(bogus)};
        EXPECT_EQ(host.Cap(MSG_SET, &cap), TWRC_FAILURE);
        EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
        EXPECT_EQ(cap.hContainer, reinterpret_cast<HANDLE>(bogus));
    }
    EXPECT_EQ(Traces().size(), 3u);
    EXPECT_EQ(Traces()[0], "Set Cap fail 4376");

    // A block too small for its container type.
    TW_UINT16 shortBlock = TWTY_FIX32;
    EXPECT_EQ(Send(ICAP_XRESOLUTION, TWON_ONEVALUE, &shortBlock, sizeof(shortBlock)),
              TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    EXPECT_EQ(Send(ICAP_PIXELTYPE, TWON_ENUMERATION, &shortBlock, sizeof(shortBlock)),
              TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
    // An enumeration claiming items its block does not hold.
    unsigned char header[14] = {TWTY_UINT16, 0, 5, 0, 0, 0};
    EXPECT_EQ(Send(ICAP_PIXELTYPE, TWON_ENUMERATION, header, sizeof(header)), TWRC_FAILURE);

    // One-value items that are not numbers.
    for (int type : {TWTY_FRAME, 0x000a, 0xffff}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(SetOne(ICAP_XRESOLUTION, TW_UINT16(type), Fix(100, 0)), TWRC_FAILURE);
        EXPECT_EQ(host.Condition(), TWCC_BADVALUE);
        EXPECT_EQ(SetOne(ICAP_PIXELTYPE, TW_UINT16(type), TWPT_RGB), TWRC_FAILURE);
    }
    // An unknown container type.
    TW_ONEVALUE one = {TWTY_UINT16, TWPT_RGB};
    EXPECT_EQ(Send(ICAP_PIXELTYPE, TWON_ARRAY, &one, sizeof(one)), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_BADVALUE);

    EXPECT_EQ(memcmp(&before, &theApp.settings, sizeof(before)), 0);
}

TEST_F(CapabilityTest, SetOnlyInStateFourReadsFromFour)
{
    for (int state : {5, 6, 7, 3}) {
        SCOPED_TRACE(state);
        theApp.twainState = static_cast<int16_t>(state);
        Traces().clear();
        EXPECT_EQ(SetOne(ICAP_XRESOLUTION, TWTY_FIX32, Fix(100, 0)), TWRC_FAILURE);
        EXPECT_EQ(host.Condition(), TWCC_SEQERROR);
        EXPECT_TRUE(Traces().empty());
        EXPECT_EQ(theApp.settings.resolution, 300);
        const TW_UINT16 expected = state >= 4 ? TWRC_SUCCESS : TWRC_FAILURE;
        EXPECT_EQ(Read(MSG_GET, ICAP_XRESOLUTION), expected);
        TW_CAPABILITY cap = {CAP_XFERCOUNT, 0, nullptr};
        EXPECT_EQ(host.Cap(MSG_RESET, &cap), expected);
    }
    theApp.twainState = 4;
}

HGLOBAL WINAPI NoMemory(UINT, SIZE_T)
{
    return nullptr;
}

TEST_F(CapabilityTest, NoMemoryForTheContainerFailsWithLowMemory)
{
    SetContainerAllocator(NoMemory);
    for (TW_UINT16 c : {CAP_XFERCOUNT, ICAP_XFERMECH, ICAP_XRESOLUTION}) {
        SCOPED_TRACE(c);
        Traces().clear();
        TW_CAPABILITY cap = {c, 0, reinterpret_cast<HANDLE>(0x1)};
        EXPECT_EQ(host.Cap(MSG_GET, &cap), TWRC_FAILURE);
        EXPECT_NE(cap.ConType, 0);  // already written
        EXPECT_EQ(cap.hContainer, reinterpret_cast<HANDLE>(0x1));
        EXPECT_EQ(host.Condition(), TWCC_LOWMEMORY);
        ASSERT_EQ(Traces().size(), 1u);
    }
}

TEST(Fix32, ConversionsRoundAndCut)
{
    const struct { double value; TW_INT16 whole; TW_UINT16 frac; } cases[] = {
        {2.2, 2, 13107}, {3.6, 3, 39322}, {300, 300, 0}, {0, 0, 0}, {600, 600, 0},
        {0.5, 0, 32768}, {32767, 32767, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const TW_FIX32 fix = FloatToFix32(c.value);
        EXPECT_EQ(fix.Whole, c.whole);
        EXPECT_EQ(fix.Frac, c.frac);
    }
    EXPECT_DOUBLE_EQ(Fix32ToFloat(TW_FIX32{-1, 32768}), -0.5);
    EXPECT_DOUBLE_EQ(Fix32ToFloat(TW_FIX32{249, 32768}), 249.5);
    // Far outside the 32-bit range the result saturates instead of being undefined.
    EXPECT_EQ(FloatToFix32(1e12).Whole, 32767);
    EXPECT_EQ(FloatToFix32(-1e12).Whole, -32768);
}

}  // namespace

// A host that sets a value with a one-value container and reads it back from the
// enumeration of MSG_GET finds the item it set as the current one.
TEST_F(CapabilityTest, EnumerationsPointAtTheItemTheHostSet)
{
    const struct { TW_UINT16 cap; TW_UINT16 value; } sets[] = {
        {ICAP_XFERMECH, TWSX_NATIVE}, {ICAP_XFERMECH, TWSX_FILE},   {ICAP_XFERMECH, TWSX_MEMORY},
        {ICAP_PIXELTYPE, TWPT_BW},    {ICAP_PIXELTYPE, TWPT_RGB},   {ICAP_PIXELTYPE, TWPT_GRAY},
    };
    for (const auto& set : sets) {
        SCOPED_TRACE(testing::Message() << std::hex << "cap " << set.cap << " value " << set.value);
        ASSERT_EQ(SetOne(set.cap, TWTY_UINT16, set.value), TWRC_SUCCESS);
        Received listed, byDefault;
        ASSERT_EQ(Read(MSG_GET, set.cap, &listed), TWRC_SUCCESS);
        ASSERT_EQ(Read(MSG_GETDEFAULT, set.cap, &byDefault), TWRC_SUCCESS);
        ASSERT_LT(listed.currentIndex, listed.values.size());
        ASSERT_LT(listed.defaultIndex, listed.values.size());
        EXPECT_EQ(listed.values[listed.currentIndex], set.value);
        EXPECT_EQ(listed.values[listed.currentIndex], Current(set.cap));
        EXPECT_EQ(listed.values[listed.defaultIndex], byDefault.values.at(0));
    }
    // A mechanism outside the list leaves the current index at the first item.
    ASSERT_EQ(SetOne(ICAP_XFERMECH, TWTY_UINT16, 0x7777), TWRC_SUCCESS);
    Received listed;
    ASSERT_EQ(Read(MSG_GET, ICAP_XFERMECH, &listed), TWRC_SUCCESS);
    EXPECT_EQ(listed.currentIndex, 0u);
}
