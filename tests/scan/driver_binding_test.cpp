// Binding a driver module by name, probing candidates, and the fallbacks of the
// wrappers when no module is loaded or an entry point is missing.
#include <gtest/gtest.h>

#include <string>

#include "scan/driver_functions.h"
#include "support/test_driver_module.h"
#include "support/trace_recorder.h"

namespace {

ScanSettings CardSettings()
{
    ScanSettings s = {};
    s.mode = MODE_GRAY;
    s.resolution = 300;
    s.left = 0;
    s.top = 0;
    s.right = 220;
    s.bottom = 360;
    return s;
}

bool ModuleStillLoaded(const char* name)
{
    return GetModuleHandleA(name) != nullptr;
}

TEST(DriverBinding, BindsEveryExportedNameAndLeavesTheRestEmpty)
{
    TestDriverModule full("full");
    ASSERT_TRUE(full.Loaded());
    DriverFunctions fn;
    BindDriverFunctions(full.Handle(), &fn);
    EXPECT_EQ(reinterpret_cast<FARPROC>(fn.StartScan), GetProcAddress(full.Handle(), "IO_StartScan"));
    EXPECT_NE(fn.GetImageBlock, nullptr);
    EXPECT_NE(fn.HasScanner, nullptr);
    EXPECT_NE(fn.TrueColor, nullptr);
    EXPECT_NE(fn.DoCalibration, nullptr);
    // Names the double does not implement stay empty.
    EXPECT_EQ(fn.ResetHardware, nullptr);
    EXPECT_EQ(fn.Clean, nullptr);
    EXPECT_EQ(fn.IsTransA4Attached, nullptr);
    EXPECT_EQ(fn.GetDriverName, nullptr);

    // The table's slots are looked up by exactly these names, in this order.
    EXPECT_STREQ(kDriverFunctionNames[0], "IO_StartScan");
    EXPECT_STREQ(kDriverFunctionNames[15], "IO_GetImageBlock");
    EXPECT_STREQ(kDriverFunctionNames[19], "IO_HardwareCheck");
    EXPECT_STREQ(kDriverFunctionNames[30], "IO_GetDriverName");
    const FARPROC* slots = reinterpret_cast<const FARPROC*>(&fn);
    for (int i = 0; i < DRIVER_FUNCTION_COUNT; ++i)
        EXPECT_EQ(slots[i], GetProcAddress(full.Handle(), kDriverFunctionNames[i])) << i;

    TestDriverModule none("none");
    ASSERT_TRUE(none.Loaded());
    BindDriverFunctions(none.Handle(), &fn);
    slots = reinterpret_cast<const FARPROC*>(&fn);
    for (int i = 0; i < DRIVER_FUNCTION_COUNT; ++i)
        EXPECT_EQ(slots[i], nullptr) << kDriverFunctionNames[i];
}

TEST(DriverProbe, AcceptsOnHasScannerAndRejectsAndUnloadsOtherwise)
{
    {
        TestDriverModule full("full");
        HMODULE accepted = ProbeDriverModule(full.FileName());
        EXPECT_EQ(accepted, full.Handle());
        EXPECT_EQ(full.Calls(), "IO_HasScanner;");
        FreeLibrary(accepted);

        full.Control().hasScanner = 0;
        full.Control().ClearCalls();
        EXPECT_EQ(ProbeDriverModule(full.FileName()), nullptr);
        // IO_HardwareCheck is not asked when IO_HasScanner exists.
        EXPECT_EQ(full.Calls(), "IO_HasScanner;");
    }
    // Our own reference is gone; a rejected probe must not keep another one.
    EXPECT_FALSE(ModuleStillLoaded("testdrv_full.dll"));
}

TEST(DriverProbe, FallsBackToHardwareCheckWithoutHasScanner)
{
    TestDriverModule hwcheck("hwcheck");
    HMODULE accepted = ProbeDriverModule(hwcheck.FileName());
    EXPECT_EQ(accepted, hwcheck.Handle());
    EXPECT_EQ(hwcheck.Calls(), "IO_HardwareCheck;");
    FreeLibrary(accepted);

    hwcheck.Control().hardwareCheck = 0;
    EXPECT_EQ(ProbeDriverModule(hwcheck.FileName()), nullptr);
}

TEST(DriverProbe, NeverAcceptsAModuleWithoutEitherQueryOrThatDoesNotLoad)
{
    {
        TestDriverModule none("none");
        EXPECT_EQ(ProbeDriverModule(none.FileName()), nullptr);
    }
    EXPECT_FALSE(ModuleStillLoaded("testdrv_none.dll"));
    EXPECT_EQ(ProbeDriverModule("no_such_driver.dll"), nullptr);
}

// The wrappers whose value is the same with no module loaded and with the entry
// point missing; none of them may tell the user anything.
void ExpectSilentFallbacks(DriverBinding& driver)
{
    ScanSettings settings = CardSettings();
    int width = -1, height = -1;
    unsigned char buffer[64];
    char text[16];
    short v1, v2, v3;

    EXPECT_EQ(driver.StartScan(), 0);
    driver.EndScan();
    driver.EndScanPage();
    driver.FeedOn();
    EXPECT_EQ(driver.StartScanPage(&settings, &width, &height), 0);
    EXPECT_EQ(width, -1);
    EXPECT_EQ(driver.FeedPage(), 0);
    EXPECT_EQ(driver.GetImageBlock(buffer, 1, &settings, 8, 8), 0);
    EXPECT_EQ(driver.IsPaperOn(), 0);
    EXPECT_EQ(driver.HardwareCheck(text, text, text, text, text, &v1, &v2, &v3), 0);
    EXPECT_EQ(driver.CalibrateScanner(0), 0);
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_COLOR), 0);
    EXPECT_EQ(driver.IsCapableOf(1005), 0);
    short maximum = 0, minimum = 0, step = 0;
    EXPECT_EQ(driver.ResolutionInfo(&maximum, &minimum, &step), 1);
    EXPECT_EQ(maximum, 200);
    EXPECT_EQ(minimum, 50);
    EXPECT_EQ(step, 50);
    EXPECT_TRUE(TraceRecorder::Messages().empty());
}

