// Test-double scanner driver. One source, built into several modules that each
// export a different subset of the IO_ names (TD_OMIT_<name> leaves one out,
// TD_OMIT_ALL leaves all out). Every call is recorded in the control block.
#include <stdio.h>
#include <string.h>

#include "io_driver.h"
#include "test_driver_control.h"

static TestDriverControl g_control;

[[maybe_unused]] static void Record(const char* name)
{
    size_t used = strlen(g_control.calls);
    size_t need = strlen(name) + 1;
    if (used + need < sizeof(g_control.calls)) {
        memcpy(g_control.calls + used, name, need - 1);
        g_control.calls[used + need - 1] = ';';
        g_control.calls[used + need] = 0;
    }
    ++g_control.callCount;
}

IO_EXPORT TestDriverControl* TD_Control(void)
{
    return &g_control;
}

[[maybe_unused]] static void PageSize(const ScanSettings* settings, int* width, int* height)
{
    int w = (settings->right - settings->left) * settings->resolution / 100;
    int h = (settings->bottom - settings->top) * settings->resolution / 100;
    if (g_control.pageWidth > 0)
        w = g_control.pageWidth;
    if (g_control.pageHeight > 0)
        h = g_control.pageHeight;
    *width = g_control.pageWidth < 0 ? 0 : w;
    *height = g_control.pageHeight < 0 ? 0 : h;
}

// Page in progress
[[maybe_unused]] static ScanSettings g_page;
[[maybe_unused]] static int g_pageWidth, g_pageHeight, g_nextLine;

#if defined(TD_OMIT_ALL)
#ifndef TD_KEEP_HASSCANNER
#define TD_OMIT_IO_HasScanner
#endif
#define TD_OMIT_IO_HardwareCheck
#define TD_OMIT_IO_StartScan
#define TD_OMIT_IO_EndScan
#define TD_OMIT_IO_TrueColor
#define TD_OMIT_IO_StartScanPage
#define TD_OMIT_IO_GetPageDimension
#define TD_OMIT_IO_EndScanPage
#define TD_OMIT_IO_ResolutionInfo
#define TD_OMIT_IO_DoCalibration
#define TD_OMIT_IO_CalibrateScanner
#define TD_OMIT_IO_FeedOn
#define TD_OMIT_IO_FeedPage
#define TD_OMIT_IO_IsPaperOn
#define TD_OMIT_IO_GetImageBlock
#define TD_OMIT_IO_IsCalibrationNeeded
#define TD_OMIT_IO_IsCapableOf
#endif

#ifndef TD_OMIT_IO_HasScanner
IO_EXPORT int IO_HasScanner(void)
{
    Record("IO_HasScanner");
    return g_control.hasScanner;
}
#endif

#ifndef TD_OMIT_IO_HardwareCheck
IO_EXPORT int IO_HardwareCheck(char* model, char* interfaceType, char* attachment,
                               char* versionMajor, char* versionMinor, short* value1,
                               short* value2, short* value3)
{
    Record("IO_HardwareCheck");
    strcpy(model, "TST");
    strcpy(interfaceType, "USB");
    strcpy(attachment, "---");
    strcpy(versionMajor, "1");
    strcpy(versionMinor, "0");
    *value1 = *value2 = *value3 = 0;
    return g_control.hardwareCheck;
}
#endif

#ifndef TD_OMIT_IO_StartScan
IO_EXPORT int IO_StartScan(void)
{
    Record("IO_StartScan");
    return g_control.startScan;
}
#endif

#ifndef TD_OMIT_IO_EndScan
IO_EXPORT void IO_EndScan(void)
{
    Record("IO_EndScan");
}
#endif

#ifndef TD_OMIT_IO_TrueColor
IO_EXPORT int IO_TrueColor(void)
{
    Record("IO_TrueColor");
    return g_control.trueColor;
}
#endif

#ifndef TD_OMIT_IO_StartScanPage
IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    Record("IO_StartScanPage");
    ++g_control.pagesStarted;
    g_control.lastSettings = *settings;
    g_page = *settings;
    PageSize(settings, width, height);
    g_pageWidth = *width;
    g_pageHeight = *height;
    // A page whose size is not reported still has the size of its area.
    if (g_pageWidth <= 0 || g_pageHeight <= 0) {
        g_pageWidth = (settings->right - settings->left) * settings->resolution / 100;
        g_pageHeight = (settings->bottom - settings->top) * settings->resolution / 100;
    }
    g_nextLine = 0;
    g_control.linesDelivered = 0;
    g_control.blockCalls = 0;
    return g_control.startScanPage;
}
#endif

