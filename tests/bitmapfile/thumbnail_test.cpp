// TBitmapFile's thumbnail: geometry, frame, and the reduced pixels of every
// colour depth, compared with a model computed here from the picture itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "scan/bitmap_file.h"

using namespace bmptest;

namespace {

// Exposes the protected thumbnail members.
class ThumbFile : public TBitmapFile {
public:
    using TBitmapFile::CreateThumbNail;
    using TBitmapFile::ShrinkTrueColor;
};

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

std::ostream& operator<<(std::ostream& os, const Rgb& c)
{
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

using Grid = std::vector<Rgb>;  // 100 x 100, top row first

Rgb Gray(int v)
{
    return {v, v, v};
}

enum class Kind { BlackWhite, Colour, GrayIndex };

// The expected thumbnail. Boxes: reduced line i covers the source lines
// [i*m/n, (i+1)*m/n) counted in the order the lines sit in the file.
Grid Expected(const Picture& p, bool topDown, Kind kind, int* outWidth, int* outHeight)
{
    const int W = p.width, H = p.height;
    int w = W, h = H;
    if (W > 88 || H > 88) {
        if (H >= W) {
            h = 88;
            w = std::max(1, W * 88 / H);
        } else {
            w = 88;
            h = std::max(1, H * 88 / W);
        }
    }
    const int x = std::max(5, (98 - w) / 2), y = 5;
    Grid g(100 * 100, Gray(255));
    auto set = [&](int row, int col, int v) { g[row * 100 + col] = Gray(v); };
    for (int col = x - 5; col <= x + w + 4; ++col) {
        set(0, col, 0xC4);
        set(h + 9, col, 0xC4);
    }
    for (int row = 0; row <= h + 9; ++row) {
        set(row, x - 5, 0xC4);
        set(row, x + w + 4, 0xC4);
    }
    for (int col = x - 3; col <= x + w + 6; ++col) {
        set(h + 10, col, 0x7F);
        set(h + 11, col, 0x7F);
    }
    for (int row = 2; row <= h + 11; ++row) {
        set(row, x + w + 5, 0x7F);
        set(row, x + w + 6, 0x7F);
    }

    for (int i = 0; i < h; ++i) {
        const int64_t l0 = int64_t(i) * H / h, l1 = int64_t(i + 1) * H / h;
        // Each reduced line shows upright: the top of the picture at row y.
        const int row = topDown ? y + i : y + h - 1 - i;
        for (int j = 0; j < w; ++j) {
            const int64_t c0 = int64_t(j) * W / w, c1 = int64_t(j + 1) * W / w;
            int64_t sr = 0, sg = 0, sb = 0, n = 0;
            for (int64_t fileLine = l0; fileLine < l1; ++fileLine) {
                const int pictureRow = topDown ? int(fileLine) : H - 1 - int(fileLine);
                for (int64_t col = c0; col < c1; ++col) {
                    const uint32_t v = p.At(pictureRow, int(col));
                    if (p.bits == 24) {
                        sr += v >> 16;
                        sg += (v >> 8) & 0xFF;
                        sb += v & 0xFF;
                    } else if (kind == Kind::Colour) {
                        sr += p.table[v].rgbRed;
                        sg += p.table[v].rgbGreen;
                        sb += p.table[v].rgbBlue;
                    } else {
                        sr += v;  // the bit or the gray index itself
                    }
                    ++n;
                }
            }
            Rgb c;
            if (kind == Kind::BlackWhite)
                c = Gray(int(sr * 255 / n) / 7 * 7 + 3);
            else if (kind == Kind::GrayIndex)
                c = Gray(int(sr / n) / 7 * 7 + 3);
            else
                c = {int(sr / n), int(sg / n), int(sb / n)};
            g[row * 100 + x + j] = c;
        }
    }
    *outWidth = w;
    *outHeight = h;
    return g;
}

Grid FromBuffer(const std::vector<RGBTRIPLE>& buffer)
{
    Grid g;
    for (const RGBTRIPLE& t : buffer)
        g.push_back({t.rgbtRed, t.rgbtGreen, t.rgbtBlue});
    return g;
}

// Runs the picture through a file and the thumbnail, and compares every pixel.
void CheckThumbnail(const char* name, const Picture& p, bool topDown, Kind kind)
{
    SCOPED_TRACE(name);
    Layout layout;
    layout.topDown = topDown;
    TempFile file(name, Encode(p, layout));
    ThumbFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);

    std::vector<RGBTRIPLE> buffer(100 * 100);
    const long size = f.CreateThumbNail(nullptr, buffer.data());
    int w = 0, h = 0;
    const Grid expected = Expected(p, topDown, kind, &w, &h);
    EXPECT_EQ(size, h * 65536L + w);
    const Grid actual = FromBuffer(buffer);
    int mismatches = 0;
    for (int i = 0; i < 100 * 100 && mismatches < 5; ++i) {
        if (!(actual[i] == expected[i])) {
            ++mismatches;
            ADD_FAILURE() << "pixel row " << i / 100 << " col " << i % 100 << ": " << actual[i]
                          << ", expected " << expected[i];
        }
    }
}

Picture Patterned(int width, int height, int bits, uint32_t seed)
{
    Random random(seed);
    return RandomPicture(width, height, bits, random);
}

}  // namespace