TEST(DriverWrappers, WithoutAModuleEveryWrapperGivesItsFixedValue)
{
    TraceRecorder recorder;
    DriverBinding driver;
    ExpectSilentFallbacks(driver);
    ScanSettings settings = CardSettings();
    int width = -1, height = -1;
    EXPECT_EQ(driver.GetPageDimension(&settings, &width, &height), 0);
    EXPECT_EQ(driver.IsCalibrationNeeded(), 0);
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_FEEDOUT), 0);
    EXPECT_TRUE(TraceRecorder::Messages().empty());
}

TEST(DriverWrappers, MissingEntriesGiveTheirFallbacks)
{
    TraceRecorder recorder;
    TestDriverModule bare("bare");
    ASSERT_TRUE(bare.Loaded());
    DriverBinding driver;
    driver.Attach(LoadLibraryA(bare.FileName()));
    ExpectSilentFallbacks(driver);
    ScanSettings settings = CardSettings();
    int width = 0, height = 0;
    // No dimension query: the page is opened and closed (neither exists here), 1 all the same.
    EXPECT_EQ(driver.GetPageDimension(&settings, &width, &height), 1);
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_FEEDOUT), 1);
    EXPECT_TRUE(TraceRecorder::Messages().empty());

    // Only the calibration question tells the user that something is missing.
    EXPECT_EQ(driver.IsCalibrationNeeded(), 0);
    ASSERT_EQ(TraceRecorder::Messages().size(), 1u);
    EXPECT_EQ(TraceRecorder::Messages()[0].text, "function not found");
    EXPECT_EQ(bare.Calls(), "");
    driver.Release();
    EXPECT_FALSE(driver.IsLoaded());
}

