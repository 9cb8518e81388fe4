// Line arithmetic, blank BMP files and the shortening of a partly filled one.
#include <gtest/gtest.h>

#include "scan/misc.h"
#include "temp_file.h"

namespace {

TEST(BytesPerLine, PadsEveryDepthToFourBytes)
{
    EXPECT_EQ(BytesPerLine(1, 1), 4);
    EXPECT_EQ(BytesPerLine(1, 33), 8);
    EXPECT_EQ(BytesPerLine(1, 1700), 216);
    EXPECT_EQ(BytesPerLine(4, 3), 4);
    EXPECT_EQ(BytesPerLine(4, 9), 8);
    EXPECT_EQ(BytesPerLine(8, 5), 8);
    EXPECT_EQ(BytesPerLine(8, 8), 8);
    EXPECT_EQ(BytesPerLine(24, 1), 4);
    EXPECT_EQ(BytesPerLine(24, 5), 16);
    EXPECT_EQ(BytesPerLine(24, 4), 12);
}

TEST(BytesPerLine, RejectsOtherDepthsAndWidthsAndKeepsWideLinesWhole)
{
    EXPECT_EQ(BytesPerLine(16, 10), 0);
    EXPECT_EQ(BytesPerLine(32, 10), 0);
    EXPECT_EQ(BytesPerLine(8, 0), 0);
    EXPECT_EQ(BytesPerLine(24, -7), 0);
    // Past 16 bits the length must not wrap round to a short line.
    EXPECT_EQ(BytesPerLine(24, 30000), 90000);
}

TEST(BmpSpaceNeeded, AddsHalfTheFileOrFiveMillionBytes)
{
    EXPECT_EQ(BmpSpaceNeeded(9000000), 13500000u);
    EXPECT_EQ(BmpSpaceNeeded(9999999), 9999999u + 4999999u);
    EXPECT_EQ(BmpSpaceNeeded(10000000), 15000000u);
    EXPECT_EQ(BmpSpaceNeeded(12000000), 17000000u);
}

TEST(WriteNullBMP, OneBitLetterPageHasTheDocumentedLayout)
{
    TempFile file("kestrel_null1.bmp");
    ASSERT_EQ(WriteNullBMP(file.c_str(), 1, 200, 1700, 2200), 1);
    std::vector<uint8_t> b = ReadBytes(file.str());
    ASSERT_EQ(b.size(), 475262u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 2), 475262u);           // file size
    EXPECT_EQ(Le32(b, 6), 0u);                // reserved
    EXPECT_EQ(Le32(b, 10), 62u);              // pixel offset
    EXPECT_EQ(Le32(b, 14), 40u);              // info header size
    EXPECT_EQ(Le32(b, 18), 1700u);
    EXPECT_EQ(Le32(b, 22), 2200u);            // positive: bottom-up
    EXPECT_EQ(Le16(b, 26), 1);                // planes
    EXPECT_EQ(Le16(b, 28), 1);                // bits
    EXPECT_EQ(Le32(b, 30), 0u);               // BI_RGB
    EXPECT_EQ(Le32(b, 34), 216u * 2200u);     // image size
    EXPECT_EQ(Le32(b, 38), 7874u);            // 200 dpi in pixels per metre
    EXPECT_EQ(Le32(b, 42), 7874u);
    EXPECT_EQ(Le32(b, 46), 2u);               // colours used
    EXPECT_EQ(Le32(b, 50), 2u);               // colours important
    EXPECT_EQ(Le32(b, 54), 0x00000000u);      // black
    EXPECT_EQ(Le32(b, 58), 0x00FFFFFFu);      // white
}

TEST(WriteNullBMP, ColourTablesOfEveryDepth)
{
    struct Case { int bits; uint32_t offset; int entries; };
    for (Case c : {Case{4, 118, 16}, Case{8, 1078, 256}, Case{24, 54, 0}}) {
        SCOPED_TRACE(c.bits);
        TempFile file("kestrel_nulltable.bmp");
        ASSERT_EQ(WriteNullBMP(file.c_str(), c.bits, 300, 10, 3), 1);
        std::vector<uint8_t> b = ReadBytes(file.str());
        const uint32_t line = BytesPerLine(c.bits, 10);
        ASSERT_EQ(b.size(), c.offset + 3 * line);
        EXPECT_EQ(Le32(b, 10), c.offset);
        EXPECT_EQ(Le32(b, 38), 11811u);       // 300 dpi
        EXPECT_EQ(Le32(b, 46), static_cast<uint32_t>(c.entries));
        for (int i = 0; i < c.entries; ++i) {
            uint32_t level = c.bits == 4 ? (i == 15 ? 255 : i * 16) : i;
            ASSERT_EQ(Le32(b, 54 + 4 * i), level | level << 8 | level << 16) << "entry " << i;
        }
        // The pixel area is reserved, not written: it reads back as zeros.
        for (size_t i = c.offset; i < b.size(); ++i)
            ASSERT_EQ(b[i], 0) << "byte " << i;
    }
}