TEST(BitmapThumbnail, WideImageIs88By44AtX5)
{
    Picture p = Patterned(200, 100, 24, 1);
    TempFile file("wide", Encode(p));
    ThumbFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    std::vector<RGBTRIPLE> buffer(100 * 100);
    EXPECT_EQ(f.CreateThumbNail(nullptr, buffer.data()), 44 * 65536L + 88);
    // Frame corners at (x - 5, 0) = (0, 0) and (x + 92, 53) = (97, 53).
    const Grid g = FromBuffer(buffer);
    EXPECT_EQ(g[0 * 100 + 0], Gray(0xC4));
    EXPECT_EQ(g[53 * 100 + 97], Gray(0xC4));
    EXPECT_EQ(g[54 * 100 + 50], Gray(0x7F));
    EXPECT_EQ(g[55 * 100 + 99], Gray(0x7F));
    EXPECT_EQ(g[4 * 100 + 5], Gray(255)) << "margin above the image";
    EXPECT_EQ(g[56 * 100 + 50], Gray(255)) << "below the shadow";
}

TEST(BitmapThumbnail, BottomUpAndTopDownFilesBothShowTheTopFirst)
{
    // Top half red, bottom half blue, in either order of lines in the file.
    Picture p;
    p.width = 40;
    p.height = 40;
    p.bits = 24;
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 40; ++c)
            p.pixels.push_back(r < 20 ? 0xFF0000u : 0x0000FFu);
    for (bool topDown : {false, true}) {
        Layout layout;
        layout.topDown = topDown;
        TempFile file("upright", Encode(p, layout));
        ThumbFile f;
        ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
        ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
        std::vector<RGBTRIPLE> buffer(100 * 100);
        ASSERT_EQ(f.CreateThumbNail(nullptr, buffer.data()), 40 * 65536L + 40);
        const int x = 29, y = 5;
        const RGBTRIPLE top = buffer[y * 100 + x], bottom = buffer[(y + 39) * 100 + x];
        EXPECT_EQ(top.rgbtRed, 255) << "top down: " << topDown;
        EXPECT_EQ(top.rgbtBlue, 0);
        EXPECT_EQ(bottom.rgbtBlue, 255);
        EXPECT_EQ(bottom.rgbtRed, 0);
    }
}

TEST(BitmapThumbnail, BlackAndWhite)
{
    CheckThumbnail("bw_wide", Patterned(200, 100, 1, 2), false, Kind::BlackWhite);
    CheckThumbnail("bw_small_odd", Patterned(37, 53, 1, 3), false, Kind::BlackWhite);
    CheckThumbnail("bw_topdown", Patterned(131, 97, 1, 4), true, Kind::BlackWhite);
}

