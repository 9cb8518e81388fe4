// kestrel.ds seen from outside: load the module, find DS_Entry by name, and
// check what a Source Manager relies on before any source is opened.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include "twain/twain.h"

namespace {

class LoadedSource {
public:
    LoadedSource()
    {
        module_ = LoadLibraryA("kestrel.ds");
        if (module_)
            entry_ = reinterpret_cast<DSENTRYPROC>(GetProcAddress(module_, "DS_Entry"));
    }
    ~LoadedSource()
    {
        if (module_)
            FreeLibrary(module_);
    }
    bool Ready() const { return entry_ != nullptr; }

    TW_UINT16 Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void* data)
    {
        return entry_(&host_, dg, dat, msg, data);
    }
    TW_UINT16 Condition()
    {
        TW_STATUS status = {0xFFFF, 0xFFFF};
        EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
        return status.ConditionCode;
    }

private:
    HMODULE module_ = nullptr;
    DSENTRYPROC entry_ = nullptr;
    TW_IDENTITY host_ = {};
};

TEST(Conformance, IdentityIsAnsweredByAFreshlyLoadedModule)
{
    // A Source Manager loads a source, asks its identity and unloads it, several
    // times per session: each load must answer alike.
    for (int round = 0; round < 3; ++round) {
        LoadedSource source;
        ASSERT_TRUE(source.Ready());
        TW_IDENTITY identity = {};
        ASSERT_EQ(source.Call(DG_CONTROL, DAT_IDENTITY, MSG_GET, &identity), TWRC_SUCCESS);
        EXPECT_STREQ(identity.ProductName, "Zureruri Zedu");
        EXPECT_STREQ(identity.Manufacturer, "Norvale Inc.");
        EXPECT_EQ(identity.SupportedGroups, DG_CONTROL | DG_IMAGE);
        EXPECT_EQ(source.Condition(), TWCC_SUCCESS);
    }
}

TEST(Conformance, NothingButIdentityStatusAndQueriesWorksBeforeOpening)
{
    LoadedSource source;
    ASSERT_TRUE(source.Ready());
    unsigned char data[512] = {};

    struct {
        TW_UINT32 dg;
        TW_UINT16 dat, msg;
    } const needsOpenSource[] = {
        {DG_CONTROL, DAT_CAPABILITY, MSG_GET},
        {DG_CONTROL, DAT_CAPABILITY, MSG_SET},
        {DG_CONTROL, DAT_XFERGROUP, MSG_GET},
        {DG_CONTROL, DAT_PENDINGXFERS, MSG_GET},
        {DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET},
        {DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS},
        {DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT},
        {DG_IMAGE, DAT_IMAGEINFO, MSG_GET},
        {DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET},
        {DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET},
        {DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET},
        {DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET},
    };
    for (const auto& t : needsOpenSource) {
        SCOPED_TRACE(testing::Message() << std::hex << t.dat << "/" << t.msg);
        EXPECT_EQ(source.Call(t.dg, t.dat, t.msg, data), TWRC_FAILURE);
        EXPECT_EQ(source.Condition(), TWCC_SEQERROR);
    }

    EXPECT_EQ(source.Call(DG_CONTROL, DAT_CAPABILITY, MSG_QUERYSUPPORT, data), TWRC_SUCCESS);
    EXPECT_EQ(source.Call(DG_IMAGE, DAT_PALETTE8, MSG_GET, data), TWRC_FAILURE);
    EXPECT_EQ(source.Condition(), TWCC_BADPROTOCOL);
    // A routing miss fails without a condition code of its own.
    EXPECT_EQ(source.Call(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, data), TWRC_FAILURE);
    EXPECT_EQ(source.Condition(), TWCC_SUCCESS);
    EXPECT_EQ(source.Call(DG_CONTROL | DG_IMAGE, DAT_STATUS, MSG_GET, data), TWRC_FAILURE);
}

TEST(Conformance, StateStartsAfreshWithEveryLoad)
{
    {
        LoadedSource source;
        ASSERT_TRUE(source.Ready());
        unsigned char data[64] = {};
        source.Call(DG_IMAGE, DAT_CIECOLOR, MSG_GET, data);  // leaves BADPROTOCOL behind
    }
    LoadedSource again;
    ASSERT_TRUE(again.Ready());
    EXPECT_EQ(again.Condition(), TWCC_SUCCESS);
}

}  // namespace
