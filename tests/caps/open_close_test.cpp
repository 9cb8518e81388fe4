// Opening and closing the source through DS_Entry: driver choice from the
// profile's "Drivers" list, files in use, the open count and the host rules.
#include "caps_fixture.h"

#include "support/test_driver_module.h"
#include "support/trace_recorder.h"
#include "twain/host_rules.h"

namespace {

using caps::Host;

class OpenCloseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        caps::ResetSourceApp();
        for (const char* name : kProfiles)
            caps::RemoveProfile(name);
    }
    void TearDown() override
    {
        caps::ResetSourceApp();
        for (const char* name : kProfiles)
            caps::RemoveProfile(name);
    }

    void Drivers(std::initializer_list<const char*> names)
    {
        int i = 0;
        for (const char* name : names) {
            char key[16];
            snprintf(key, sizeof(key), "Driver%02d", i++);
            caps::WriteKey("Drivers", key, name);
        }
    }

    static constexpr const char* kProfiles[] = {"Fenwick.INI", "My_Scan_.INI", "Abc.INI",
                                                ".._.._ev.INI", "PageMana.INI"};
    TraceRecorder recorder;
};

TEST_F(OpenCloseTest, AcceptedDriverOpensTheSourceAndCloseReleasesIt)
{
    TestDriverModule full("full");
    ASSERT_TRUE(full.Loaded());
    Drivers({"testdrv_full.dll  "});  // trailing blanks are not part of the name
    Host host;

    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.twainState, 4);
    EXPECT_EQ(theApp.openCount, 1);
    EXPECT_EQ(theApp.driver.module, full.Handle());
    EXPECT_NE(theApp.driver.fn.StartScan, nullptr);  // bound
    EXPECT_EQ(full.Calls(), "IO_HasScanner;IO_ResolutionInfo;");
    EXPECT_EQ(host.Condition(), TWCC_SUCCESS);
    EXPECT_TRUE(TraceRecorder::Messages().empty());
    EXPECT_EQ(caps::ReadKey("Drivers", "Driver00"), "testdrv_full.dll");

    // Files in use: the help file beside this module, the profile without a directory.
    char module[MAX_PATH];
    GetModuleFileNameA(nullptr, module, sizeof(module));
    std::string directory(module, strrchr(module, '\\') + 1);
    EXPECT_EQ(std::string(theApp.helpPath), directory + "Fenwick.hlp");
    EXPECT_STREQ(theApp.profileName, "Fenwick.INI");
    EXPECT_STREQ(theApp.messageBoxTitle, "Zureruri Zedu");
    EXPECT_EQ(theApp.framework.helpFilePath, theApp.helpPath);
    EXPECT_EQ(theApp.framework.profileName, theApp.profileName);
    EXPECT_STREQ(theApp.savedFramework.profileName, kFrameworkProfileDefault);

    ASSERT_EQ(host.Close(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.twainState, 3);
    EXPECT_EQ(theApp.openCount, 0);
    EXPECT_FALSE(theApp.driver.IsLoaded());
    EXPECT_EQ(theApp.driver.fn.StartScan, nullptr);
    EXPECT_STREQ(theApp.framework.helpFilePath, kFrameworkHelpDefault);
    EXPECT_STREQ(theApp.framework.profileName, kFrameworkProfileDefault);
}

TEST_F(OpenCloseTest, RejectedFirstNameAndItsRepeatAreSkippedAndTheWinnerBecomesDriver00)
{
    TestDriverModule full("full");
    TestDriverModule hwcheck("hwcheck");
    ASSERT_TRUE(full.Loaded() && hwcheck.Loaded());
    full.Control().hasScanner = 0;
    Drivers({"testdrv_full.dll", "TESTDRV_FULL.DLL", "testdrv_hwcheck.dll", "testdrv_full.dll"});
    Host host;

    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.driver.module, hwcheck.Handle());
    EXPECT_EQ(full.Calls(), "IO_HasScanner;");  // the repeat was not probed again
    EXPECT_EQ(caps::ReadKey("Drivers", "Driver00"), "testdrv_hwcheck.dll");
    EXPECT_EQ(caps::ReadKey("Drivers", "Driver01"), "TESTDRV_FULL.DLL");
    host.Close();

    // The next selection tries the winner first.
    hwcheck.Control().ClearCalls();
    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.driver.module, hwcheck.Handle());
    EXPECT_EQ(hwcheck.Calls(), "IO_HardwareCheck;IO_ResolutionInfo;");
}

