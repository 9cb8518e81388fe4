#include "page_scan.h"

#include "chip_setup.h"
#include "device_ops.h"
#include "image_lines.h"
#include "lm9831_registers.h"
#include "tables.h"
#include "wren_state.h"

#include <string.h>
#include <algorithm>
#include <new>

using namespace lm9831;

namespace wren {

namespace {

const int kMaxDpi = 1200, kMinDpi = 50;
const int kMostInches100 = 1400, kWidestInches100 = 211;
const int kReadBytes = 65536;

enum BlockResult { BLOCK_OK, BLOCK_READ_FAILED, BLOCK_NO_SHEET };

int Padded(int bytes) { return (bytes + 3) / 4 * 4; }

void CorrectAdjust(ChannelAdjust& a)
{
    if (a.brightness < -100 || a.brightness > 100) a.brightness = 0;
    if (a.contrast < -100 || a.contrast > 100) a.contrast = 0;
    if (a.gamma < 1 || a.gamma > 99) a.gamma = 10;
}

void BuildTable(uint8_t table[256], const ChannelAdjust& a)
{
    BuildToneTable(table, a.brightness, a.contrast, a.gamma, a.highlight, a.shadow);
}

bool Gray() { return g_wren.settings.mode == MODE_GRAY; }

// Sheet-edge trimming at the start (trimEdge 0 or 1) and at the end (0 or 2).
bool TrimLeadingEdge() { return g_wren.settings.trimEdge == 0 || g_wren.settings.trimEdge == 1; }
bool TrimSheetEnd() { return g_wren.settings.trimEdge == 0 || g_wren.settings.trimEdge == 2; }

void ReleasePage()
{
    PageState& p = g_wren.page;
    if (p.device != INVALID_HANDLE_VALUE) {
        WriteReg(p.device, REG_COMMAND, CMD_STOP);
        CloseDevice(p.device);
    }
    p.running = false;
    p.armed = false;
    std::vector<uint8_t>().swap(p.pending);
    std::vector<uint8_t>().swap(p.chunk);
}

bool SetUpPage(int width)
{
    PageState& p = g_wren.page;
    const ScanSettings& s = g_wren.settings;
    const CalibrationRecord& rec = g_wren.record;
    p.resolution = s.resolution;
    p.base = s.resolution <= 300 ? 300 : 600;
    p.outPixels = width;
    p.outBytes = Gray() ? Padded(width) : Padded((width + 7) / 8);
    p.rawPixels = int(int64_t(width) * p.base / p.resolution);
    p.rawBytes = (p.rawPixels & ~1) + 2;
    const bool base600 = p.base == 600;
    p.firstPixel = s.left * (base600 ? 6 : 3) + (base600 ? rec.firstPixel600 : rec.firstPixel300);
    if (p.rawPixels <= 0 || p.firstPixel + p.rawPixels > SENSOR_PIXELS)
        return false;
    p.afterSheetLines = base600 ? 420 : 210;
    p.afterSheetCounter = p.afterSheetLines;
    p.sensorSeen = false;
    p.sheetEnded = false;
    p.rawLinesTaken = p.outLinesMade = p.rawLinesRead = 0;
    p.linesPerChunk = std::max(1, std::min(kReadBytes / p.rawBytes, base600 ? 20 : 10));
    p.contentLevel = OutputCurve(g_wren.sensorVariant)[rec.backgroundLevel & 0xFF];
    p.chunk.assign(size_t(p.linesPerChunk) * p.rawBytes, 0);
    p.corrected.assign(size_t(p.rawPixels), 0);
    p.pending.clear();

    p.device = OpenWorkDevice();
    if (p.device == INVALID_HANDLE_VALUE)
        return false;
    g_wren.sensorVariant = ReadSensorVariant(p.device);
    p.contentLevel = OutputCurve(g_wren.sensorVariant)[rec.backgroundLevel & 0xFF];
    ChipSetup c;
    c.variant = g_wren.sensorVariant;
    c.fixedGain = rec.fixedGain;
    c.fixedOffset = rec.fixedOffset;
    c.exposure = base600 ? rec.exposure600 : rec.exposure300;
    c.lineGain = uint8_t(base600 ? rec.lineGain600 : rec.lineGain300);
    c.lineOffset = uint8_t(base600 ? rec.lineOffset600 : rec.lineOffset300);
    c.motor = true;
    c.firstPixel = p.firstPixel;
    c.rawPixels = p.rawPixels;
    c.resolution = p.base;
    c.steps = 0;
    bool ok = ProgramChip(p.device, ComputeRegisters(c), false);
    ok = WriteReg(p.device, REG_COMMAND, CMD_SCAN) && ok;
    p.running = ok;
    return ok;
}

// Reads one chunk and updates the after-sheet counter from the paper sensor.
bool ReadChunk()
{
    PageState& p = g_wren.page;
    const uint32_t bytes = uint32_t(p.linesPerChunk) * p.rawBytes;
    if (ReadRegs(p.device, REG_DATA_PORT, p.chunk.data(), bytes, false) != bytes)
        return false;
    p.rawLinesRead += p.linesPerChunk;
    uint8_t sensors = 0;
    if (!ReadReg(p.device, REG_SENSORS, &sensors))
        return false;
    if (sensors & SENSOR_PAPER) {
        p.afterSheetCounter = p.afterSheetLines;
        p.sensorSeen = true;
    } else if (p.sensorSeen) {
        // The chunk that first sees the sensor clear keeps the full distance: the
        // trailing edge left the sensor somewhere inside it.
        p.sensorSeen = false;
    } else {
        p.afterSheetCounter -= p.linesPerChunk;
    }
    return true;
}

const uint8_t* RawLine(int k) { return &g_wren.page.chunk[size_t(k) * g_wren.page.rawBytes]; }

void CorrectRaw(const uint8_t* raw, uint8_t* out)
{
    PageState& p = g_wren.page;
    const bool base600 = p.base == 600;
    const uint8_t* dark = (base600 ? g_wren.record.dark600 : g_wren.record.dark300) + p.firstPixel;
    const uint8_t* white = (base600 ? p.white600.data() : p.white300.data()) + p.firstPixel;
    CorrectLine(raw, dark, white, p.rawPixels, g_wren.division, OutputCurve(g_wren.sensorVariant), out);
}

// Leading edge: chunks until a line shows paper, then the top margin. The search
// ends when the sensor stayed clear for the sensor distance (no sheet, or a blank
// one), and never reads more than the sensor distance plus the page.
BlockResult FindLeadingEdge(int pageHeight, int* firstLine)
{
    PageState& p = g_wren.page;
    const ScanSettings& s = g_wren.settings;
    const int64_t limit = p.afterSheetLines + int64_t(pageHeight) * p.base / p.resolution + p.linesPerChunk;
    int skip = -1; // lines still to drop after the edge; -1 while searching
    if (!TrimLeadingEdge())
        skip = s.top * p.base / 100;
    for (;;) {
        if (!ReadChunk())
            return BLOCK_READ_FAILED;
        for (int k = 0; k < p.linesPerChunk; ++k) {
            if (skip < 0) {
                CorrectRaw(RawLine(k), p.corrected.data());
                if (!LineHasContent(p.corrected.data(), p.rawPixels, false, p.contentLevel))
                    continue;
                skip = (s.autoScan == 1 ? 10 : s.top) * p.base / 100;
            }
            if (skip > 0) {
                --skip;
                continue;
            }
            *firstLine = k; // the page starts here, inside the current chunk
            return BLOCK_OK;
        }
        if (p.afterSheetCounter < p.linesPerChunk || p.rawLinesRead >= limit)
            return BLOCK_NO_SHEET;
    }
}

// Output lines whose raw line is `raw` (absolute within the page).
void EmitLines(const uint8_t* corrected, int64_t raw)
{
    PageState& p = g_wren.page;
    for (;;) {
        const int64_t source = p.outLinesMade * p.base / p.resolution;
        if (source != raw)
            return;
        size_t at = p.pending.size();
        p.pending.resize(at + size_t(p.outBytes));
        if (Gray())
            ScaleGrayLine(corrected, p.rawPixels, &p.pending[at], p.outPixels);
        else
            ThresholdLine(corrected, p.rawPixels, &p.pending[at], p.outPixels, p.outBytes);
        ++p.outLinesMade;
    }
}

void ProcessChunkLines(int firstLine)
{
    PageState& p = g_wren.page;
    for (int k = firstLine; k < p.linesPerChunk; ++k) {
        CorrectRaw(RawLine(k), p.corrected.data());
        EmitLines(p.corrected.data(), p.rawLinesTaken++);
    }
}

// Removes the blank lines the last chunk produced after the sheet's trailing edge.
void TrimTrailingBlank(size_t pendingBefore)
{
    PageState& p = g_wren.page;
    while (p.pending.size() > pendingBefore) {
        const uint8_t* last = &p.pending[p.pending.size() - size_t(p.outBytes)];
        if (LineHasContent(last, p.outPixels, !Gray(), p.contentLevel))
            break;
        p.pending.resize(p.pending.size() - size_t(p.outBytes));
    }
}

size_t PendingLines() { return g_wren.page.pending.size() / size_t(g_wren.page.outBytes); }

BlockResult FillPending(int wanted)
{
    PageState& p = g_wren.page;
    while (!p.sheetEnded && PendingLines() < size_t(wanted)) {
        if (!ReadChunk())
            return BLOCK_READ_FAILED;
        const size_t before = p.pending.size();
        ProcessChunkLines(0);
        if (p.afterSheetCounter < p.linesPerChunk && TrimSheetEnd()) {
            TrimTrailingBlank(before);
            p.sheetEnded = true;
        }
    }
    return BLOCK_OK;
}

void Deliver(unsigned char* destination, int lines)
{
    PageState& p = g_wren.page;
    const size_t stride = size_t(p.outBytes);
    // Bottom-up within the block: the last scanned line comes first.
    for (int k = 0; k < lines; ++k)
        memcpy(destination + size_t(lines - 1 - k) * stride, &p.pending[size_t(k) * stride], stride);
    p.pending.erase(p.pending.begin(), p.pending.begin() + ptrdiff_t(size_t(lines) * stride));
    const ScanSettings& s = g_wren.settings;
    const size_t bytes = size_t(lines) * stride;
    if (Gray()) {
        const ChannelAdjust& a = s.adjust[ADJUST_ALL];
        if (!IsNeutralTone(a.brightness, a.contrast, a.gamma, a.highlight, a.shadow))
            MapBytes(destination, bytes, g_wren.masterTone);
        FilterBlock(destination, lines, int(stride), p.outPixels, s.filterType);
    }
    if (s.inversion)
        InvertBytes(destination, bytes);
}

} // namespace

bool TakeSettings(const ScanSettings* caller, int* width, int* height)
{
    if (!caller)
        return false;
    ScanSettings s = *caller;
    const bool colour = s.mode == MODE_COLOR; // wren has no colour; kestrel would size 24-bit lines
    if (s.mode != MODE_GRAY)
        s.mode = MODE_BW;
    if (s.resolution > kMaxDpi) s.resolution = 600;
    if (s.resolution < kMinDpi) s.resolution = 300;
    for (ChannelAdjust& a : s.adjust)
        CorrectAdjust(a);
    if (s.halftone < 0 || s.halftone > 3) s.halftone = 1;
    if (s.top < 0 || s.top > kMostInches100) s.top = 0;
    if (s.left < 0 || s.left > kWidestInches100) s.left = 0;
    if (s.bottom < 0 || s.bottom > kMostInches100) s.bottom = kMostInches100;
    if (s.right < 0 || s.right > kWidestInches100) s.right = kWidestInches100;
    g_wren.settings = s;
    BuildTable(g_wren.masterTone, s.adjust[ADJUST_ALL]);
    if (s.channel) {
        BuildTable(g_wren.redTone, s.adjust[ADJUST_RED]);
        BuildTable(g_wren.greenTone, s.adjust[ADJUST_GREEN]);
        BuildTable(g_wren.blueTone, s.adjust[ADJUST_BLUE]);
    } else {
        memcpy(g_wren.redTone, g_wren.masterTone, 256);
        memcpy(g_wren.greenTone, g_wren.masterTone, 256);
        memcpy(g_wren.blueTone, g_wren.masterTone, 256);
    }
    const int w = (s.right - s.left) * s.resolution / 100;
    const int h = (s.bottom - s.top) * s.resolution / 100;
    // An empty area reports 0 (the caller then sizes the page itself) and cannot be scanned.
    if (width) *width = w > 0 ? w : 0;
    if (height) *height = h > 0 ? h : 0;
    return w > 0 && h > 0 && !colour;
}

int StartPage(const ScanSettings* caller, int* width, int* height)
{
    ReleasePage();
    if (!TakeSettings(caller, width, height))
        return 0;
    LoadRecord(g_wren.record);
    PageState& p = g_wren.page;
    try {
        p.white600.resize(SENSOR_PIXELS);
        p.white300.resize(SENSOR_PIXELS);
    } catch (const std::bad_alloc&) {
        return -9;
    }
    const CalibrationRecord& r = g_wren.record;
    for (int i = 0; i < SENSOR_PIXELS; ++i) {
        // A white reference below its dark one gives 0: the pixel stays black.
        p.white600[i] = uint8_t(std::max(0, std::min(255, int((r.white600[i] - r.dark600[i]) * 1.05))));
        p.white300[i] = uint8_t(std::max(0, std::min(255, int((r.white300[i] - r.dark300[i]) * 1.05))));
    }
    p.armed = true;
    return 1;
}

short GetBlock(unsigned char* destination, short wanted, int width, int pageHeight)
{
    if (!g_wren.division)
        return -9;
    PageState& p = g_wren.page;
    g_wren.stateCode = STATE_READY;
    if (!destination || wanted <= 0)
        return 0;
    try {
        if (p.armed) {
            p.armed = false;
            if (width <= 0 || pageHeight <= 0 || !SetUpPage(width)) {
                ReleasePage();
                return -2;
            }
            p.linesLeft = pageHeight;
            int firstLine = 0;
            BlockResult edge = FindLeadingEdge(pageHeight, &firstLine);
            if (edge == BLOCK_READ_FAILED) {
                ReleasePage();
                return -2;
            }
            if (edge == BLOCK_NO_SHEET) {
                ReleasePage();
                return IO_PAGE_ENDED;
            }
            ProcessChunkLines(firstLine);
            if (p.afterSheetCounter < p.linesPerChunk && TrimSheetEnd()) {
                TrimTrailingBlank(0);
                p.sheetEnded = true;
            }
        }
        if (!p.running)
            return IO_PAGE_ENDED;
        const int want = std::min<int>(wanted, p.linesLeft);
        if (FillPending(want) == BLOCK_READ_FAILED) {
            ReleasePage();
            return -2;
        }
        const int lines = int(std::min<size_t>(PendingLines(), size_t(want)));
        if (lines <= 0) {
            ReleasePage();
            return IO_PAGE_ENDED;
        }
        Deliver(destination, lines);
        p.linesLeft -= lines;
        if (p.linesLeft <= 0 || (p.sheetEnded && PendingLines() == 0))
            ReleasePage();
        return short(lines);
    } catch (const std::bad_alloc&) {
        ReleasePage();
        return -9;
    }
}

void EndPage() { ReleasePage(); }

} // namespace wren
