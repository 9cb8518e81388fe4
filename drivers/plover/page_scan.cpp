// One page from the data source: size, set-up, blocks, end.
#include "config.h"
#include "driver_state.h"
#include "pipeline.h"
#include "transport.h"

#include <string.h>
#include <new>
#include <vector>

using namespace lm9831;

void SetModeRegisters(const PageGeometry& page);
void SetTimingRegisters(const PageGeometry& page);
int PloverRunSteps(int steps);

namespace {

enum : int { EJECT_STEPS = 42000, EJECT_STEPS_PER_LINE = 20, FEED_OUT_STEPS = 200,
             FEED_OUT_MARGIN = 60, MOTOR_WAIT_MS = 3000 };
// Image block results.
enum : short { BLOCK_BAD_ARGUMENTS = -1, BLOCK_NOT_ANSWERING = -2, BLOCK_NO_MEMORY = -9 };

std::vector<uint8_t> g_received; // raw block plus the zero bytes past it

// Test pattern lines instead of a scan ("Test" keys).
short FakeBlock(uint8_t* out, int lines, int bpl, bool bw)
{
    if (!bw) {
        for (int l = 0; l < lines; ++l) {
            uint8_t* line = out + size_t(l) * bpl;
            for (int i = 0; i < bpl; ++i)
                line[i] = (i >= 31 && i <= 49) ? 255 : (i >= 91 && i <= 149) ? 127 : 0;
        }
        return short(lines);
    }
    for (int l = 0; l < lines; ++l) {
        uint8_t* line = out + size_t(lines - 1 - l) * bpl; // reverse line order
        memset(line, 255, size_t(bpl));
        if (l < 10 && bpl > 0)
            line[0] = 0x7E;
    }
    return short(lines);
}

} // namespace

// IO_GetPageDimension
IO_EXPORT int IO_GetPageDimension(ScanSettings* settings, int* width, int* height)
{
    if (!settings || !width || !height)
        return 0;
    g_Settings = *settings;
    g_ScanDpi = g_Settings.resolution;
    g_Preview = false;
    PageGeometry page;
    if (!ComputePage(g_Settings, false, &page))
        return 0;
    *width = page.width;
    *height = page.height;
    return 1;
}

IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    if (!settings || !width || !height)
        return 0;
    g_Settings = *settings;
    g_ScanDpi = g_Settings.resolution;
    PageGeometry page;
    if (!ComputePage(g_Settings, g_Preview, &page))
        return 0;
    g_Page = page;
    SCAN_WIDE_CCD = page.wideCcd;
    *width = page.width;
    *height = page.height;
    bool paper = false;
    if (!PaperPresent(&paper) || !paper)
        return 0; // no device, or nothing in the feeder

    ResetChip();
    Init9831();
    FillGammaTbl(page.mode);
    if (ConfigInt(CFG_FIXED_TABLE) == 1) {
        Reg9831.set8(REG_FIXED_GAIN, uint8_t(ConfigInt(CFG_TEST_PIXEL_GAIN)));
        Reg9831.set8(REG_FIXED_GAIN + 1, 0x00);
        Reg9831.set8(REG_SHADING_MODE, SHADING_NONE);
    }
    SetModeRegisters(page);
    FillCalibData();
    SetTimingRegisters(page);
    ProgramPageRegisters(page);
    WriteRegisterImage();
    UsbWriteReg(REG_COMMAND, CMD_STOP);
    UsbWriteReg(REG_COMMAND, CMD_SCAN);
    return 1;
}

IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short linesWanted, ScanSettings*,
                                 int width, int)
{
    if (!buffer || linesWanted <= 0 || width <= 0)
        return BLOCK_BAD_ARGUMENTS;
    int mode = g_Page.mode;
    int bpl = BytesPerLine(mode, width);
    if (bpl <= 0)
        return BLOCK_BAD_ARGUMENTS;
    size_t n = size_t(linesWanted) * size_t(bpl);
    if (ConfigInt(CFG_FAKE_DATA) == 1)
        return FakeBlock(buffer, linesWanted, bpl, false);
    if (ConfigInt(CFG_BW_FAKE_DATA) == 1)
        return FakeBlock(buffer, linesWanted, bpl, true);
    try {
        g_received.assign(n + 1024, 0);
    } catch (const std::bad_alloc&) {
        return BLOCK_NO_MEMORY;
    }
    // A read that fails leaves the rest of the block in the device; the page is lost.
    if (!UsbReadRegs(REG_DATA_PORT, g_received.data(), uint32_t(n), false))
        return BLOCK_NOT_ANSWERING;
    uint8_t map[256];
    bool bw = mode == MODE_BW;
    ComposeByteMap(bw, g_Settings.inversion == 1, (!g_Preview && !bw) ? g_Tone : nullptr, map);
    ReorderMapped(g_received.data(), n, map, buffer);
    return linesWanted;
}

IO_EXPORT int IO_EndScanPage(void)
{
    UsbWriteReg(REG_ILLUMINATION, ILLUM_OFF);
    if (!g_CardScanRunning)
        PloverRunSteps(EJECT_STEPS - EJECT_STEPS_PER_LINE * g_CardScanLines);
    return 1;
}

// Feeds the sheet past the paper sensor; a sheet still over the sensor is jammed.
IO_EXPORT int IO_FeedPage(void)
{
    int rest = (BED_HEIGHT - g_Page.bottom) * STEPS_PER_HUNDREDTH - PAPER_SENSOR_STEPS +
               FEED_OUT_MARGIN;
    PloverRunSteps(rest > FEED_OUT_STEPS ? rest : FEED_OUT_STEPS);
    for (DWORD start = GetTickCount(); GetTickCount() - start < DWORD(MOTOR_WAIT_MS);) {
        uint8_t status = 0;
        if (!UsbReadRegChecked(REG_STATUS, &status) || !(status & STATUS_MOTOR))
            break;
        Sleep(10);
    }
    bool paper = false;
    if (!PaperPresent(&paper))
        return 0;
    return paper ? 0 : 1;
}
