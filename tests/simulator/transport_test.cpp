// The register transport of the simulated controller: framing of both drivers'
// transfers byte for byte, the descriptor, the memory port and the sensor register.
#include "sim_transport.h"

#include <errno.h>

using namespace simtest;

namespace {

class Transport : public ::testing::Test {
protected:
    void SetUp() override
    {
        scansim_reset();
        ASSERT_EQ(1, scansim_attach(2, SCANSIM_KIND_CCD, 0x0400, 0x1000));
        h = openDevice(2);
        ASSERT_NE(0, h);
        scansim_log_clear();
    }
    void TearDown() override { scansim_io_close(h); }
    std::vector<uint8_t> regs()
    {
        std::vector<uint8_t> r(128);
        scansim_get_registers(2, r.data());
        return r;
    }
    Handle h = 0;
};

std::vector<uint8_t> counting(size_t n, uint8_t first)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = uint8_t(first + i);
    return v;
}

} // namespace

TEST_F(Transport, DescriptorAndDiscovery)
{
    Descriptor d = {};
    uint32_t got = 0;
    ASSERT_TRUE(scansim_io_control(h, SCANSIM_IO_GET_DESCRIPTOR, &d, 8, &d, 8, &got));
    EXPECT_EQ(8u, got);
    EXPECT_EQ(0x0400, d.vendorId);
    EXPECT_EQ(0x1000, d.productId);

    // Too small an answer buffer, an unknown control code: clear failures.
    EXPECT_FALSE(scansim_io_control(h, SCANSIM_IO_GET_DESCRIPTOR, &d, 8, &d, 4, &got));
    EXPECT_EQ(EOVERFLOW, errno);
    EXPECT_FALSE(scansim_io_control(h, 0x80002000u, nullptr, 0, &d, 8, &got));
    EXPECT_EQ(ENOTTY, errno);

    // Only attached indices and well-formed names open.
    EXPECT_EQ(0, openDevice(0));
    EXPECT_EQ(ENOENT, errno);
    EXPECT_EQ(0, openDevice(126));
    EXPECT_EQ(0, scansim_io_open("\\\\.\\usbscan2x"));
    EXPECT_EQ(0, scansim_io_open("usbscan2"));
    EXPECT_EQ(0, scansim_io_open(nullptr));
    EXPECT_EQ(0, scansim_io_open("\\\\.\\usbscan127"));
    Handle upper = scansim_io_open("\\\\.\\USBSCAN2");
    EXPECT_NE(0, upper) << "names are not case-sensitive";
    scansim_io_close(upper);

    // A closed handle is refused without harm.
    Handle second = openDevice(2);
    ASSERT_NE(0, second);
    EXPECT_TRUE(scansim_io_close(second));
    uint8_t b = 0;
    uint32_t n = 0;
    EXPECT_FALSE(scansim_io_write(second, &b, 1, &n));
    EXPECT_EQ(EBADF, errno);
    EXPECT_FALSE(scansim_io_close(second));
}

TEST_F(Transport, WholeRegisterImageIsOneTransferOf139Bytes)
{
    std::vector<uint8_t> image = counting(127, 0x80);
    image[0x07] = 0x00; // command register: stop
    ploverWrite(h, 0x00, image.data(), 127, true);

    std::vector<uint8_t> expect;
    for (int c = 0; c < 3; ++c) {
        uint8_t n = c < 2 ? 60 : 7;
        expect.insert(expect.end(), {0x02, uint8_t(c * 60), 0x00, n});
        expect.insert(expect.end(), image.begin() + c * 60, image.begin() + c * 60 + n);
    }
    ASSERT_EQ(139u, expect.size());
    std::vector<std::string> log = logLines();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(hexLine("W", expect), log[0]);

    std::vector<uint8_t> r = regs();
    for (int i = 0x08; i < 127; ++i)
        EXPECT_EQ(image[i], r[i]) << "register " << i;
}

TEST_F(Transport, SixtyOneBytesFromRegister0x10)
{
    std::vector<uint8_t> data = counting(61, 1);
    ploverWrite(h, 0x10, data.data(), 61, true);
    std::vector<uint8_t> expect = {0x02, 0x10, 0x00, 0x3C};
    expect.insert(expect.end(), data.begin(), data.begin() + 60);
    expect.insert(expect.end(), {0x02, 0x4C, 0x00, 0x01, 61});
    std::vector<std::string> log = logLines();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(hexLine("W", expect), log[0]);
    std::vector<uint8_t> r = regs();
    EXPECT_EQ(1, r[0x10]);
    EXPECT_EQ(60, r[0x4B]);
    EXPECT_EQ(61, r[0x4C]);
}

