// A whole CCD session with the register sequences its driver documents: load, feed,
// LED exposure, dark and white references, then pages with the shading tables cut
// and resampled to the page. Checks the physics of the result, not the sequence.
#include "ccd_page.h"

#include <algorithm>
#include <cmath>

using namespace simtest;

namespace {

struct LedTimes {
    uint16_t on[3] = {1, 1, 1};
    uint16_t off[3] = {1300, 1300, 1300};
};

// The register image the driver builds before every page or measurement, with the
// defaults of its configuration file.
Regs initImage(const LedTimes& led, int dpi, int mode)
{
    Regs r;
    r.set8(0x08, (mode != 4 && (dpi == 50 || dpi == 75)) ? 62 : 20);
    r.set8(0x09, 0x18);
    const uint8_t b0b[] = {0x2D, 0x00, 0x25, 0x00, 0x18, 0x01, 0x00, 0x04, 0, 0, 0, 0, 0x03, 0x07, 0x00,
                           0x01, 0x01, 0x01, 0x02};
    for (int i = 0; i < int(sizeof b0b); ++i)
        r.set8(uint8_t(0x0B + i), b0b[i]);
    r.set16(0x1E, 0x0011);
    r.set16(0x20, 1400);
    r.set16(0x22, 24);
    r.set16(0x24, 24 + 1344 - 2);
    r.set8(0x26, 0x14);
    r.set8(0x29, 0x02);
    r.set16(0x2A, 3000);
    for (int k = 0; k < 3; ++k) {
        r.set16(uint8_t(0x2C + 4 * k), led.on[k]);
        r.set16(uint8_t(0x2E + 4 * k), led.off[k]);
        r.set8(uint8_t(0x38 + k), 0);
        r.set8(uint8_t(0x3B + k), 16);
    }
    r.set16(0x40, 0x4000);
    r.set8(0x42, 0x26);
    r.set8(0x45, 0x13);
    r.set16(0x46, 0x077A);
    r.set16(0x48, 250);
    r.set8(0x4E, 100);
    r.set8(0x4F, 0x01);
    r.set8(0x51, dpi <= 300 ? 0x90 : 0x00);
    r.set8(0x52, 0x0B);
    r.set8(0x53, 0xD0);
    r.set8(0x54, 0x07);
    r.set8(0x55, 1);
    r.set8(0x56, 255);
    r.set8(0x57, 63);
    r.set8(0x58, 0x01);
    r.set8(0x59, 238);
    return r;
}

class PloverFlow : public CcdDeviceTest {
protected:
    void SetUp() override
    {
        CcdDeviceTest::SetUp();
        if (HasFatalFailure())
            return;
        // Module load.
        writeReg(h, 0x08, 30);
        writeReg(h, 0x19, 0);
        Regs r = initImage(led, 600, 1);
        r.set8(0x29, 0);
        r.write(h);
        writeReg(h, 0x07, 0x00);
        readReg(h, 0x02);
    }

