// IO_Scan: a whole card scanned without the page functions, blocks handed to a sink.
#include "calibration.h"
#include "chip_commands.h"
#include "driver_functions.h"
#include "messages.h"
#include "pipeline.h"
#include "scan_setup.h"

#include <new>
#include <vector>

using namespace lm9831;

namespace plover {

namespace {
enum : int { FEED_OUT_STEPS = 200, EJECT_STEPS = 42000, EJECT_STEPS_PER_LINE = 20 };
}

int CardScan(PloverState& s, short mode, short resolution, short totalLines, short linesPerBlock,
             const CardBlockSink& sink)
{
    // Nonsense sizes would loop for ever or divide by zero.
    if (resolution <= 0 || totalLines <= 0 || linesPerBlock <= 0)
        return 0;
    // A resolution without a divider code would give lines of another length than read.
    if (DividerCode(resolution) < 0)
        return 0;
    if (IsCalibrationNeeded(s) == 1) {
        TellCalibrationNeeded(s);
        CalibrateScanner(s);
    }
    const bool bw = mode == MODE_BW;
    int bytesPerLine = 0;
    const PageGeometry card = CardPage(resolution, bw, &bytesPerLine);
    s.settings = ScanSettings();
    s.settings.mode = MODE_GRAY;
    s.settings.resolution = resolution;
    s.settings.right = int16_t(card.right);
    s.settings.bottom = int16_t(card.bottom);
    s.cardScanRunning = true;
    s.cardScanLines = 0;
    if (bytesPerLine <= 0)
        return 0;
    s.page = card;
    ProgramScan(s, ScanKind::Card);

    std::vector<uint8_t> block;
    try {
        block.resize(size_t(linesPerBlock) * size_t(bytesPerLine));
    } catch (const std::bad_alloc&) {
        return 0;
    }
    int delivered = 0;
    while (s.cardScanRunning) {
        s.cardScanLines += linesPerBlock;
        bool ok = ReadRegs(s.device, REG_DATA_PORT, block.data(), uint32_t(block.size()), false);
        MirrorLines(block.data(), linesPerBlock, bytesPerLine);
        if (bw)
            Gray2Bw(block.data(), linesPerBlock, bytesPerLine);
        if (!ok) {
            s.cardScanRunning = false; // the device stopped answering: end as aborted
            break;
        }
        const bool last = s.cardScanLines >= totalLines;
        const int lines = last ? totalLines - delivered : linesPerBlock;
        if (!sink.deliver(sink.context, block.data(), block.size(), lines, last ? 1 : 0))
            return 0;
        if (last)
            break;
        delivered += linesPerBlock;
    }
    if (s.cardScanRunning)
        return RunSteps(s.device, FEED_OUT_STEPS);
    return RunSteps(s.device, EJECT_STEPS - EJECT_STEPS_PER_LINE * s.cardScanLines);
}

} // namespace plover