TEST_F(Transport, WrenBatchingGivesTheSameRegisters)
{
    // 87 bytes from 0x08: a transfer closes once it holds 28 bytes or more.
    std::vector<uint8_t> block = counting(87, 0x30);
    wrenWrite(h, 0x08, block.data(), 87, true);
    std::vector<uint8_t> first = {0x02, 0x08, 0x00, 0x3C};
    first.insert(first.end(), block.begin(), block.begin() + 60);
    std::vector<uint8_t> second = {0x02, 0x44, 0x00, 0x1B};
    second.insert(second.end(), block.begin() + 60, block.end());
    std::vector<uint8_t> r = regs();
    EXPECT_EQ(block[0], r[0x08]);
    EXPECT_EQ(block[86], r[0x5E]);
    // 36 bytes from 0x5C: shorter than 60, one transfer.
    std::vector<uint8_t> tail = counting(36, 0xA0);
    wrenWrite(h, 0x5C, tail.data(), 36, true);
    std::vector<uint8_t> third = {0x02, 0x5C, 0x00, 0x24};
    third.insert(third.end(), tail.begin(), tail.end());

    std::vector<std::string> log = logLines();
    ASSERT_EQ(3u, log.size());
    EXPECT_EQ(hexLine("W", first), log[0]);
    EXPECT_EQ(hexLine("W", second), log[1]);
    EXPECT_EQ(hexLine("W", third), log[2]);
    r = regs();
    EXPECT_EQ(block[0x5B - 0x08], r[0x5B]);
    EXPECT_EQ(tail[0], r[0x5C]);
    EXPECT_EQ(tail[35], r[0x7F]);
}

TEST_F(Transport, GammaBurstFillsMemoryInTransfersOf192)
{
    std::vector<uint8_t> table(4096);
    for (size_t e = 0; e < table.size(); ++e)
        table[e] = uint8_t(255 - e / 16);
    writeReg(h, 0x03, 6);
    writeReg(h, 0x04, 0);
    writeReg(h, 0x05, 0);
    scansim_log_clear();
    ploverWrite(h, 0x06, table.data(), uint32_t(table.size()), false);

    std::vector<std::string> log = logLines();
    ASSERT_EQ(23u, log.size()); // 22 transfers of 180 data bytes, one of 136
    EXPECT_EQ(0u, log[0].find("W 00 06 00 3C"));
    EXPECT_EQ(2 + 192 * 3 - 1, int(log[0].size()));
    EXPECT_NE(std::string::npos, log[0].find("00 06 00 3C", 200));
    std::vector<uint8_t> mem(4096);
    ASSERT_EQ(1, scansim_read_memory(2, 6, 0, mem.data(), 4096));
    EXPECT_EQ(table, mem);
    // The red table kept its power-on identity.
    ASSERT_EQ(1, scansim_read_memory(2, 2, 0, mem.data(), 4096));
    EXPECT_EQ(0x80, mem[2048]);
}

TEST_F(Transport, ReadsSplitAndRegisterReads)
{
    // A scan of 1000-byte lines: 100000 bytes arrive as 63488 + 36512, each with a header.
    Regs r;
    r.set8(0x09, 0x18);
    r.set16(0x20, 1400);
    r.set16(0x22, 24);
    r.set16(0x24, 24 + 1000 - 2);
    r.set8(0x26, 0x14);
    r.write(h);
    writeReg(h, 0x07, 0x03);
    scansim_log_clear();
    std::vector<uint8_t> buffer(100000);
    EXPECT_EQ(100000u, ploverRead(h, 0x00, buffer.data(), 100000, false));
    std::vector<std::string> log = logLines();
    ASSERT_EQ(4u, log.size());
    EXPECT_EQ("W 01 00 F8 00", log[0]);
    EXPECT_EQ("R 63488/63488", log[1]);
    EXPECT_EQ("W 01 00 8E A0", log[2]);
    EXPECT_EQ("R 36512/36512", log[3]);
    ScanSimStatus st;
    ASSERT_EQ(1, scansim_get_status(2, &st));
    EXPECT_EQ(100u, st.linesScanned);
    EXPECT_EQ(1000u, st.bytesPerLine);

    // Incrementing register reads return the register file; status shows the scan.
    uint8_t three[3] = {};
    EXPECT_EQ(3u, ploverRead(h, 0x20, three, 3, true));
    EXPECT_EQ(0x05, three[0]);
    EXPECT_EQ(0x78, three[1]);
    EXPECT_EQ(0x01, readReg(h, 0x01) & 0x01);
    writeReg(h, 0x07, 0x00);
    EXPECT_EQ(0x00, readReg(h, 0x01) & 0x01);
    // No scan running: the data port delivers nothing.
    EXPECT_EQ(0u, ploverRead(h, 0x00, buffer.data(), 10, false));
    // A truncated frame is counted, not obeyed.
    uint8_t broken[6] = {0x02, 0x10, 0x00, 0x09, 1, 2};
    uint32_t n = 0;
    scansim_io_write(h, broken, 6, &n);
    ASSERT_EQ(1, scansim_get_status(2, &st));
    EXPECT_EQ(1u, st.protocolErrors);
}

