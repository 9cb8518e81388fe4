// The paper path in motor steps and the injected faults: what a driver sees when the
// device misbehaves (short reads, a vanished device, a jam, a bad sensor).
#include "sim_transport.h"

#include <algorithm>
#include <errno.h>
#include <stdio.h>
#include <unistd.h>

using namespace simtest;

namespace {

void put32(std::vector<uint8_t>& file, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        file[at + i] = uint8_t(v >> (8 * i));
}

// An uncompressed BMP file, all zero: 24-bit, or 8-bit with a palette of 256.
std::vector<uint8_t> bmpFile(int w, int hgt, int bits, uint32_t pelsPerMeter)
{
    uint32_t palette = bits == 8 ? 1024 : 0, stride = (uint32_t(w) * bits / 8 + 3) & ~3u;
    std::vector<uint8_t> file(54 + palette + stride * hgt, 0);
    file[0] = 'B';
    file[1] = 'M';
    put32(file, 2, uint32_t(file.size()));
    put32(file, 10, 54 + palette);
    put32(file, 14, 40);
    put32(file, 18, w);
    put32(file, 22, hgt);
    file[26] = 1;
    file[28] = uint8_t(bits);
    put32(file, 38, pelsPerMeter);
    put32(file, 42, pelsPerMeter);
    return file;
}

// scansim_insert_bmp of these bytes, written to a file of this process for the call.
int insertFile(const std::vector<uint8_t>& bytes)
{
    std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_scansim_card.bmp";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
        ADD_FAILURE() << "cannot write " << path;
        if (f)
            fclose(f);
        return -1;
    }
    fclose(f);
    int inserted = scansim_insert_bmp(0, path.c_str());
    remove(path.c_str());
    return inserted;
}

class PaperAndFaults : public CcdDeviceTest {
protected:
    ScanSimStatus status()
    {
        ScanSimStatus st;
        EXPECT_EQ(1, scansim_get_status(0, &st));
        return st;
    }
    void moveSteps(uint16_t steps)
    {
        uint8_t v[2] = {uint8_t(steps >> 8), uint8_t(steps)};
        ploverWrite(h, 0x4A, v, 2, true);
        writeReg(h, 0x07, 0x05);
    }
    // A gray scan of 600-byte lines at 300 dpi.
    void startScan(uint16_t skip)
    {
        Regs r;
        r.set8(0x09, 0x1A);
        r.set16(0x20, 1400);
        r.set16(0x22, 24);
        r.set16(0x24, 24 + 1200 - 2);
        r.set8(0x26, 0x14);
        r.set8(0x45, 0x13);
        r.set16(0x4A, skip);
        r.write(h);
        writeReg(h, 0x07, 0x03);
    }
};

} // namespace

TEST_F(PaperAndFaults, FeedRunsStepsAndEjection)
{
    ASSERT_EQ(1, scansim_insert_card(0, SCANSIM_CARD_WHITE));
    EXPECT_DOUBLE_EQ(-400.0, status().sheetLead);
    EXPECT_EQ(1, status().paperAtSensor);

    // A short forward run draws the sheet to the scan line and holds it there.
    writeReg(h, 0x07, 0x01);
    sleepMs(300);
    EXPECT_EQ(0x02, readReg(h, 0x01) & 0x02);
    writeReg(h, 0x07, 0x00);
    EXPECT_DOUBLE_EQ(0.0, status().sheetLead);
    EXPECT_EQ(0, status().motorRun);

    // Exact step moves; steps before the first line, then 2 steps per 300-dpi line.
    moveSteps(120);
    EXPECT_DOUBLE_EQ(120.0, status().sheetLead);
    startScan(60);
    EXPECT_DOUBLE_EQ(180.0, status().sheetLead);
    std::vector<uint8_t> rx(600 * 10);
    EXPECT_EQ(rx.size(), ploverRead(h, 0x00, rx.data(), uint32_t(rx.size()), false));
    EXPECT_DOUBLE_EQ(200.0, status().sheetLead);
    writeReg(h, 0x07, 0x00);

    // A long backward run returns the sheet to the feeder's mouth, no further.
    writeReg(h, 0x07, 0x02);
    sleepMs(400);
    writeReg(h, 0x07, 0x00);
    EXPECT_DOUBLE_EQ(-400.0, status().sheetLead);
    EXPECT_GT(status().motorSteps, 120 + 60 + 20 + 4 * 300.0);

    // Ejection: the sheet leaves the path and the sensor reports no paper.
    moveSteps(42000 - 20);
    ScanSimStatus st = status();
    EXPECT_EQ(0, st.sheetPresent);
    EXPECT_EQ(1u, st.sheetsEjected);
    EXPECT_EQ(0x01, readReg(h, 0x02) & 0x01);
}

