// One page from the data source: size, set-up, blocks, end.
#include "chip_commands.h"
#include "driver_functions.h"
#include "pipeline.h"
#include "scan_setup.h"

#include <string.h>
#include <new>

using namespace lm9831;

namespace plover {

namespace {

enum : int { EJECT_STEPS = 42000, EJECT_STEPS_PER_LINE = 20, FEED_OUT_STEPS = 200,
             FEED_OUT_MARGIN = 60, MOTOR_WAIT_MS = 3000, MOTOR_POLL_MS = 10, BLOCK_SLACK = 1024 };

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

int GetPageDimension(PloverState& s, const ScanSettings* settings, int* width, int* height)
{
    if (!settings || !width || !height)
        return 0;
    s.settings = *settings;
    s.preview = false;
    PageGeometry page;
    if (!ComputePage(s.settings, false, &page))
        return 0;
    *width = page.width;
    *height = page.height;
    return 1;
}

int StartScanPage(PloverState& s, const ScanSettings* settings, int* width, int* height)
{
    if (!settings || !width || !height)
        return 0;
    s.settings = *settings;
    PageGeometry page;
    if (!ComputePage(s.settings, s.preview, &page))
        return 0;
    s.page = page;
    *width = page.width;
    *height = page.height;
    bool paper = false;
    if (!ReadPaperSensor(s.device, s.paperPolarity, &paper) || !paper)
        return 0; // no device, or nothing in the feeder
    ProgramScan(s, ScanKind::Page);
    return 1;
}

short GetImageBlock(PloverState& s, unsigned char* buffer, short linesWanted, int width)
{
    if (!buffer || linesWanted <= 0 || width <= 0)
        return IO_BLOCK_BAD_REQUEST;
    int mode = s.page.mode;
    int bpl = BytesPerLine(mode, width);
    if (bpl <= 0)
        return IO_BLOCK_BAD_REQUEST;
    size_t n = size_t(linesWanted) * size_t(bpl);
    if (ConfigInt(s.config, CFG_FAKE_DATA) == 1)
        return FakeBlock(buffer, linesWanted, bpl, false);
    if (ConfigInt(s.config, CFG_BW_FAKE_DATA) == 1)
        return FakeBlock(buffer, linesWanted, bpl, true);
    try {
        s.received.assign(n + BLOCK_SLACK, 0);
    } catch (const std::bad_alloc&) {
        return IO_NO_MEMORY;
    }
    // A read that fails leaves the rest of the block in the device; the page is lost.
    if (!ReadRegs(s.device, REG_DATA_PORT, s.received.data(), uint32_t(n), false))
        return IO_NOT_ANSWERING;
    uint8_t map[256];
    bool bw = mode == MODE_BW;
    ComposeByteMap(bw, s.settings.inversion == 1, (!s.preview && !bw) ? s.tone : nullptr, map);
    ReorderMapped(s.received.data(), n, map, buffer);
    return linesWanted;
}

int EndScanPage(PloverState& s)
{
    WriteReg(s.device, REG_ILLUMINATION, ILLUM_OFF);
    if (!s.cardScanRunning)
        RunSteps(s.device, EJECT_STEPS - EJECT_STEPS_PER_LINE * s.cardScanLines);
    return 1;
}

// Feeds the sheet past the paper sensor; a sheet still over the sensor is jammed.
int FeedPage(PloverState& s)
{
    const platform::ClockOps& clock = s.platform->clock;
    int rest = (BED_HEIGHT - s.page.bottom) * STEPS_PER_HUNDREDTH - PAPER_SENSOR_STEPS + FEED_OUT_MARGIN;
    RunSteps(s.device, rest > FEED_OUT_STEPS ? rest : FEED_OUT_STEPS);
    for (uint32_t start = clock.milliseconds(clock.context);
         clock.milliseconds(clock.context) - start < uint32_t(MOTOR_WAIT_MS);) {
        uint8_t status = 0;
        if (!ReadRegChecked(s.device, REG_STATUS, &status) || !(status & STATUS_MOTOR))
            break;
        clock.sleep(clock.context, MOTOR_POLL_MS);
    }
    bool paper = false;
    if (!ReadPaperSensor(s.device, s.paperPolarity, &paper))
        return 0;
    return paper ? 0 : 1;
}

} // namespace plover
