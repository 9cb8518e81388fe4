// Pages through wren's page calls, for the loaded module (wren_module.h) and the core
// (wren_core_module.h) alike: a whole page as a top-down gray (or black-and-white)
// image, the register image of a page, damaged records and failing pages.
#pragma once

#include "io_driver.h"
#include "scansim.h"

#include <gtest/gtest.h>

#include <stdint.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace wrentest {

inline ScanSettings GraySettings(int resolution)
{
    ScanSettings s = {};
    s.mode = MODE_GRAY;
    s.resolution = int16_t(resolution);
    for (ChannelAdjust& a : s.adjust) {
        a.gamma = 10;
        a.highlight = 255;
    }
    s.threshold = 128;
    s.top = 0;
    s.left = 0;
    s.bottom = 360;
    s.right = 210;
    return s;
}

struct Page {
    int result = 0;       // last IO_GetImageBlock value that ended the page
    int width = 0, stride = 0, lines = 0;
    int fedOut = -1;      // IO_FeedPage's answer
    bool blackAndWhite = false;
    std::vector<uint8_t> rows; // top-down
    uint8_t At(int x, int y) const
    {
        const uint8_t* row = &rows[size_t(y) * stride];
        if (!blackAndWhite)
            return row[x];
        return (row[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
    }
};

// One page through the driver in blocks of `block` lines, as kestrel calls it.
// `betweenBlocks` runs after every block, as a host's timer may between driver calls.
// `Driver` has the page calls by their export names.
template <typename Driver>
Page ScanPage(Driver& w, ScanSettings s, int block = 64,
                     const std::function<void()>& betweenBlocks = nullptr)
{
    Page p;
    int width = 0, height = 0;
    p.result = w.StartScanPage(&s, &width, &height);
    if (p.result != 1) {
        w.EndScanPage();
        return p;
    }
    p.width = width;
    p.blackAndWhite = s.mode != MODE_GRAY;
    p.stride = p.blackAndWhite ? ((width + 7) / 8 + 3) / 4 * 4 : (width + 3) / 4 * 4;
    std::vector<uint8_t> buffer(size_t(p.stride) * block);
    for (;;) {
        int wanted = std::min(block, height - p.lines);
        if (wanted <= 0)
            break;
        short got = w.GetImageBlock(buffer.data(), short(wanted), &s, width, height);
        if (got <= 0) {
            p.result = got;
            break;
        }
        // Each block is bottom-up.
        for (int k = got - 1; k >= 0; --k)
            p.rows.insert(p.rows.end(), buffer.begin() + size_t(k) * p.stride,
                          buffer.begin() + size_t(k + 1) * p.stride);
        p.lines += got;
        p.result = got;
        if (betweenBlocks)
            betweenBlocks();
        if (got < wanted)
            break;
    }
    p.fedOut = w.FeedPage();
    w.EndScanPage();
    return p;
}

// The chip's registers while the first lines of a 300-dpi gray page of the white card
// come in, as text; or what went wrong.
template <typename Driver>
std::string RegisterImageOfAPage(Driver& wren)
{
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    ScanSettings s = GraySettings(300);
    int width = 0, height = 0;
    if (wren.StartScanPage(&s, &width, &height) != 1)
        return "page refused";
    std::vector<uint8_t> lines(size_t(width + 3) / 4 * 4 * 2);
    const short got = wren.GetImageBlock(lines.data(), 2, &s, width, height);
    std::vector<char> text(scansim_register_text(0, nullptr, 0));
    scansim_register_text(0, text.data(), uint32_t(text.size()));
    wren.EndScanPage();
    return got == 2 ? std::string(text.data()) : "no lines";
}

// Bytes of a damaged calibration record, with or without the validity mark.
inline std::vector<uint8_t> RecordGarbage(size_t size, bool marked)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 73 + 5);
    if (marked && size >= 24) {
        bytes[22] = 136;  // the validity mark, little-endian word at 22
        bytes[23] = 0;
    }
    return bytes;
}

// Nowhere to write the record: the calibration fails, the sheet is not lost.
template <typename Driver>
void ExpectCalibrationFailsKeepingTheSheet(Driver& wren)
{
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    EXPECT_LE(wren.CalibrateScanner(0), 0);
    ScanSimStatus status;
    ASSERT_EQ(1, scansim_get_status(0, &status));
    EXPECT_TRUE(status.sheetPresent);
}

// The three ways a page fails, and how the driver answers each.
struct PageFailure {
    const char* name;
    int fault;       // 0: no sheet at all
    uint32_t param;
    int blockResult; // what IO_GetImageBlock ends the page with (lines > 0: a count)
    int fedOut;      // IO_FeedPage: 0 = paper jam
};

inline const PageFailure kPageFailures[] = {
    {"read failure", SCANSIM_FAULT_SHORT_FROM, 250000, -2, 1}, // in the middle of the page
    {"jam", SCANSIM_FAULT_JAM, 700, 1, 0},
    {"no sheet", 0, 0, IO_PAGE_ENDED, 1},
};

// Device 0 with the failure set up: the fiducial card and the fault, or no sheet.
inline void PreparePageFailure(const PageFailure& c)
{
    scansim_clear_faults(0);
    scansim_remove_sheet(0);
    if (c.fault) {
        scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
        scansim_set_fault(0, c.fault, c.param);
    }
}

} // namespace wrentest