TEST_F(OpenCloseTest, WhenNoModuleAnswersDriver00IsLoadedWithoutProbing)
{
    TestDriverModule full("full");
    ASSERT_TRUE(full.Loaded());
    full.Control().hasScanner = 0;
    Drivers({"testdrv_full.dll", "testdrv_none.dll", "", "no_such_driver.dll"});
    Host host;

    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.driver.module, full.Handle());
    EXPECT_EQ(full.Calls(), "IO_HasScanner;IO_ResolutionInfo;");
    EXPECT_EQ(caps::ReadKey("Drivers", "Driver00"), "testdrv_full.dll");
    EXPECT_TRUE(TraceRecorder::Messages().empty());
}

TEST_F(OpenCloseTest, NoLoadableModuleFailsWithTheLoadFailureMessage)
{
    Drivers({"no_such_driver.dll", "testdrv_none.dll"});
    Host host;

    EXPECT_EQ(host.Open(), TWRC_FAILURE);
    EXPECT_EQ(theApp.twainState, 3);
    EXPECT_EQ(theApp.openCount, 0);  // a refused open is not counted
    EXPECT_FALSE(theApp.driver.IsLoaded());
    EXPECT_EQ(host.Condition(), TWCC_NODS);
    ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
    EXPECT_EQ(TraceRecorder::Messages()[0].text, "load dll failure!");
    EXPECT_EQ(TraceRecorder::Messages()[0].title, "");
    EXPECT_EQ(TraceRecorder::Messages()[0].type, static_cast<unsigned>(MB_OK));
    EXPECT_EQ(TraceRecorder::Traces(), std::vector<std::string>{"no driver"});
    // The settings are read all the same.
    EXPECT_EQ(theApp.settings.resolution, 300);
    EXPECT_EQ(theApp.settings.right, 220);
    host.Close();  // a close after the refused open keeps the count at 0
    EXPECT_EQ(theApp.openCount, 0);

    // Once the module can be loaded, the source opens and closes normally.
    TestDriverModule full("full");
    Drivers({"testdrv_full.dll"});
    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    EXPECT_EQ(theApp.openCount, 1);
    host.Close();
    EXPECT_FALSE(theApp.driver.IsLoaded());
}

TEST_F(OpenCloseTest, WithoutADriversSectionPloverIsLoadedIfTheLoaderFindsIt)
{
    // plover.dll is loaded without probing; whether it loads depends on whether
    // the module is built beside the tests.
    HMODULE plover = LoadLibraryA("plover.dll");
    Host host;
    const TW_UINT16 result = host.Open();
    if (plover) {
        EXPECT_EQ(result, TWRC_SUCCESS);
        EXPECT_EQ(theApp.driver.module, plover);
        EXPECT_TRUE(TraceRecorder::Messages().empty());
    } else {
        EXPECT_EQ(result, TWRC_FAILURE);
        EXPECT_EQ(host.Condition(), TWCC_NODS);
        ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
        EXPECT_EQ(TraceRecorder::Messages()[0].text, "load dll failure!");
    }
    EXPECT_EQ(caps::ReadKey("Drivers", "Driver00"), "<missing>");  // nothing written back
    host.Close();
    EXPECT_FALSE(theApp.driver.IsLoaded());
    if (plover)
        FreeLibrary(plover);
}

TEST_F(OpenCloseTest, SecondOpenFailsAndTheDriverStaysUntilTheLastClose)
{
    TestDriverModule full("full");
    Drivers({"testdrv_full.dll"});
    Host host;
    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    theApp.settings.resolution = 150;  // negotiated in between
    theApp.xferCount = 3;

    EXPECT_EQ(host.Open(), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_NODS);
    EXPECT_EQ(theApp.twainState, 3);
    EXPECT_EQ(theApp.openCount, 1);  // the refused open is not counted
    EXPECT_EQ(theApp.driver.module, full.Handle());
    EXPECT_EQ(full.Calls(), "IO_HasScanner;IO_ResolutionInfo;IO_ResolutionInfo;");
    // Every open reads the settings and resets the transfer values.
    EXPECT_EQ(theApp.settings.resolution, 300);
    EXPECT_EQ(theApp.xferCount, -1);

    // Closing the first open releases the driver; the source can be opened again.
    host.Close();
    EXPECT_EQ(theApp.openCount, 0);
    EXPECT_FALSE(theApp.driver.IsLoaded());
    EXPECT_STREQ(theApp.framework.profileName, kFrameworkProfileDefault);
    ASSERT_EQ(host.Open(), TWRC_SUCCESS);
    host.Close();
}