#ifndef TD_OMIT_IO_GetPageDimension
IO_EXPORT int IO_GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    Record("IO_GetPageDimension");
    g_control.lastSettings = *settings;
    PageSize(settings, width, height);
    return g_control.getPageDimension;
}
#endif

#ifndef TD_OMIT_IO_EndScanPage
IO_EXPORT int IO_EndScanPage(void)
{
    Record("IO_EndScanPage");
    ++g_control.pagesEnded;
    return 1;
}
#endif

#ifndef TD_OMIT_IO_ResolutionInfo
IO_EXPORT int IO_ResolutionInfo(short* maximum, short* minimum, short* step)
{
    Record("IO_ResolutionInfo");
    *maximum = g_control.resolutionMax;
    *minimum = g_control.resolutionMin;
    *step = g_control.resolutionStep;
    return 1;
}
#endif

#ifndef TD_OMIT_IO_DoCalibration
IO_EXPORT int IO_DoCalibration(void)
{
    Record("IO_DoCalibration");
    return g_control.doCalibration;
}
#endif

#ifndef TD_OMIT_IO_CalibrateScanner
IO_EXPORT int IO_CalibrateScanner(int paperSource)
{
    Record("IO_CalibrateScanner");
    g_control.lastCalibrateArgument = paperSource;
    return g_control.calibrateScanner;
}
#endif

#ifndef TD_OMIT_IO_FeedOn
IO_EXPORT void IO_FeedOn(void)
{
    Record("IO_FeedOn");
}
#endif

#ifndef TD_OMIT_IO_FeedPage
IO_EXPORT int IO_FeedPage(void)
{
    Record("IO_FeedPage");
    return g_control.feedPage;
}
#endif

#ifndef TD_OMIT_IO_IsPaperOn
IO_EXPORT int IO_IsPaperOn(void)
{
    Record("IO_IsPaperOn");
    return g_control.isPaperOn;
}
#endif

#ifndef TD_OMIT_IO_GetImageBlock
// Fills whole lines, the lowest line of the block first (bottom-up within a block).
IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short linesWanted,
                                 ScanSettings* settings, int width, int pageHeight)
{
    Record("IO_GetImageBlock");
    if (g_control.blockCalls < static_cast<int>(sizeof(g_control.linesAsked) / sizeof(short)))
        g_control.linesAsked[g_control.blockCalls] = linesWanted;
    ++g_control.blockCalls;
    if (g_control.onBlock)
        g_control.onBlock(g_nextLine, g_control.onBlockContext);
    if (g_control.failAtLine >= 0 && g_nextLine >= g_control.failAtLine)
        return g_control.failCode;
    int lastLine = g_pageHeight;
    if (g_control.linesAvailable >= 0 && g_control.linesAvailable < lastLine)
        lastLine = g_control.linesAvailable;
    int count = lastLine - g_nextLine;
    if (count > linesWanted)
        count = linesWanted;
    if (count <= 0)
        return IO_PAGE_ENDED;
    const int lineBytes = TestLineBytes(g_page.mode, width);
    for (int i = 0; i < count; ++i) {
        int y = g_nextLine + i;
        TestPageLine(g_page.mode, width, y, buffer + (count - 1 - i) * lineBytes);
    }
    g_nextLine += count;
    g_control.linesDelivered = g_nextLine;
    return static_cast<short>(count + g_control.overCount);
}
#endif

#ifndef TD_OMIT_IO_IsCalibrationNeeded
IO_EXPORT int IO_IsCalibrationNeeded(void)
{
    Record("IO_IsCalibrationNeeded");
    return g_control.isCalibrationNeeded;
}
#endif

#ifndef TD_OMIT_IO_IsCapableOf
IO_EXPORT int IO_IsCapableOf(short capability)
{
    Record("IO_IsCapableOf");
    g_control.lastCapabilityAsked = capability;
    if (capability == IO_CAP_COLOR)
        return g_control.capableColor;
    if (capability == IO_CAP_FEEDOUT)
        return g_control.capableFeedOut;
    return 0;
}
#endif