TEST_F(PaperAndFaults, ShortReadsEveryNthAndFromAByte)
{
    startScan(0);
    scansim_set_fault(0, SCANSIM_FAULT_SHORT_EVERY, 3);
    std::vector<uint8_t> rx(6000);
    EXPECT_EQ(6000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    EXPECT_EQ(6000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    EXPECT_EQ(3000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    EXPECT_EQ(6000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    // The half a short read lost is gone too: 24000 bytes asked, 40 lines consumed.
    EXPECT_EQ(40u, status().linesScanned);

    scansim_clear_faults(0);
    scansim_set_fault(0, SCANSIM_FAULT_SHORT_FROM, 1000);
    EXPECT_EQ(1000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    EXPECT_EQ(0u, ploverRead(h, 0x00, rx.data(), 6000, false));
    // Register reads still work while image data fail.
    EXPECT_EQ(0x1A, readReg(h, 0x09));
}

TEST_F(PaperAndFaults, DisconnectMidPageAndReconnect)
{
    startScan(0);
    scansim_set_fault(0, SCANSIM_FAULT_DISCONNECT_AT, 9000);
    scansim_set_fault(0, SCANSIM_FAULT_RECONNECT_AFTER, 3);
    std::vector<uint8_t> rx(6000);
    EXPECT_EQ(6000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    EXPECT_EQ(3000u, ploverRead(h, 0x00, rx.data(), 6000, false));
    EXPECT_EQ(0, status().connected);

    uint8_t header[4] = {0x01, 0x00, 0x00, 0x10};
    uint32_t n = 0;
    EXPECT_FALSE(scansim_io_write(h, header, 4, &n));
    EXPECT_EQ(ENODEV, errno);
    EXPECT_FALSE(scansim_io_read(h, rx.data(), 16, &n));
    EXPECT_EQ(0u, n);

    // The device comes back at the third open attempt, freshly powered.
    EXPECT_EQ(0, openDevice(0));
    EXPECT_EQ(0, openDevice(0));
    Handle again = openDevice(0);
    ASSERT_NE(0, again);
    EXPECT_EQ(0x00, readReg(again, 0x09));
    EXPECT_EQ(0x00, readReg(again, 0x01) & 0x01);
    // The handle from before the disconnect stays dead.
    EXPECT_FALSE(scansim_io_write(h, header, 4, &n));
    scansim_io_close(again);

    // A detached device is simply absent.
    scansim_detach(0);
    EXPECT_EQ(0, openDevice(0));
}

TEST_F(PaperAndFaults, JamAndSensorFaults)
{
    scansim_insert_card(0, SCANSIM_CARD_WHITE);
    moveSteps(400);
    EXPECT_DOUBLE_EQ(0.0, status().sheetLead);
    scansim_set_fault(0, SCANSIM_FAULT_JAM, 100);
    double motorBefore = status().motorSteps;
    moveSteps(500);
    EXPECT_DOUBLE_EQ(100.0, status().sheetLead) << "the motor turns, the sheet stays";
    EXPECT_DOUBLE_EQ(motorBefore + 500, status().motorSteps);
    moveSteps(42000);
    EXPECT_EQ(1, status().sheetPresent);
    EXPECT_EQ(0x00, readReg(h, 0x02) & 0x01);

    scansim_clear_faults(0);
    scansim_remove_sheet(0);
    scansim_set_fault(0, SCANSIM_FAULT_SENSOR_STUCK, 1);
    EXPECT_EQ(0x00, readReg(h, 0x02) & 0x01) << "stuck at paper present";
    scansim_clear_faults(0);
    scansim_set_fault(0, SCANSIM_FAULT_SENSOR_FLAP, 0);
    uint8_t a = readReg(h, 0x02) & 0x01, b = readReg(h, 0x02) & 0x01, c = readReg(h, 0x02) & 0x01;
    EXPECT_NE(a, b);
    EXPECT_EQ(a, c);
}

TEST_F(PaperAndFaults, BadArgumentsFailCleanly)
{
    EXPECT_EQ(0, scansim_attach(-1, SCANSIM_KIND_CCD, 1, 1));
    EXPECT_EQ(0, scansim_attach(127, SCANSIM_KIND_CCD, 1, 1));
    EXPECT_EQ(0, scansim_attach(3, 99, 1, 1));
    EXPECT_EQ(0, scansim_insert_card(5, SCANSIM_CARD_WHITE));
    EXPECT_EQ(0, scansim_insert_card(0, 42));
    EXPECT_EQ(0, scansim_insert_bmp(0, "C:\\no\\such\\card.bmp"));
    EXPECT_EQ(0, scansim_insert_bmp(0, nullptr));
    EXPECT_EQ(0, scansim_set_fault(0, 77, 1));
    EXPECT_EQ(0, scansim_press_button(0, 9, 1));
    EXPECT_EQ(0, scansim_get_status(0, nullptr));
    EXPECT_EQ(0, scansim_read_memory(0, 3, 0, nullptr, 4));
    EXPECT_EQ(0, scansim_read_memory(0, 0x77, 0, nullptr, 4));
    uint32_t n = 0;
    EXPECT_FALSE(scansim_io_write(h, nullptr, 4, &n));
    EXPECT_EQ(EINVAL, errno);
    EXPECT_FALSE(scansim_io_read(12345, nullptr, 4, &n));
    EXPECT_EQ(EBADF, errno);

    // A file that is not a BMP, and one whose header would put the palette 4 GB on.
    const char text[] = "BM this is not a bitmap";
    EXPECT_EQ(0, insertFile(std::vector<uint8_t>(text, text + sizeof text - 1)));
    std::vector<uint8_t> farPalette = bmpFile(4, 4, 8, 0);
    put32(farPalette, 14, 0xFFFFFFF0);
    EXPECT_EQ(0, insertFile(farPalette));
}

TEST_F(PaperAndFaults, BmpCardIsScannedAtItsOwnResolution)
{
    // A 300-dpi BMP (1 inch square), white with a black 0.1-inch square at (0.5, 0.2) inch.
    const int w = 300, hgt = 300, stride = w * 3;
    std::vector<uint8_t> file = bmpFile(w, hgt, 24, 11811); // 300 dpi
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            bool mark = x >= 135 && x < 165 && y >= 45 && y < 75; // y from the top
            uint8_t v = mark ? 10 : 230;
            uint8_t* p = &file[54 + size_t(hgt - 1 - y) * stride + x * 3];
            p[0] = p[1] = p[2] = v;
        }
    ASSERT_EQ(1, insertFile(file));
    EXPECT_EQ(1, status().sheetPresent);

    // Sheet at the line, one 600-dpi line through the mark's middle (row 0.3 inch).
    moveSteps(400 + 120);
    Regs r;
    r.set8(0x09, 0x18);
    r.set16(0x20, 1400);
    r.set16(0x22, 24);
    r.set16(0x24, 24 + 1344 - 2);
    r.set8(0x26, 0x14);
    r.set8(0x29, 3);
    r.set16(0x2C + 4, 1); // green LED
    r.set16(0x2E + 4, 1000);
    r.set16(0x2C, 1);
    r.set16(0x2E, 1000);
    r.set16(0x2C + 8, 1);
    r.set16(0x2E + 8, 1000);
    r.set8(0x3C, 16);
    r.set16(0x40, 0x4000);
    r.set8(0x42, 0x20);
    r.write(h);
    writeReg(h, 0x07, 0x03);
    std::vector<uint8_t> line(1344);
    ASSERT_EQ(1344u, ploverRead(h, 0x00, line.data(), 1344, false));
    // Face down: sensor pixel a sees card x = 1320 - a; the mark spans x 270..329.
    auto maxOf = [&](int from, int to) { return *std::max_element(line.begin() + from, line.begin() + to); };
    EXPECT_LT(maxOf(1320 - 320, 1320 - 280), 40);
    EXPECT_GT(maxOf(1320 - 250, 1320 - 150), 150);
    // Beyond the 1-inch card: the dark backing.
    EXPECT_LT(maxOf(1320 - 800, 1320 - 700), 40);
}