TEST_F(OpenCloseTest, OnlyThisSourcesProductNameIsOpened)
{
    TestDriverModule full("full");
    Drivers({"testdrv_full.dll"});
    Host host;
    strcpy(host.Source().ProductName, "Another Source");
    EXPECT_EQ(host.Open(), TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_NODS);
    EXPECT_EQ(theApp.twainState, 3);
    EXPECT_EQ(theApp.openCount, 0);
    EXPECT_FALSE(theApp.driver.IsLoaded());  // the module this open loaded is given back

    strcpy(host.Source().ProductName, "zureruri ZEDU");
    EXPECT_EQ(host.Open(), TWRC_SUCCESS);
    host.Close();

    // A name filling all 34 bytes without a terminator is compared within them.
    memset(host.Source().ProductName, 'Z', sizeof(TW_STR32));
    EXPECT_EQ(host.Open(), TWRC_FAILURE);
    host.Close();

    // No identity at all.
    EXPECT_EQ(DS_Entry(&host.Identity(), DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, nullptr),
              TWRC_FAILURE);
    EXPECT_EQ(host.Condition(), TWCC_NODS);
    host.Close();
    EXPECT_EQ(theApp.openCount, 0);
}

TEST_F(OpenCloseTest, OemProfileIsNamedAfterTheHost)
{
    TestDriverModule full("full");
    Drivers({"testdrv_full.dll"});
    caps::WriteKey("Scan Settings", "OEM", "1");
    caps::WriteKey("Untitle_SET", "Threshold", "99", "My_Scan_.INI");

    Host myScan("My Scan App");
    ASSERT_EQ(myScan.Open(), TWRC_SUCCESS);
    EXPECT_STREQ(theApp.profileName, "My_Scan_.INI");
    EXPECT_EQ(theApp.settings.threshold, 99);  // read from the host's own profile
    EXPECT_TRUE(theApp.hostQuirks & HOST_QUIRK_OEM_PROFILE);
    myScan.Close();

    Host abc("Abc");
    ASSERT_EQ(abc.Open(), TWRC_SUCCESS);
    EXPECT_STREQ(theApp.profileName, "Abc.INI");
    EXPECT_EQ(theApp.settings.threshold, 128);
    abc.Close();

    // Path characters cannot lead the profile out of the Windows directory.
    Host hostile("..\\..\\evil");
    ASSERT_EQ(hostile.Open(), TWRC_SUCCESS);
    EXPECT_STREQ(theApp.profileName, ".._.._ev.INI");
    hostile.Close();

    // Without a product name (a NULL origin) the shared profile stays in use.
    theApp.appIdentity = TW_IDENTITY{};
    TW_IDENTITY source = {};
    strcpy(source.ProductName, "Zureruri Zedu");
    ASSERT_EQ(DS_Entry(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_STREQ(theApp.profileName, "Fenwick.INI");
    abc.Close();

    // OEM other than the number 1 keeps the shared profile.
    for (const char* oem : {"2", "1abc", "one"}) {
        SCOPED_TRACE(oem);
        caps::WriteKey("Scan Settings", "OEM", oem);
        ASSERT_EQ(abc.Open(), TWRC_SUCCESS);
        EXPECT_STREQ(theApp.profileName, "Fenwick.INI");
        EXPECT_FALSE(theApp.hostQuirks & HOST_QUIRK_OEM_PROFILE);
        abc.Close();
    }
}

TEST_F(OpenCloseTest, HostRulesAreRecordedFromTheProductName)
{
    TestDriverModule full("full");
    Drivers({"testdrv_full.dll"});
    const struct { const char* product; uint32_t quirks; } hosts[] = {
        {"PageManager", HOST_QUIRK_XFERCOUNT_UNKNOWN | HOST_QUIRK_PAGEMANAGER_XFER},
        {"pagemanager", HOST_QUIRK_XFERCOUNT_UNKNOWN | HOST_QUIRK_PAGEMANAGER_XFER},
        {"Microsoft Photo Editor", HOST_QUIRK_PAD_STRIPS},
        {"TWAINTEST", HOST_QUIRK_NO_NUDGE},
        {"PageManager 9", 0},
        {"Quillpro", 0},  // a window class, not a product name
    };
    for (const auto& h : hosts) {
        SCOPED_TRACE(h.product);
        Host host(h.product);
        ASSERT_EQ(host.Open(), TWRC_SUCCESS);
        EXPECT_EQ(theApp.hostQuirks, h.quirks);
        host.Close();
    }
}

TEST(HostRules, WindowClassesForceBlackAndWhite)
{
    EXPECT_EQ(HostQuirksOfWindow(nullptr), 0u);
    for (const char* className : {"Quillpro", "ServerW32Class", "SomethingElse"}) {
        SCOPED_TRACE(className);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = className;
        ASSERT_TRUE(RegisterClassA(&wc));
        HWND window = CreateWindowA(className, "", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr,
                                    wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        const uint32_t expected = strcmp(className, "SomethingElse") ? uint32_t(HOST_QUIRK_FORCE_BW) : 0u;
        EXPECT_EQ(HostQuirksOfWindow(window), expected);
        DestroyWindow(window);
        UnregisterClassA(className, wc.hInstance);
        EXPECT_EQ(HostQuirksOfWindow(window), 0u);  // a window that no longer exists
    }
}

}  // namespace
