// Page parameters: size, depth, block buffer and lines per block.
#include <gtest/gtest.h>

#include "scan/scan_session.h"

namespace {

ScanSettings Area(int mode, int resolution, int right, int bottom)
{
    ScanSettings s = {};
    s.mode = static_cast<int16_t>(mode);
    s.resolution = static_cast<int16_t>(resolution);
    s.right = static_cast<int16_t>(right);
    s.bottom = static_cast<int16_t>(bottom);
    return s;
}

TEST(ScanGeometry, ThirtyBlocksWithIndicatorsAndOneLineFewerOnExactMultiples)
{
    ScanGeometry g;
    // Gray 1320 x 2160: a thirtieth of the page is 95,040 bytes = 72 lines, and
    // 2160 = 30 * 72, so 71 lines per block.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_GRAY, 600, 220, 360), 0, 0, true, &g));
    EXPECT_EQ(g.bufferSize, 95040u);
    EXPECT_EQ(g.linesPerBlock, 71);

    // Reported size wins over the record: 1000 x 2000 gray, 66,666 bytes, 66 lines.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_GRAY, 600, 220, 360), 1000, 2000, true, &g));
    EXPECT_EQ(g.bufferSize, 66666u);
    EXPECT_EQ(g.linesPerBlock, 66);

    // Small pages get at least 60,000 bytes: here more than the whole page.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_GRAY, 100, 100, 150), 0, 0, true, &g));
    EXPECT_EQ(g.bufferSize, 60000u);
    EXPECT_EQ(g.linesPerBlock, 600);

    // Large pages at most 2,000,000: colour 4000 x 6000 lines of 12,000 bytes.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_COLOR, 600, 220, 360), 4000, 6000, true, &g));
    EXPECT_EQ(g.bufferSize, 2000000u);
    EXPECT_EQ(g.linesPerBlock, 166);
}

TEST(ScanGeometry, WithoutIndicatorsTheWholePageLessOneLine)
{
    ScanGeometry g;
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_COLOR, 100, 100, 150), 0, 0, false, &g));
    EXPECT_EQ(g.bufferSize, 300u * 150u);
    EXPECT_EQ(g.linesPerBlock, 149);
}

TEST(ScanGeometry, ZeroFromTheDriverMeansTheRecordsArea)
{
    ScanGeometry g;
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_GRAY, 200, 220, 360), 0, 999, false, &g));
    EXPECT_EQ(g.width, 440);
    EXPECT_EQ(g.height, 720);
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_GRAY, 200, 220, 360), 999, 0, false, &g));
    EXPECT_EQ(g.width, 440);
    EXPECT_EQ(g.height, 720);
}

TEST(ScanGeometry, GarbageSizesAndModesAreRefused)
{
    ScanGeometry g;
    EXPECT_FALSE(ComputeScanGeometry(Area(0, 100, 220, 360), 0, 0, true, &g));
    EXPECT_FALSE(ComputeScanGeometry(Area(5, 100, 220, 360), 0, 0, true, &g));
    EXPECT_FALSE(ComputeScanGeometry(Area(MODE_GRAY, 100, 220, 360), -5, 100, true, &g));
    EXPECT_FALSE(ComputeScanGeometry(Area(MODE_GRAY, 100, 220, 360), 100, -5, true, &g));
    // An inverted area in the record.
    ScanSettings inverted = Area(MODE_GRAY, 100, 220, 360);
    inverted.top = 300;
    inverted.bottom = 100;
    EXPECT_FALSE(ComputeScanGeometry(inverted, 0, 0, true, &g));
    // Larger than a BMP file can describe.
    EXPECT_FALSE(ComputeScanGeometry(Area(MODE_COLOR, 100, 220, 360), 100000, 100000, true, &g));
}

TEST(ScanGeometry, EveryBlockHoldsAtLeastOneLineAndFitsTheDriversCount)
{
    ScanGeometry g;
    // A colour line of 3,000,000 bytes is longer than the largest block.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_COLOR, 100, 220, 360), 1000000, 10, true, &g));
    EXPECT_EQ(g.bufferSize, 3000000u);
    EXPECT_EQ(g.linesPerBlock, 1);
    // 40,000 lines in one block would not fit a 16-bit line count.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_BW, 100, 220, 360), 8, 40000, false, &g));
    EXPECT_EQ(g.linesPerBlock, 32767);
    // A one-line page without indicators is asked for in one block of one line.
    ASSERT_TRUE(ComputeScanGeometry(Area(MODE_GRAY, 100, 220, 360), 8, 1, false, &g));
    EXPECT_EQ(g.linesPerBlock, 1);
}

} // namespace
