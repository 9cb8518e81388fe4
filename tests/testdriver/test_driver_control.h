// Control block of the test-double driver module. A test loads the driver DLL,
// asks TD_Control() for this block, sets the answers the driver gives, and reads
// back the calls it received. The page the driver serves is TestPagePixel().
#pragma once

#include <stdint.h>
#include <string.h>

#include "io_driver.h"

struct TestDriverControl {
    // Answers
    int hasScanner = 1;
    int hardwareCheck = 1;
    int startScan = 1;
    int startScanPage = 1;
    int getPageDimension = 1;
    int feedPage = 1;
    int isPaperOn = 1;
    int calibrateScanner = 1;
    int doCalibration = 1;
    int isCalibrationNeeded = 0;
    int capableColor = 1;
    int capableFeedOut = 1;
    int trueColor = 1;
    short resolutionMax = 600, resolutionMin = 100, resolutionStep = 50;

    // Page geometry reported by IO_StartScanPage / IO_GetPageDimension; 0 means
    // "from the settings record" (area * resolution / 100); -1 reports 0.
    int pageWidth = 0;
    int pageHeight = 0;

    // Page delivery: after `linesAvailable` lines (if >= 0) the page ends early;
    // when the next line would be `failAtLine` (if >= 0), IO_GetImageBlock
    // returns `failCode` instead.
    int linesAvailable = -1;
    int failAtLine = -1;
    short failCode = -1;

    // Garbage counts: `overCount` is added to every line count IO_GetImageBlock
    // returns (a driver claiming more lines than it was asked for).
    short overCount = 0;

    // Called at the start of every IO_GetImageBlock with the next line of the page,
    // so a test can act between two blocks (look at or cancel the progress window).
    void (*onBlock)(int nextLine, void* context) = nullptr;
    void* onBlockContext = nullptr;

    // What the driver saw
    int linesDelivered = 0;
    int blockCalls = 0;
    short linesAsked[64] = {};   // linesWanted of the first 64 IO_GetImageBlock calls
    int lastCalibrateArgument = 0;
    short lastCapabilityAsked = 0;
    ScanSettings lastSettings = {};
    int callCount = 0;
    int pagesStarted = 0;   // IO_StartScanPage calls, never cleared by ClearCalls
    int pagesEnded = 0;     // IO_EndScanPage calls, never cleared by ClearCalls
    char calls[8192] = "";   // "IO_StartScan;IO_GetPageDimension;..."

    void ClearCalls()
    {
        callCount = 0;
        calls[0] = 0;
    }
};

typedef TestDriverControl* (*TD_ControlFn)(void);

// Bytes per line of the driver's image format.
inline int TestLineBytes(int mode, int width)
{
    if (mode == MODE_COLOR)
        return ((3 * width + 3) / 4) * 4;
    if (mode == MODE_BW || mode == MODE_HALFTONE)
        return (((width + 7) / 8 + 3) / 4) * 4;
    return ((width + 3) / 4) * 4;
}

// The synthetic page: value of pixel (x, y) from the top-left corner. For colour,
// channel 0 is red, 1 green, 2 blue; gray uses channel 0; black and white gives 0 or 255.
inline uint8_t TestPagePixel(int mode, int x, int y, int channel)
{
    if (mode == MODE_BW || mode == MODE_HALFTONE)
        return (((x / 3) + (y / 5)) & 1) ? 255 : 0;
    if (mode == MODE_COLOR) {
        switch (channel) {
        case 0: return static_cast<uint8_t>(x * 3 + y);
        case 1: return static_cast<uint8_t>(y * 2);
        default: return static_cast<uint8_t>(255 - x);
        }
    }
    return static_cast<uint8_t>(x + 2 * y);
}

// Writes line y of the page in the driver's line format.
inline void TestPageLine(int mode, int width, int y, uint8_t* line)
{
    memset(line, 0, TestLineBytes(mode, width));
    for (int x = 0; x < width; ++x) {
        if (mode == MODE_COLOR) {
            line[3 * x + 0] = TestPagePixel(mode, x, y, 2);  // blue
            line[3 * x + 1] = TestPagePixel(mode, x, y, 1);  // green
            line[3 * x + 2] = TestPagePixel(mode, x, y, 0);  // red
        } else if (mode == MODE_BW || mode == MODE_HALFTONE) {
            if (TestPagePixel(mode, x, y, 0))
                line[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
        } else {
            line[x] = TestPagePixel(mode, x, y, 0);
        }
    }
}
