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

bool Gray(ModuleState& m) { return m.settings.mode == MODE_GRAY; }

// Sheet-edge trimming at the start (trimEdge 0 or 1) and at the end (0 or 2).
bool TrimLeadingEdge(ModuleState& m) { return m.settings.trimEdge == 0 || m.settings.trimEdge == 1; }
bool TrimSheetEnd(ModuleState& m) { return m.settings.trimEdge == 0 || m.settings.trimEdge == 2; }

void ReleasePage(ModuleState& m)
{
    PageState& p = m.page;
    if (p.device.isOpen()) {
        WriteReg(p.device, REG_COMMAND, CMD_STOP);
        CloseDevice(p.device);
    }
    p.running = false;
    p.armed = false;
    std::vector<uint8_t>().swap(p.pending);
    std::vector<uint8_t>().swap(p.chunk);
}

bool SetUpPage(ModuleState& m, int width)
{
    PageState& p = m.page;
    const ScanSettings& s = m.settings;
    const CalibrationRecord& rec = m.record;
    p.resolution = s.resolution;
    p.base = s.resolution <= 300 ? 300 : 600;
    p.outPixels = width;
    p.outBytes = Gray(m) ? Padded(width) : Padded((width + 7) / 8);
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
    p.contentLevel = OutputCurve(m.sensorVariant)[rec.backgroundLevel & 0xFF];
    p.chunk.assign(size_t(p.linesPerChunk) * p.rawBytes, 0);
    p.corrected.assign(size_t(p.rawPixels), 0);
    p.pending.clear();

    p.device = OpenWorkDevice(m);
    if (!p.device.isOpen())
        return false;
    m.sensorVariant = ReadSensorVariant(p.device);
    p.contentLevel = OutputCurve(m.sensorVariant)[rec.backgroundLevel & 0xFF];
    ChipSetup c;
    c.variant = m.sensorVariant;
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
bool ReadChunk(ModuleState& m)
{
    PageState& p = m.page;
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

const uint8_t* RawLine(ModuleState& m, int k) { return &m.page.chunk[size_t(k) * m.page.rawBytes]; }

void CorrectRaw(ModuleState& m, const uint8_t* raw, uint8_t* out)
{
    PageState& p = m.page;
    const bool base600 = p.base == 600;
    const uint8_t* dark = (base600 ? m.record.dark600 : m.record.dark300) + p.firstPixel;
    const uint8_t* white = (base600 ? p.white600.data() : p.white300.data()) + p.firstPixel;
    CorrectLine(raw, dark, white, p.rawPixels, m.division, OutputCurve(m.sensorVariant), out);
}

// Leading edge: chunks until a line shows paper, then the top margin. The search
// ends when the sensor stayed clear for the sensor distance (no sheet, or a blank
// one), and never reads more than the sensor distance plus the page.
BlockResult FindLeadingEdge(ModuleState& m, int pageHeight, int* firstLine)
{
    PageState& p = m.page;
    const ScanSettings& s = m.settings;
    const int64_t limit = p.afterSheetLines + int64_t(pageHeight) * p.base / p.resolution + p.linesPerChunk;
    int skip = -1; // lines still to drop after the edge; -1 while searching
    if (!TrimLeadingEdge(m))
        skip = s.top * p.base / 100;
    for (;;) {
        if (!ReadChunk(m))
            return BLOCK_READ_FAILED;
        for (int k = 0; k < p.linesPerChunk; ++k) {
            if (skip < 0) {
                CorrectRaw(m, RawLine(m, k), p.corrected.data());
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
void EmitLines(ModuleState& m, const uint8_t* corrected, int64_t raw)
{
    PageState& p = m.page;
    for (;;) {
        const int64_t source = p.outLinesMade * p.base / p.resolution;
        if (source != raw)
            return;
        size_t at = p.pending.size();
        p.pending.resize(at + size_t(p.outBytes));
        if (Gray(m))
            ScaleGrayLine(corrected, p.rawPixels, &p.pending[at], p.outPixels);
        else
            ThresholdLine(corrected, p.rawPixels, &p.pending[at], p.outPixels, p.outBytes);
        ++p.outLinesMade;
    }
}

void ProcessChunkLines(ModuleState& m, int firstLine)
{
    PageState& p = m.page;
    for (int k = firstLine; k < p.linesPerChunk; ++k) {
        CorrectRaw(m, RawLine(m, k), p.corrected.data());
        EmitLines(m, p.corrected.data(), p.rawLinesTaken++);
    }
}

// Removes the blank lines the last chunk produced after the sheet's trailing edge.
void TrimTrailingBlank(ModuleState& m, size_t pendingBefore)
{
    PageState& p = m.page;
    while (p.pending.size() > pendingBefore) {
        const uint8_t* last = &p.pending[p.pending.size() - size_t(p.outBytes)];
        if (LineHasContent(last, p.outPixels, !Gray(m), p.contentLevel))
            break;
        p.pending.resize(p.pending.size() - size_t(p.outBytes));
    }
}

size_t PendingLines(ModuleState& m) { return m.page.pending.size() / size_t(m.page.outBytes); }

BlockResult FillPending(ModuleState& m, int wanted)
{
    PageState& p = m.page;
    while (!p.sheetEnded && PendingLines(m) < size_t(wanted)) {
        if (!ReadChunk(m))
            return BLOCK_READ_FAILED;
        const size_t before = p.pending.size();
        ProcessChunkLines(m, 0);
        if (p.afterSheetCounter < p.linesPerChunk && TrimSheetEnd(m)) {
            TrimTrailingBlank(m, before);
            p.sheetEnded = true;
        }
    }
    return BLOCK_OK;
}

void Deliver(ModuleState& m, unsigned char* destination, int lines)
{
    PageState& p = m.page;
    const size_t stride = size_t(p.outBytes);
    // Bottom-up within the block: the last scanned line comes first.
    for (int k = 0; k < lines; ++k)
        memcpy(destination + size_t(lines - 1 - k) * stride, &p.pending[size_t(k) * stride], stride);
    p.pending.erase(p.pending.begin(), p.pending.begin() + ptrdiff_t(size_t(lines) * stride));
    const ScanSettings& s = m.settings;
    const size_t bytes = size_t(lines) * stride;
    if (Gray(m)) {
        const ChannelAdjust& a = s.adjust[ADJUST_ALL];
        if (!IsNeutralTone(a.brightness, a.contrast, a.gamma, a.highlight, a.shadow))
            MapBytes(destination, bytes, m.masterTone);
        FilterBlock(destination, lines, int(stride), p.outPixels, s.filterType);
    }
    if (s.inversion)
        InvertBytes(destination, bytes);
}

} // namespace

bool TakeSettings(ModuleState& m, const ScanSettings* caller, int* width, int* height)
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
    m.settings = s;
    BuildTable(m.masterTone, s.adjust[ADJUST_ALL]);
    if (s.channel) {
        BuildTable(m.redTone, s.adjust[ADJUST_RED]);
        BuildTable(m.greenTone, s.adjust[ADJUST_GREEN]);
        BuildTable(m.blueTone, s.adjust[ADJUST_BLUE]);
    } else {
        memcpy(m.redTone, m.masterTone, 256);
        memcpy(m.greenTone, m.masterTone, 256);
        memcpy(m.blueTone, m.masterTone, 256);
    }
    const int w = (s.right - s.left) * s.resolution / 100;
    const int h = (s.bottom - s.top) * s.resolution / 100;
    // An empty area reports 0 (the caller then sizes the page itself) and cannot be scanned.
    if (width) *width = w > 0 ? w : 0;
    if (height) *height = h > 0 ? h : 0;
    return w > 0 && h > 0 && !colour;
}

int StartPage(ModuleState& m, const ScanSettings* caller, int* width, int* height)
{
    ReleasePage(m);
    if (!TakeSettings(m, caller, width, height))
        return 0;
    LoadRecord(m, m.record);
    PageState& p = m.page;
    try {
        p.white600.resize(SENSOR_PIXELS);
        p.white300.resize(SENSOR_PIXELS);
    } catch (const std::bad_alloc&) {
        return IO_NO_MEMORY;
    }
    const CalibrationRecord& r = m.record;
    for (int i = 0; i < SENSOR_PIXELS; ++i) {
        // A white reference below its dark one gives 0: the pixel stays black.
        p.white600[i] = uint8_t(std::max(0, std::min(255, int((r.white600[i] - r.dark600[i]) * 1.05))));
        p.white300[i] = uint8_t(std::max(0, std::min(255, int((r.white300[i] - r.dark300[i]) * 1.05))));
    }
    p.armed = true;
    return 1;
}

short GetBlock(ModuleState& m, unsigned char* destination, short wanted, int width, int pageHeight)
{
    if (!m.division)
        return IO_NO_MEMORY;
    PageState& p = m.page;
    m.stateCode = STATE_READY;
    if (!destination || wanted <= 0)
        return 0;
    try {
        if (p.armed) {
            p.armed = false;
            if (width <= 0 || pageHeight <= 0 || !SetUpPage(m, width)) {
                ReleasePage(m);
                return IO_NOT_ANSWERING;
            }
            p.linesLeft = pageHeight;
            int firstLine = 0;
            BlockResult edge = FindLeadingEdge(m, pageHeight, &firstLine);
            if (edge == BLOCK_READ_FAILED) {
                ReleasePage(m);
                return IO_NOT_ANSWERING;
            }
            if (edge == BLOCK_NO_SHEET) {
                ReleasePage(m);
                return IO_PAGE_ENDED;
            }
            ProcessChunkLines(m, firstLine);
            if (p.afterSheetCounter < p.linesPerChunk && TrimSheetEnd(m)) {
                TrimTrailingBlank(m, 0);
                p.sheetEnded = true;
            }
        }
        if (!p.running)
            return IO_PAGE_ENDED;
        const int want = std::min<int>(wanted, p.linesLeft);
        if (FillPending(m, want) == BLOCK_READ_FAILED) {
            ReleasePage(m);
            return IO_NOT_ANSWERING;
        }
        const int lines = int(std::min<size_t>(PendingLines(m), size_t(want)));
        if (lines <= 0) {
            ReleasePage(m);
            return IO_PAGE_ENDED;
        }
        Deliver(m, destination, lines);
        p.linesLeft -= lines;
        if (p.linesLeft <= 0 || (p.sheetEnded && PendingLines(m) == 0))
            ReleasePage(m);
        return short(lines);
    } catch (const std::bad_alloc&) {
        ReleasePage(m);
        return IO_NO_MEMORY;
    }
}

void EndPage(ModuleState& m) { ReleasePage(m); }

} // namespace wren
