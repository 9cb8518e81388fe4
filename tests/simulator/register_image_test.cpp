// The register file value type of the model: 16-bit pairs high byte first, and the
// printer and differ that logs and tests use.
#include "register_image.h"

#include "sim_transport.h"

using scansim::RegisterImage;

TEST(RegisterImage, PairsAreHighByteFirstAndPrintable)
{
    RegisterImage a;
    a.set16(0x20, 1400);
    EXPECT_EQ(0x05, a.get8(0x20));
    EXPECT_EQ(0x78, a.get8(0x21));
    EXPECT_EQ(1400, a.get16(0x20));
    a.set8(0x42, 0x26);
    std::string text = a.format();
    EXPECT_EQ(0u, text.find("00: 00 00"));
    EXPECT_NE(std::string::npos, text.find("\n20: 05 78 00"));
    EXPECT_NE(std::string::npos, text.find("\n40: 00 00 26"));
    RegisterImage b = a;
    b.set8(0x42, 0x24);
    EXPECT_EQ("0x42: 26 -> 24\n", a.diff(b));
    EXPECT_EQ("", a.diff(a));
}

TEST(RegisterImage, TheDeviceShowsItsRegistersAsText)
{
    scansim_reset();
    ASSERT_EQ(1, scansim_attach(9, SCANSIM_KIND_CIS0, 0x0400, 0x1002));
    simtest::Handle h = simtest::openDevice(9);
    ASSERT_NE(0, h);
    uint8_t pair[2] = {0x05, 0x3A};
    simtest::wrenWrite(h, 0x36, pair, 2, true);
    std::vector<char> text(scansim_register_text(9, nullptr, 0));
    ASSERT_EQ(text.size(), scansim_register_text(9, text.data(), uint32_t(text.size())));
    EXPECT_NE(nullptr, strstr(text.data(), "\n30: 00 00 00 00 00 00 05 3A"));
    EXPECT_EQ(0u, scansim_register_text(10, nullptr, 0));
    scansim_io_close(h);
}