    void resetChip()
    {
        writeReg(h, 0x07, 0x20);
        writeReg(h, 0x07, 0x00);
    }
    void feedOn()
    {
        uint8_t speed[2] = {800 >> 8, 800 & 0xFF};
        ploverWrite(h, 0x48, speed, 2, true);
        writeReg(h, 0x4C, 0x0F);
        writeReg(h, 0x4D, 0xFF);
        writeReg(h, 0x07, 0x01);
        sleepMs(250);
        writeReg(h, 0x07, 0x00);
    }
    void runSteps(uint16_t steps)
    {
        writeReg(h, 0x48, 0);
        writeReg(h, 0x49, 200);
        writeReg(h, 0x4A, uint8_t(steps >> 8));
        writeReg(h, 0x4B, uint8_t(steps));
        writeReg(h, 0x07, 0x05);
    }
    std::vector<int> oneGrayLine(Regs r, bool lit, int n)
    {
        r.set16(0x46, 344);
        r.set8(0x29, lit ? 3 : 0);
        r.write(h);
        writeReg(h, 0x07, 0x00);
        writeReg(h, 0x07, 0x03);
        std::vector<uint8_t> rx(size_t(1344) * (n + 1));
        EXPECT_EQ(rx.size(), ploverRead(h, 0x00, rx.data(), uint32_t(rx.size()), false));
        writeReg(h, 0x07, 0x00);
        std::vector<int> mean(1344);
        for (int p = 0; p < 1344; ++p) {
            int sum = 0;
            for (int l = 0; l < n; ++l)
                sum += rx[size_t(l) * 1344 + p];
            mean[p] = sum / n;
        }
        return mean;
    }
    void download(uint8_t region, const std::vector<uint16_t>& words)
    {
        std::vector<uint8_t> bytes;
        for (uint16_t w : words) {
            bytes.push_back(uint8_t(w >> 8));
            bytes.push_back(uint8_t(w));
        }
        writeReg(h, 0x03, region);
        writeReg(h, 0x04, 0);
        writeReg(h, 0x05, 0);
        ploverWrite(h, 0x06, bytes.data(), uint32_t(bytes.size()), false);
    }
    void calibrate()
    {
        initImage(led, 600, 1).write(h);
        writeReg(h, 0x07, 0x01);
        sleepMs(200);
        writeReg(h, 0x07, 0x00);
        ASSERT_EQ(0x00, readReg(h, 0x02) & 0x01) << "calibration sheet present";
        for (int k = 0; k < 3; ++k) {
            led.on[k] = 1;
            led.off[k] = 500;
        }
        for (;;) {
            Regs r = initImage(led, 600, 1);
            r.set8(0x45, 0);
            r.set8(0x42, 0x21);
            std::vector<int> line = oneGrayLine(r, true, 1);
            int sum = 0;
            for (int p = 1000; p < 1300; ++p)
                sum += line[p];
            if (sum / 300 > 210)
                break;
            for (int k = 0; k < 3; ++k)
                led.off[k] += 100;
            if (led.off[1] > 1400) {
                led.off[1] = 1400;
                break;
            }
        }
        resetChip();
        Regs dark = initImage(led, 600, 1);
        dark.set8(0x42, 0x20);
        dark.set8(0x26, 0x14);
        std::vector<int> d = oneGrayLine(dark, false, 512);
        offsets.assign(1344, 0);
        for (int p = 0; p < 1344; ++p)
            offsets[p] = uint16_t(d[p] * 256);
        resetChip();
        Regs white = initImage(led, 600, 1);
        white.set8(0x42, 0x24);
        white.set16(0x40, 0x3FFF);
        for (uint8_t region : {0, 4, 8})
            download(region, offsets);
        std::vector<int> w = oneGrayLine(white, true, 512);
        gains.assign(1344, 0);
        for (int p = 0; p < 1344; ++p) {
            double m = w[p] == 0 ? 255 : w[p];
            gains[p] = uint16_t(std::min(65535.0, 255.0 / m * 16384));
        }
        runSteps(1200);
        writeReg(h, 0x29, 0);
    }
    // The page's tables: shifted by the left edge, averaged over `ratio` words.
    static std::vector<uint16_t> resample(std::vector<uint16_t> t, int left, int dpi)
    {
        int start = left * 6;
        for (int i = 0; i + start < 1344; ++i)
            t[i] = t[i + start];
        int r = 600 / dpi;
        if (r > 1)
            for (int i = 0; i * r + r <= 1344; ++i) {
                int sum = 0;
                for (int k = 0; k < r; ++k)
                    sum += t[i * r + k];
                t[i] = uint16_t(sum / r);
            }
        return t;
    }
    std::vector<uint8_t> scanPage(const CcdPage& p)
    {
        resetChip();
        Regs r = initImage(led, p.dpi, p.mode);
        r.set8(0x26, 0x14);
        r.set8(0x09, uint8_t(0x18 | p.dividerCode()));
        r.set8(0x29, 3);
        for (uint8_t region : {0, 4, 8})
            download(region, resample(offsets, p.left, p.dpi));
        for (uint8_t region : {1, 5, 9})
            download(region, resample(gains, p.left, p.dpi));
        r.set16(0x46, uint16_t((1400 - 24) * p.dpi / 2400));
        r.set16(0x1E, 24);
        int wide = p.width() * 600 / p.dpi;
        int start = 24 + p.left * 6;
        r.set16(0x22, uint16_t(start));
        r.set16(0x24, uint16_t(start + wide - 2));
        r.set16(0x4A, uint16_t(p.top * 6));
        r.write(h);
        writeReg(h, 0x07, 0x00);
        writeReg(h, 0x07, 0x03);
        std::vector<uint8_t> page = readPage(h, p, 40);
        writeReg(h, 0x29, 0);
        runSteps(42000);
        return page;
    }

    LedTimes led;
    std::vector<uint16_t> offsets, gains;
};

} // namespace

TEST_F(PloverFlow, CalibratedPagesAreFlatAndInPlace)
{
    ASSERT_EQ(1, scansim_insert_card(0, SCANSIM_CARD_WHITE));
    feedOn();
    calibrate();
    ScanSimStatus st;
    ASSERT_EQ(1, scansim_get_status(0, &st));
    EXPECT_EQ(0, st.sheetPresent) << "the calibration sheet was ejected";
    EXPECT_GE(led.off[1], 800);
    EXPECT_LE(led.off[1], 1300);

    for (int dpi : {300, 600}) {
        SCOPED_TRACE(dpi);
        ASSERT_EQ(1, scansim_insert_card(0, SCANSIM_CARD_GRAY));
        feedOn();
        CcdPage p;
        p.dpi = dpi;
        std::vector<uint8_t> page = scanPage(p);
        std::vector<double> mean(p.width(), 0.0);
        int rows = p.height() - 20;
        for (int y = 10; y < 10 + rows; ++y)
            for (int x = 0; x < p.width(); ++x)
                mean[x] += page[size_t(y) * p.width() + x] / double(rows);
        auto mm = std::minmax_element(mean.begin() + 2, mean.end() - 2);
        EXPECT_LT(*mm.second - *mm.first, 8.0) << "calibrated columns are even";
        EXPECT_GT(*mm.first, 100.0);
        EXPECT_LT(*mm.second, 180.0);
    }

    ASSERT_EQ(1, scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL));
    feedOn();
    CcdPage p;
    p.dpi = 300;
    std::vector<uint8_t> page = scanPage(p);
    for (int m = 0; m < SCANSIM_MARK_COUNT; ++m) {
        double ex = SCANSIM_MARK_X[m] / 2.0, ey = SCANSIM_MARK_Y[m] / 2.0;
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = int(ey) - 24; y <= int(ey) + 24; ++y)
            for (int x = int(ex) - 24; x <= int(ex) + 24; ++x)
                if (page[size_t(y) * p.width() + x] < 60) {
                    sx += x + 0.5;
                    sy += y + 0.5;
                    ++n;
                }
        ASSERT_GT(n, 0) << "mark " << m;
        EXPECT_NEAR(ex, sx / n, 1.0) << "mark " << m;
        EXPECT_NEAR(ey, sy / n, 1.0) << "mark " << m;
    }
}
