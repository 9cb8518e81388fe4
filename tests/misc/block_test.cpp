// Line reordering and the area-averaging reductions, with literal blocks.
#include <gtest/gtest.h>

#include <stdint.h>

#include <vector>

#include "scan/misc.h"

namespace {

TEST(ReverseLines, TurnsABlockUpsideDown)
{
    std::vector<uint8_t> odd = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3};
    ReverseLines(odd.data(), 3, 4);
    EXPECT_EQ(odd, (std::vector<uint8_t>{3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));

    std::vector<uint8_t> even = {1, 2, 3, 4, 5, 6, 7, 8};
    ReverseLines(even.data(), 4, 2);
    EXPECT_EQ(even, (std::vector<uint8_t>{7, 8, 5, 6, 3, 4, 1, 2}));

    std::vector<uint8_t> single = {9, 8, 7, 6};
    ReverseLines(single.data(), 1, 4);
    EXPECT_EQ(single, (std::vector<uint8_t>{9, 8, 7, 6}));
}

TEST(SwapRedBlue, ExchangesFirstAndThirdByteOfEveryPixel)
{
    // Two lines of two BGR pixels each, padded to 8 bytes.
    std::vector<uint8_t> block = {10, 20, 30, 40, 50, 60, 0xEE, 0xEE,
                                  1, 2, 3, 4, 5, 6, 0xEE, 0xEE};
    SwapRedBlue(block.data(), 2, 8);
    EXPECT_EQ(block, (std::vector<uint8_t>{30, 20, 10, 60, 50, 40, 0xEE, 0xEE,
                                           3, 2, 1, 6, 5, 4, 0xEE, 0xEE}));
}

TEST(ShrinkBlock8, UniformSourceStaysUniform)
{
    std::vector<uint8_t> source(16, 100);   // 4 x 4, lines of 4 bytes
    std::vector<uint8_t> target(2 * 8, 0xCC);
    ShrinkBlock8(2, 2, target.data(), 4, 4, source.data());
    // 2 pixels of 3 bytes, padded to 8 bytes per line; the padding is not touched.
    EXPECT_EQ(target, (std::vector<uint8_t>{100, 100, 100, 100, 100, 100, 0xCC, 0xCC,
                                            100, 100, 100, 100, 100, 100, 0xCC, 0xCC}));
}

TEST(ShrinkBlock8, AveragesEachBoxAndSpreadsTheRemainder)
{
    // 4 x 2 into 2 x 1: two boxes of 2 x 2.
    std::vector<uint8_t> source = {10, 20, 30, 40, 50, 60, 70, 80};
    std::vector<uint8_t> target(8, 0);
    ShrinkBlock8(2, 1, target.data(), 4, 2, source.data());
    EXPECT_EQ(target[0], 35);
    EXPECT_EQ(target[2], 35);
    EXPECT_EQ(target[3], 55);

    // 3 columns into 2: the first box holds column 0, the second columns 1 and 2.
    std::vector<uint8_t> row = {0, 30, 60, 0};
    ShrinkBlock8(2, 1, target.data(), 3, 1, row.data());
    EXPECT_EQ(target[0], 0);
    EXPECT_EQ(target[3], 45);

    // 5 lines into 2: rows 0..1 and 2..4.
    std::vector<uint8_t> column = {0, 0, 0, 0, 10, 0, 0, 0, 40, 0, 0, 0,
                                   70, 0, 0, 0, 100, 0, 0, 0};
    std::vector<uint8_t> tall(2 * 4, 0);
    ShrinkBlock8(1, 2, tall.data(), 1, 5, column.data());
    EXPECT_EQ(tall[0], 5);
    EXPECT_EQ(tall[4], 70);
}

TEST(ShrinkBlock24, AveragesEveryChannelOnItsOwn)
{
    // 2 x 2 BGR pixels, lines of 8 bytes.
    std::vector<uint8_t> source = {0, 100, 200, 10, 110, 210, 0, 0,
                                   20, 120, 220, 30, 130, 230, 0, 0};
    std::vector<uint8_t> target(4, 0);
    ShrinkBlock24(1, 1, target.data(), 2, 2, source.data());
    EXPECT_EQ(target[0], 15);
    EXPECT_EQ(target[1], 115);
    EXPECT_EQ(target[2], 215);
}

TEST(ShrinkBlock1, CountsSetBitsFromTheLeftmostPixel)
{
    // 8 x 2 into 2 x 1: row 0 = 11000000, row 1 = 11111111.
    std::vector<uint8_t> source = {0xC0, 0, 0, 0, 0xFF, 0, 0, 0};
    std::vector<uint8_t> target(8, 0);
    ShrinkBlock1(2, 1, target.data(), 8, 2, source.data());
    EXPECT_EQ(target[0], 6 * 255 / 8);
    EXPECT_EQ(target[1], 6 * 255 / 8);
    EXPECT_EQ(target[3], 4 * 255 / 8);
    EXPECT_EQ(target[5], 4 * 255 / 8);

    // A white pixel only at x = 9 of a 10-pixel line.
    std::vector<uint8_t> wide = {0x00, 0x40, 0, 0};
    std::vector<uint8_t> out(((3 * 10 + 3) / 4) * 4, 7);
    ShrinkBlock1(10, 1, out.data(), 10, 1, wide.data());
    for (int x = 0; x < 10; ++x)
        EXPECT_EQ(out[3 * x], x == 9 ? 255 : 0) << x;
}

TEST(ShrinkBlock, EnlargingRepeatsPixelsInsteadOfDividingByNothing)
{
    std::vector<uint8_t> source = {10, 20, 0, 0, 30, 40, 0, 0};   // 2 x 2
    std::vector<uint8_t> target(4 * 12, 0);
    ShrinkBlock8(4, 4, target.data(), 2, 2, source.data());
    EXPECT_EQ(target[0], 10);
    EXPECT_EQ(target[3 * 3], 20);
    EXPECT_EQ(target[3 * 12 + 3 * 3], 40);
}

TEST(ShrinkBlock, DoesNothingForSizesBelowOne)
{
    std::vector<uint8_t> source(16, 100);
    std::vector<uint8_t> target(16, 0xCC);
    ShrinkBlock8(0, 2, target.data(), 4, 4, source.data());
    ShrinkBlock8(2, 0, target.data(), 4, 4, source.data());
    ShrinkBlock24(2, 2, target.data(), -4, 4, source.data());
    ShrinkBlock1(2, 2, target.data(), 4, 0, source.data());
    EXPECT_EQ(target, std::vector<uint8_t>(16, 0xCC));
}

} // namespace
