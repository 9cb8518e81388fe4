// The source loaded from kestrel.ds by file name, as a Source Manager loads it:
// open with a driver from the profile, negotiate, free what it hands over, close.
#include <gtest/gtest.h>

#include <windows.h>
#include <string.h>

#include <string>

#include "twain/twain.h"

namespace {

std::string WindowsPath(const char* fileName)
{
    char directory[MAX_PATH] = "";
    GetWindowsDirectoryA(directory, sizeof(directory));
    return std::string(directory) + "\\" + fileName;
}

void RemoveProfile()
{
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, "Fenwick.INI");
    DeleteFileA(WindowsPath("Fenwick.INI").c_str());
}

TEST(LoadedSource, OpensNegotiatesAndClosesAcrossTheModuleBoundary)
{
    RemoveProfile();
    ASSERT_TRUE(WritePrivateProfileStringA("Drivers", "Driver00", "testdrv_full.dll",
                                           "Fenwick.INI"));
    HMODULE module = LoadLibraryA("kestrel.ds");
    ASSERT_NE(module, nullptr);
    auto entry = reinterpret_cast<DSENTRYPROC>(GetProcAddress(module, "DS_Entry"));
    ASSERT_NE(entry, nullptr);

    TW_IDENTITY host = {};
    strcpy(host.ProductName, "Loader Host");
    TW_IDENTITY source = {};
    ASSERT_EQ(entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_GET, &source), TWRC_SUCCESS);
    source.Id = 3;
    ASSERT_EQ(entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);

    // The range is allocated inside kestrel.ds and freed here.
    TW_CAPABILITY cap = {ICAP_XRESOLUTION, 0, nullptr};
    ASSERT_EQ(entry(&host, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap), TWRC_SUCCESS);
    ASSERT_EQ(cap.ConType, TWON_RANGE);
    ASSERT_EQ(GlobalSize(cap.hContainer), sizeof(TW_RANGE));
    TW_RANGE range;
    memcpy(&range, GlobalLock(cap.hContainer), sizeof(range));
    GlobalUnlock(cap.hContainer);
    EXPECT_EQ(GlobalFree(cap.hContainer), nullptr);
    EXPECT_EQ(range.ItemType, TWTY_FIX32);
    EXPECT_EQ(range.MaxValue, 600u);  // the test driver's maximum, Whole 600 Frac 0
    EXPECT_EQ(range.CurrentValue, 300u);

    HGLOBAL mine = GlobalAlloc(GMEM_MOVEABLE, sizeof(TW_ONEVALUE));
    TW_ONEVALUE one = {TWTY_FIX32, 200};
    memcpy(GlobalLock(mine), &one, sizeof(one));
    GlobalUnlock(mine);
    cap = {ICAP_YRESOLUTION, TWON_ONEVALUE, mine};
    EXPECT_EQ(entry(&host, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap), TWRC_SUCCESS);
    EXPECT_EQ(GlobalFree(mine), nullptr);

    cap = {ICAP_XRESOLUTION, 0, nullptr};
    ASSERT_EQ(entry(&host, DG_CONTROL, DAT_CAPABILITY, MSG_GETCURRENT, &cap), TWRC_SUCCESS);
    memcpy(&one, GlobalLock(cap.hContainer), sizeof(one));
    GlobalUnlock(cap.hContainer);
    EXPECT_EQ(GlobalFree(cap.hContainer), nullptr);
    EXPECT_EQ(one.Item, 200u);

    EXPECT_EQ(entry(&host, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);
    TW_STATUS status = {0xFFFF, 0xFFFF};
    EXPECT_EQ(entry(&host, DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.ConditionCode, TWCC_SUCCESS);
    FreeLibrary(module);
    // The driver was released with the close: nothing keeps it loaded now.
    EXPECT_EQ(GetModuleHandleA("testdrv_full.dll"), nullptr);
    RemoveProfile();
}

}  // namespace