TEST_F(Transport, MemorySelfTestPassesThroughWrapAround)
{
    // The presence check: write at 0x40xx, read back at 0x00xx of region 0x40.
    writeReg(h, 0x03, 0x40);
    int failedAt = -1;
    for (int i = 0; i <= 254 && failedAt < 0; ++i) {
        writeReg(h, 0x04, 0x40);
        writeReg(h, 0x05, uint8_t(i));
        writeReg(h, 0x06, 0);
        writeReg(h, 0x06, uint8_t(i));
        writeReg(h, 0x04, 0);
        writeReg(h, 0x05, uint8_t(i));
        readReg(h, 0x06);
        if (readReg(h, 0x06) != i)
            failedAt = i;
    }
    EXPECT_EQ(-1, failedAt);
    uint8_t m[2];
    ASSERT_EQ(1, scansim_read_memory(2, 0x40, 254, m, 2));
    EXPECT_EQ(0, m[0]);
    EXPECT_EQ(254, m[1]);
}

TEST_F(Transport, SensorRegisterPolarityPerKind)
{
    // CCD kind: paper bit low while paper is present; button bit 4 high when pressed.
    EXPECT_EQ(0x01, readReg(h, 0x02));
    ASSERT_EQ(1, scansim_insert_card(2, SCANSIM_CARD_WHITE));
    EXPECT_EQ(0x00, readReg(h, 0x02));
    scansim_press_button(2, 1, 1);
    EXPECT_EQ(0x10, readReg(h, 0x02));
    scansim_remove_sheet(2);
    scansim_press_button(2, 1, 0);
    EXPECT_EQ(0x01, readReg(h, 0x02));

    // CIS kinds: paper bit high while paper is present; variant 1 has bit 3 set and
    // bit 4 clear, variant 0 does not; buttons 1-3 on bits 5-7, "other" on bit 2.
    ASSERT_EQ(1, scansim_attach(5, SCANSIM_KIND_CIS1, 0x0400, 0x1001));
    ASSERT_EQ(1, scansim_attach(6, SCANSIM_KIND_CIS0, 0x0400, 0x1002));
    Handle v1 = openDevice(5), v0 = openDevice(6);
    uint8_t s1 = readReg(v1, 0x02), s0 = readReg(v0, 0x02);
    EXPECT_EQ(0, s1 & 0x01);
    EXPECT_TRUE((s1 & 0x08) && !(s1 & 0x10));
    EXPECT_FALSE((s0 & 0x08) && !(s0 & 0x10));
    scansim_insert_card(5, SCANSIM_CARD_WHITE);
    scansim_press_button(5, 2, 1);
    scansim_press_button(5, 4, 1);
    s1 = readReg(v1, 0x02);
    EXPECT_EQ(0x01, s1 & 0x01);
    EXPECT_EQ(0x40, s1 & 0xE0);
    EXPECT_EQ(0x04, s1 & 0x04);
    scansim_io_close(v1);
    scansim_io_close(v0);
}

TEST_F(Transport, ResetClearsRegistersButKeepsMemory)
{
    Regs r;
    r.set16(0x22, 24);
    r.set8(0x42, 0x26);
    r.write(h);
    writeReg(h, 0x03, 8);
    writeReg(h, 0x04, 0);
    writeReg(h, 0x05, 0);
    writeReg(h, 0x06, 0x5A);
    uint8_t reset[2] = {0x20, 0x00};
    ploverWrite(h, 0x07, reset, 2, false);
    std::vector<uint8_t> after = regs();
    EXPECT_EQ(0, after[0x23]);
    EXPECT_EQ(0, after[0x42]);
    uint8_t m = 0;
    scansim_read_memory(2, 8, 0, &m, 1);
    EXPECT_EQ(0x5A, m);
}