TEST(WriteNullBMP, ReplacesAnOldFile)
{
    TempFile file("kestrel_nullold.bmp");
    ASSERT_TRUE(WriteBytes(file.str(), std::vector<uint8_t>(5000, 0xAB)));
    ASSERT_EQ(WriteNullBMP(file.c_str(), 8, 100, 4, 2), 1);
    std::vector<uint8_t> b = ReadBytes(file.str());
    ASSERT_EQ(b.size(), 1078u + 8u);
    EXPECT_EQ(b[1078], 0);
}

TEST(WriteNullBMP, FailsWithoutLeavingAFile)
{
    TempFile folder("kestrel_no_such_folder");
    std::string inMissingFolder = folder.str() + "\\page.bmp";
    EXPECT_EQ(WriteNullBMP(inMissingFolder.c_str(), 8, 100, 10, 10), 0);
    EXPECT_EQ(GetFileAttributesA(inMissingFolder.c_str()), INVALID_FILE_ATTRIBUTES);

    // No such drive: the free-space query fails, which counts as no space.
    EXPECT_EQ(WriteNullBMP("R:\\kestrel_page.bmp", 8, 100, 10, 10), 0);

    TempFile file("kestrel_nullbad.bmp");
    EXPECT_EQ(WriteNullBMP(file.c_str(), 16, 100, 10, 10), 0);
    EXPECT_EQ(WriteNullBMP(file.c_str(), 8, 100, 0, 10), 0);
    EXPECT_EQ(WriteNullBMP(file.c_str(), 8, 100, 10, -1), 0);
    // 3 GB does not fit the 32-bit sizes of the headers.
    EXPECT_EQ(WriteNullBMP(file.c_str(), 24, 100, 30000, 40000), 0);
    EXPECT_FALSE(file.Exists());
}

// A gray BMP of 10 x 6 whose file lines 3..5 (the end of the file) carry markers,
// as a page that ended after 3 lines leaves it.
void MakePartlyFilled(const TempFile& file, std::vector<uint8_t>* before)
{
    ASSERT_EQ(WriteNullBMP(file.c_str(), 8, 100, 10, 6), 1);
    std::vector<uint8_t> b = ReadBytes(file.str());
    for (int line = 3; line < 6; ++line)
        for (int x = 0; x < 12; ++x)
            b[1078 + line * 12 + x] = static_cast<uint8_t>(line * 16 + x);
    ASSERT_TRUE(WriteBytes(file.str(), b));
    *before = b;
}

TEST(TruncateBmp, MovesTheLastLinesBehindTheHeaderInPieces)
{
    TempFile file("kestrel_trunc.bmp");
    std::vector<uint8_t> before;
    MakePartlyFilled(file, &before);
    unsigned char scratch[5];   // smaller than one line: many pieces
    ASSERT_EQ(TruncateBmp(file.c_str(), 3, scratch, sizeof(scratch)), 1);
    std::vector<uint8_t> b = ReadBytes(file.str());
    ASSERT_EQ(b.size(), 1078u + 36u);
    EXPECT_EQ(Le32(b, 2), 1078u + 36u);
    EXPECT_EQ(Le32(b, 22), 3u);
    EXPECT_EQ(Le32(b, 34), 36u);
    EXPECT_EQ(Le32(b, 18), 10u);
    // Colour table untouched, lines in their old order.
    EXPECT_TRUE(std::equal(before.begin() + 54, before.begin() + 1078, b.begin() + 54));
    EXPECT_TRUE(std::equal(before.begin() + 1078 + 36, before.end(), b.begin() + 1078));
}

TEST(TruncateBmp, KeepingEveryLineOnlyRewritesTheHeaders)
{
    TempFile file("kestrel_truncall.bmp");
    std::vector<uint8_t> before;
    MakePartlyFilled(file, &before);
    ASSERT_EQ(TruncateBmp(file.c_str(), 6, nullptr, 0), 1);
    EXPECT_EQ(ReadBytes(file.str()), before);
}

TEST(TruncateBmp, RefusesWhatItCannotShorten)
{
    unsigned char scratch[64];
    TempFile missing("kestrel_trunc_missing.bmp");
    EXPECT_EQ(TruncateBmp(missing.c_str(), 1, scratch, sizeof(scratch)), 0);

    TempFile tiny("kestrel_trunc_tiny.bmp");
    ASSERT_TRUE(WriteBytes(tiny.str(), {'B', 'M', 1, 2, 3}));
    EXPECT_EQ(TruncateBmp(tiny.c_str(), 1, scratch, sizeof(scratch)), 0);

    TempFile file("kestrel_trunc_range.bmp");
    std::vector<uint8_t> before;
    MakePartlyFilled(file, &before);
    EXPECT_EQ(TruncateBmp(file.c_str(), 7, scratch, sizeof(scratch)), 0);
    EXPECT_EQ(TruncateBmp(file.c_str(), -1, scratch, sizeof(scratch)), 0);
    EXPECT_EQ(TruncateBmp(file.c_str(), 3, nullptr, 0), 0);   // lines to move, no scratch

    // Headers that promise more pixels than the file holds.
    std::vector<uint8_t> cut(before.begin(), before.end() - 12);
    ASSERT_TRUE(WriteBytes(file.str(), cut));
    EXPECT_EQ(TruncateBmp(file.c_str(), 3, scratch, sizeof(scratch)), 0);
    EXPECT_EQ(ReadBytes(file.str()), cut);
}

} // namespace
