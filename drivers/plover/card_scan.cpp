// IO_Scan: a whole card scanned without the page functions, blocks handed to a callback.
#include "config.h"
#include "driver_state.h"
#include "messages.h"
#include "pipeline.h"
#include "transport.h"

using namespace lm9831;

IO_EXPORT int IO_IsCalibrationNeeded(void);
IO_EXPORT int IO_CalibrateScanner(int paperSource);
int PloverRunSteps(int steps);

namespace {
enum : int { CARD_RIGHT = 220, CARD_RIGHT_BW = 216, CARD_BOTTOM = 360, FEED_OUT_STEPS = 200,
             EJECT_STEPS = 42000, EJECT_STEPS_PER_LINE = 20 };
}

IO_EXPORT int IO_Scan(short mode, short resolution, short totalLines, short linesPerBlock,
                      BlockCallback callback)
{
    // Nonsense sizes would loop for ever or divide by zero.
    if (resolution <= 0 || totalLines <= 0 || linesPerBlock <= 0)
        return 0;
    // A resolution without a divider code would give lines of another length than read.
    int divider = DividerCode(resolution);
    if (divider < 0)
        return 0;
    if (IO_IsCalibrationNeeded() == 1) {
        PloverMessageBox(kCalibrationMessage, "", MB_OK);
        IO_CalibrateScanner(0);
    }
    bool bw = mode == MODE_BW;
    g_Settings = ScanSettings();
    g_Settings.mode = MODE_GRAY;
    g_Settings.resolution = resolution;
    g_Settings.right = bw ? CARD_RIGHT_BW : CARD_RIGHT;
    g_Settings.bottom = CARD_BOTTOM;
    g_CardScanRunning = true;
    g_ScanDpi = resolution;
    g_BlockCallback = callback;
    g_CardScanLines = 0;

    SCAN_WIDE_CCD = g_Settings.right * SENSOR_DPI / 100;
    int bytesPerLine = SCAN_WIDE_CCD * resolution / SENSOR_DPI;
    if (bw) {
        bytesPerLine = bytesPerLine / 32 * 32;
        SCAN_WIDE_CCD = bytesPerLine * SENSOR_DPI / resolution;
    }
    if (bytesPerLine <= 0)
        return 0;
    g_Page = PageGeometry();
    g_Page.mode = MODE_GRAY;
    g_Page.dpi = resolution;
    g_Page.wideCcd = SCAN_WIDE_CCD;
    g_Page.windowStart = 0;
    g_Page.right = g_Settings.right;
    g_Page.bottom = CARD_BOTTOM;

    ResetChip();
    Init9831();
    FillGammaTbl(MODE_GRAY);
    Reg9831.set8(REG_PIXEL_FORMAT, uint8_t(PIXEL_DEPTH_8 | divider));
    Reg9831.set8(REG_CHANNEL_MODE, CHANNEL_MODE_GRAY);
    Reg9831.set8(REG_ILLUMINATION, ILLUM_ALL);
    FillCalibData();
    Reg9831.set16(REG_DUMMY_PIXELS, FIRST_ACTIVE_PIXEL);
    Reg9831.set16(REG_START_PIXEL, FIRST_ACTIVE_PIXEL);
    Reg9831.set8(REG_BUFFER_LEVEL, 100);
    Reg9831.set16(REG_STEP_COUNT, 0);
    Reg9831.set16(REG_SCAN_STEP_SIZE,
                  uint16_t(resolution * (LINE_LENGTH - FIRST_ACTIVE_PIXEL) / (SENSOR_DPI * 4)));
    Reg9831.set16(REG_LINE_LENGTH, LINE_LENGTH);
    Reg9831.set16(REG_END_PIXEL, uint16_t(FIRST_ACTIVE_PIXEL + SCAN_WIDE_CCD - 2));
    WriteRegisterImage();
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    UsbWriteReg(REG_COMMAND, CMD_SCAN);

    size_t blockBytes = size_t(linesPerBlock) * size_t(bytesPerLine);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, blockBytes);
    if (!block)
        return 0;
    int delivered = 0;
    while (g_CardScanRunning) {
        g_CardScanLines += linesPerBlock;
        uint8_t* data = static_cast<uint8_t*>(GlobalLock(block));
        if (!data)
            break;
        bool ok = UsbReadRegs(REG_DATA_PORT, data, uint32_t(blockBytes), false) != 0;
        MirrorLines(data, linesPerBlock, bytesPerLine);
        if (bw)
            Gray2Bw(data, linesPerBlock, bytesPerLine);
        GlobalUnlock(block);
        if (!ok) {
            g_CardScanRunning = false; // the device stopped answering: end as aborted
            break;
        }
        if (g_CardScanLines >= totalLines) {
            if (callback)
                callback(block, totalLines - delivered, 1);
            break;
        }
        if (callback)
            callback(block, linesPerBlock, 0);
        delivered += linesPerBlock;
    }
    GlobalFree(block);
    if (g_CardScanRunning)
        return PloverRunSteps(FEED_OUT_STEPS);
    return PloverRunSteps(EJECT_STEPS - EJECT_STEPS_PER_LINE * g_CardScanLines);
}
