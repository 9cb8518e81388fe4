// Driving the CCD kind the way its driver programs a page: window, divider, LEDs,
// shading mode; and the driver's documented block reordering.
#pragma once

#include "sim_transport.h"

#include <string.h>

namespace simtest {

struct CcdPage {
    int dpi = 300;
    int mode = 1; // 1 gray, 2 black and white, 4 colour
    int left = 0, right = 220, top = 0, bottom = 360;
    uint16_t ledOff = 700;
    uint8_t shading = 0x20;
    uint16_t fixedGain = 0x4000;
    bool motion = true;

    int dividerCode() const
    {
        switch (dpi) {
        case 50: return 7; case 75: return 6; case 100: return 5; case 150: return 4;
        case 200: return 3; case 300: return 2; case 400: return 1; default: return 0;
        }
    }
    int width() const
    {
        int w = (right - left) * dpi / 100;
        w = (w + 3) / 4 * 4;
        return mode == 2 ? (w + 31) / 32 * 32 : w;
    }
    int height() const { return (bottom - top) * dpi / 100; }
    int bytesPerLine() const { return mode == 2 ? width() / 8 : mode == 4 ? width() * 3 : width(); }
    Regs regs() const
    {
        Regs r;
        r.set8(0x09, uint8_t((mode == 2 ? 0x00 : 0x18) | dividerCode()));
        r.set16(0x20, 1400);
        int wide = width() * 600 / dpi;
        int start = 24 + left * 600 / 100;
        r.set16(0x22, uint16_t(start));
        r.set16(0x24, uint16_t(start + wide - 2));
        r.set8(0x26, mode == 4 ? 0x15 : 0x14);
        r.set8(0x29, mode == 4 ? 2 : 3);
        for (int k = 0; k < 3; ++k) {
            r.set16(uint8_t(0x2C + 4 * k), 1);
            r.set16(uint8_t(0x2E + 4 * k), ledOff);
            r.set8(uint8_t(0x3B + k), 16);
        }
        r.set16(0x40, fixedGain);
        r.set8(0x42, shading);
        r.set8(0x45, motion ? 0x13 : 0x00);
        r.set16(0x4A, uint16_t(top * 600 / 100));
        return r;
    }
    void start(Handle h) const
    {
        regs().write(h);
        writeReg(h, 0x07, 0x00);
        writeReg(h, 0x07, 0x03);
    }
};

// Draws an inserted sheet in: a short forward run leaves it at the scan line.
inline void preFeed(Handle h)
{
    writeReg(h, 0x07, 0x01);
    sleepMs(250);
    writeReg(h, 0x07, 0x00);
}

// The driver's block reordering: output byte i = received byte n - i, where received
// byte n lies past the block and reads as zero; bits reversed in black and white.
inline std::vector<uint8_t> reorderBlock(const std::vector<uint8_t>& rx, bool bw)
{
    size_t n = rx.size();
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = i == 0 ? 0 : rx[n - i];
        if (bw) {
            uint8_t r = 0;
            for (int k = 0; k < 8; ++k)
                if (b & (1 << k))
                    r |= uint8_t(0x80 >> k);
            b = r;
        }
        out[i] = b;
    }
    return out;
}

// Reads a whole page in blocks, reorders each block and stacks them top-down.
inline std::vector<uint8_t> readPage(Handle h, const CcdPage& p, int blockLines = 60)
{
    int bpl = p.bytesPerLine();
    int lines = p.height();
    std::vector<uint8_t> page(size_t(bpl) * lines);
    for (int top = 0; top < lines; top += blockLines) {
        int n = lines - top < blockLines ? lines - top : blockLines;
        std::vector<uint8_t> rx(size_t(bpl) * n);
        ploverRead(h, 0x00, rx.data(), uint32_t(rx.size()), false);
        std::vector<uint8_t> block = reorderBlock(rx, p.mode == 2);
        for (int l = 0; l < n; ++l) // block lines are bottom-up
            memcpy(&page[size_t(top + n - 1 - l) * bpl], &block[size_t(l) * bpl], bpl);
    }
    return page;
}

} // namespace simtest