TEST(DriverWrappers, LegacyDriverIsAskedThroughTheOlderEntryPoints)
{
    TestDriverModule legacy("legacy");
    ASSERT_TRUE(legacy.Loaded());
    DriverBinding driver;
    driver.Attach(LoadLibraryA(legacy.FileName()));
    ScanSettings settings = CardSettings();

    int width = 0, height = 0;
    EXPECT_EQ(driver.GetPageDimension(&settings, &width, &height), 1);
    EXPECT_EQ(legacy.Calls(), "IO_StartScanPage;IO_EndScanPage;");
    EXPECT_EQ(width, 660);
    EXPECT_EQ(height, 1080);

    legacy.Control().ClearCalls();
    legacy.Control().trueColor = 0;
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_COLOR), 0);
    legacy.Control().trueColor = 1;
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_COLOR), 1);
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_FEEDOUT), 1);
    legacy.Control().doCalibration = 0;
    EXPECT_EQ(driver.CalibrateScanner(2), 0);
    legacy.Control().doCalibration = 1;
    EXPECT_EQ(driver.CalibrateScanner(2), 1);
    EXPECT_EQ(legacy.Calls(), "IO_TrueColor;IO_TrueColor;IO_DoCalibration;IO_DoCalibration;");
    driver.Release();
}

TEST(DriverWrappers, ExportedEntriesPassArgumentsAndResultsThrough)
{
    TestDriverModule full("full");
    DriverBinding driver;
    driver.Attach(LoadLibraryA(full.FileName()));
    TestDriverControl& control = full.Control();
    ScanSettings settings = CardSettings();

    control.startScan = -2;
    EXPECT_EQ(driver.StartScan(), -2);
    control.calibrateScanner = 1;
    EXPECT_EQ(driver.CalibrateScanner(-3), 1);
    EXPECT_EQ(control.lastCalibrateArgument, -3);
    control.isCalibrationNeeded = 1;
    EXPECT_EQ(driver.IsCalibrationNeeded(), 1);
    control.capableColor = 0;
    EXPECT_EQ(driver.IsCapableOf(IO_CAP_COLOR), 0);
    EXPECT_EQ(control.lastCapabilityAsked, IO_CAP_COLOR);

    int width = 0, height = 0;
    control.pageWidth = 123;
    EXPECT_EQ(driver.GetPageDimension(&settings, &width, &height), 1);
    EXPECT_EQ(width, 123);
    EXPECT_EQ(height, 1080);
    control.pageWidth = 0;

    // The range is raised to 200 at the top and pinned to 50/50 below, whatever the driver says.
    control.resolutionMax = 150;
    control.resolutionMin = 75;
    control.resolutionStep = 25;
    short maximum = 0, minimum = 0, step = 0;
    driver.ResolutionInfo(&maximum, &minimum, &step);
    EXPECT_EQ(maximum, 200);
    EXPECT_EQ(minimum, 50);
    EXPECT_EQ(step, 50);
    control.resolutionMax = 600;
    driver.ResolutionInfo(&maximum, &minimum, &step);
    EXPECT_EQ(maximum, 600);

    unsigned char block[4 * 8];
    control.ClearCalls();
    settings.right = 2;   // 6 pixels at 300 dpi
    ASSERT_EQ(driver.StartScanPage(&settings, &width, &height), 1);
    ASSERT_EQ(width, 6);
    EXPECT_EQ(driver.GetImageBlock(block, 4, &settings, width, height), 4);
    // Bottom-up within the block: the first line in the buffer is page line 3.
    EXPECT_EQ(block[1], TestPagePixel(MODE_GRAY, 1, 3, 0));
    EXPECT_EQ(block[3 * TestLineBytes(MODE_GRAY, width) + 1], TestPagePixel(MODE_GRAY, 1, 0, 0));
    EXPECT_EQ(driver.FeedPage(), 1);
    driver.EndScanPage();
    EXPECT_EQ(full.Calls(), "IO_StartScanPage;IO_GetImageBlock;IO_FeedPage;IO_EndScanPage;");
    driver.Release();
}

}  // namespace
