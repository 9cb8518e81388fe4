// Many damaged BMP files, generated from good ones by a fixed pseudo-random
// sequence, go through every step of TBitmapFile. Each must end in a clear
// error code or a consistent result, with the file closed afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "bmp_mutations.h"
#include "scan/bitmap_file.h"

using namespace bmptest;

namespace {

class ThumbFile : public TBitmapFile {
public:
    using TBitmapFile::CreateThumbNail;
};

}  // namespace

TEST(BitmapFileFuzz, DamagedFilesFailCleanlyOrGiveConsistentResults)
{
    const auto seeds = Seeds();
    Random random(77);
    TempFile file("fuzz");
    int opened = 0, thumbnails = 0;
    int codes[6] = {};

    for (int round = 0; round < 1500; ++round) {
        const auto bytes = Mutate(seeds[round % seeds.size()], random);
        ASSERT_TRUE(file.Write(bytes));
        SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(bytes.size()) + " bytes");

        ThumbFile f;
        const int ok = f.Open(file.Path(), CFile::modeRead | CFile::shareDenyWrite, nullptr);
        const ERRORCODE code = f.GetErrorCode();
        ASSERT_GE(code, BMPERR_NONE);
        ASSERT_LE(code, BMPERR_COLORDEPTH);
        ASSERT_NE(code, BMPERR_NOTOPENED);
        ASSERT_EQ(ok != 0, code == BMPERR_NONE);
        ++codes[code];

        CBitmap* bitmap = f.CreateCBitmap(nullptr, 0);
        LOGPALETTE* palette = f.CreateLogPalette();
        std::vector<RGBTRIPLE> buffer(100 * 100);
        const long size = f.CreateThumbNail(nullptr, buffer.data());

        if (code != BMPERR_NONE) {
            ASSERT_EQ(bitmap, nullptr);
            ASSERT_EQ(palette, nullptr);
            ASSERT_EQ(size, 0);
            ASSERT_EQ(f.GetXrel(), 0);
        } else {
            ++opened;
            const BITMAPINFOHEADER* h = f.GetBITMAPINFOHEADER();
            ASSERT_EQ(h->biSize, 40u);
            ASSERT_TRUE((h->biBitCount >= 1 && h->biBitCount <= 8) || h->biBitCount == 24);
            ASSERT_GT(f.GetWidth(), 0);
            ASSERT_GT(f.GetHeight(), 0);
            ASSERT_LE(h->biClrUsed, 256u);
            ASSERT_EQ(f.GetFileLength(), static_cast<long>(bytes.size()));
            ASSERT_NE(palette, nullptr);
            ASSERT_LE(palette->palNumEntries, 256);
            if (size != 0) {
                ++thumbnails;
                ASSERT_NE(bitmap, nullptr);
                const long w = size & 0xFFFF, ht = size >> 16;
                ASSERT_GE(w, 1);
                ASSERT_LE(w, 88);
                ASSERT_GE(ht, 1);
                ASSERT_LE(ht, 88);
                // Rows below the shadow stay white.
                for (int i = (ht + 12) * 100; i < 100 * 100; ++i)
                    ASSERT_EQ(buffer[i].rgbtGreen, 255);
            }
        }
        ASSERT_TRUE(file.Deletable()) << "the file was left open";
    }
    RecordProperty("opened", opened);
    RecordProperty("thumbnails", thumbnails);
    RecordProperty("not_bitmap", codes[BMPERR_NOTBITMAP]);
    RecordProperty("compressed", codes[BMPERR_COMPRESSED]);
    RecordProperty("colour_depth", codes[BMPERR_COLORDEPTH]);
    // The damage must reach every check, and some files must survive it.
    EXPECT_GT(codes[BMPERR_NOTBITMAP], 100);
    EXPECT_GT(codes[BMPERR_COMPRESSED], 10);
    EXPECT_GT(codes[BMPERR_COLORDEPTH], 10);
    EXPECT_GT(opened, 100);
    EXPECT_GT(thumbnails, 100);
}