TEST(BitmapThumbnail, SixteenGrays)
{
    CheckThumbnail("g4_tall", Patterned(90, 250, 4, 5), false, Kind::Colour);
    CheckThumbnail("g4_small", Patterned(11, 7, 4, 6), false, Kind::Colour);
}

TEST(BitmapThumbnail, EightBitGray)
{
    CheckThumbnail("g8_square_topdown", Patterned(300, 300, 8, 7), true, Kind::GrayIndex);
    CheckThumbnail("g8_bottomup", Patterned(177, 89, 8, 8), false, Kind::GrayIndex);
}

TEST(BitmapThumbnail, EightBitColour)
{
    Picture p = Patterned(120, 77, 8, 9);
    Random random(10);
    for (auto& q : p.table)
        q = Quad(random.Below(256), random.Below(256), random.Below(256));
    CheckThumbnail("c8", p, false, Kind::Colour);
}

TEST(BitmapThumbnail, TrueColour)
{
    CheckThumbnail("t24_wide", Patterned(200, 100, 24, 11), false, Kind::Colour);
    CheckThumbnail("t24_topdown", Patterned(61, 61, 24, 12), true, Kind::Colour);
    // 1000 x 3 would shrink to no line at all; it keeps one.
    CheckThumbnail("t24_strip", Patterned(1000, 3, 24, 13), false, Kind::Colour);
}

TEST(BitmapThumbnail, NothingWithoutLoadedPixelsOrForAnotherDepth)
{
    Picture p = Patterned(20, 20, 8, 14);
    TempFile file("nothumb", Encode(p));
    ThumbFile f;
    std::vector<RGBTRIPLE> buffer(100 * 100);
    for (auto& t : buffer)
        t = {1, 2, 3};
    EXPECT_EQ(f.CreateThumbNail(nullptr, buffer.data()), 0);
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    EXPECT_EQ(f.CreateThumbNail(nullptr, buffer.data()), 0) << "no bitmap yet";
    EXPECT_EQ(buffer[0].rgbtRed, 3);

    // A shrink of the wrong depth, or out of the buffer, does nothing.
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    f.ShrinkTrueColor(20, 20, 5, 5, buffer.data());
    f.ShrinkTrueColor(20, 20, 90, 90, buffer.data());
    for (const auto& t : buffer)
        ASSERT_EQ(t.rgbtRed, 3);

    // Headers of another file after the bitmap was made: the old section no
    // longer matches them and is not read.
    TempFile bigger("nothumb2", Encode(Patterned(400, 400, 8, 15)));
    ASSERT_TRUE(f.Open(bigger.Path(), CFile::modeRead, nullptr));
    EXPECT_EQ(f.CreateThumbNail(nullptr, buffer.data()), 0);
}

TEST(BitmapThumbnail, DepthsWithoutAShrinkGiveNoThumbnail)
{
    // 2 and 6 bits per pixel pass Open but no reduction reads them.
    for (int bits : {2, 6}) {
        Picture p;
        p.width = 10;
        p.height = 4;
        p.bits = bits;
        p.pixels.assign(40, 0);
        TempFile file("depth" + std::to_string(bits), Encode(p));
        ThumbFile f;
        ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr)) << bits;
        EXPECT_EQ(f.GetColorNum(), 1 << bits);
        f.CreateCBitmap(nullptr, 0);
        std::vector<RGBTRIPLE> buffer(100 * 100, RGBTRIPLE{9, 9, 9});
        EXPECT_EQ(f.CreateThumbNail(nullptr, buffer.data()), 0) << bits;
        EXPECT_EQ(buffer[0].rgbtRed, 9);
        LOGPALETTE* palette = f.CreateLogPalette();
        ASSERT_NE(palette, nullptr);
        EXPECT_EQ(palette->palNumEntries, 1 << bits);
    }
}
