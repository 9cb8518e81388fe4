// TBitmapFile's 100 x 100 thumbnail: white ground, light gray frame with a
// dark gray shadow, and the image reduced by area averaging into it. Drawn
// straight into the caller's 24-bit top-down buffer, without a device context.
#include <cstdint>

#include "scan/bitmap_file.h"
#include "scan/bitmap_file_internals.h"

namespace {

constexpr BYTE kWhite = 0xFF;
constexpr BYTE kFrameGray = 0xC4;
constexpr BYTE kShadowGray = 0x7F;
constexpr int kTopMargin = 5;
constexpr int kMinLeftMargin = 5;

void Put(RGBTRIPLE* buffer, int row, int col, BYTE gray)
{
    if (row < 0 || row >= kThumbNailSide || col < 0 || col >= kThumbNailSide)
        return;
    RGBTRIPLE& p = buffer[row * kThumbNailSide + col];
    p.rgbtBlue = gray;
    p.rgbtGreen = gray;
    p.rgbtRed = gray;
}

void HorizontalLine(RGBTRIPLE* buffer, int row, int fromCol, int toCol, BYTE gray)
{
    for (int col = fromCol; col <= toCol; ++col)
        Put(buffer, row, col, gray);
}

void VerticalLine(RGBTRIPLE* buffer, int col, int fromRow, int toRow, BYTE gray)
{
    for (int row = fromRow; row <= toRow; ++row)
        Put(buffer, row, col, gray);
}

// One of the 36 grays 3, 10, ..., 248 (and 255) of the display palette.
BYTE QuantiseGray(uint64_t gray)
{
    return static_cast<BYTE>(gray / 7 * 7 + 3);
}

// Sums of one box of source pixels, per channel (blue, green, red).
struct BoxSum {
    uint64_t blue = 0, green = 0, red = 0;
};

// Area averaging: destination line i covers source lines from q*i + r*i/n up to
// the start of line i + 1 (q, r: quotient and remainder of m / n), so the
// remainder lines are spread evenly and the boxes tile the source exactly.
// Columns the same way. Reduced line i (in memory order) lands on thumbnail row
// y + height - 1 - i for a bottom-up source, y + i for a top-down one, so the
// image is upright either way.
template <class AddPixel, class Store>
void ShrinkBoxes(const TBitmapFileInternals::Source& s, int width, int height, int x, int y,
                 RGBTRIPLE* buffer, AddPixel addPixel, Store store)
{
    if (!buffer || width <= 0 || height <= 0 || x < 0 || y < 0 ||
        x + width > kThumbNailSide || y + height > kThumbNailSide || s.width <= 0 || s.lines <= 0)
        return;
    const int64_t q = s.lines / height, r = s.lines % height;
    const int64_t p = s.width / width, rc = s.width % width;
    for (int i = 0; i < height; ++i) {
        const int64_t firstLine = q * i + r * i / height;
        const int64_t endLine = q * (i + 1) + r * (i + 1) / height;
        const int row = s.bottomUp ? y + height - 1 - i : y + i;
        for (int j = 0; j < width; ++j) {
            const int64_t firstCol = p * j + rc * j / width;
            const int64_t endCol = p * (j + 1) + rc * (j + 1) / width;
            BoxSum sum;
            for (int64_t line = firstLine; line < endLine; ++line) {
                const BYTE* bits = s.bits + static_cast<uint64_t>(line) * s.stride;
                for (int64_t col = firstCol; col < endCol; ++col)
                    addPixel(bits, col, sum);
            }
            const uint64_t count = static_cast<uint64_t>((endLine - firstLine) * (endCol - firstCol));
            if (count > 0)
                store(sum, count, buffer[row * kThumbNailSide + x + j]);
        }
    }
}

void StoreGray(BYTE gray, RGBTRIPLE& out)
{
    out.rgbtBlue = gray;
    out.rgbtGreen = gray;
    out.rgbtRed = gray;
}

void StoreAverage(const BoxSum& sum, uint64_t count, RGBTRIPLE& out)
{
    out.rgbtBlue = static_cast<BYTE>(sum.blue / count);
    out.rgbtGreen = static_cast<BYTE>(sum.green / count);
    out.rgbtRed = static_cast<BYTE>(sum.red / count);
}

void AddColour(const RGBQUAD& c, BoxSum& sum)
{
    sum.blue += c.rgbBlue;
    sum.green += c.rgbGreen;
    sum.red += c.rgbRed;
}

}  // namespace

bool TBitmapFileInternals::ShrinkSource(TBitmapFile& f, unsigned bitCount, Source* source)
{
    if (f.m_errorCode != BMPERR_NONE || !f.m_pInfoHeader || !f.m_pRGBQuad || !f.m_pBitmap ||
        !f.m_pBits || !f.m_hBitmap)
        return false;
    const BITMAPINFOHEADER& h = *f.m_pInfoHeader;
    if (h.biBitCount != bitCount || h.biWidth <= 0 || h.biHeight == 0)
        return false;
    const int64_t lines = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    // The loaded section must still be the one the header describes (a later
    // Open may have read another file's headers).
    DIBSECTION ds;
    if (GetObjectA(f.m_hBitmap, sizeof ds, &ds) != sizeof ds || ds.dsBm.bmBits != f.m_pBits ||
        ds.dsBm.bmWidth != h.biWidth || ds.dsBm.bmHeight != lines || ds.dsBm.bmBitsPixel != bitCount)
        return false;
    source->bits = f.m_pBits;
    source->width = h.biWidth;
    source->lines = lines;
    source->stride = LineBytes(h.biWidth, bitCount);
    source->bottomUp = h.biHeight > 0;
    return source->stride != 0;
}

long TBitmapFile::CreateThumbNail(CDC*, RGBTRIPLE* buffer)
{
    if (!buffer || m_errorCode != BMPERR_NONE || !m_pInfoHeader || !m_pBitmap || !m_pBits)
        return 0;
    // Only depths a shrink function reads, and only pixels that match the
    // current headers; otherwise the buffer is left alone.
    const unsigned bits = m_pInfoHeader->biBitCount;
    TBitmapFileInternals::Source source;
    if ((bits != 1 && bits != 4 && bits != 8 && bits != 24) ||
        !TBitmapFileInternals::ShrinkSource(*this, bits, &source))
        return 0;

    // Fit the image: the larger side becomes 88 (the height on a tie), the
    // other in proportion but at least one pixel.
    const int64_t sourceWidth = GetWidth(), sourceHeight = GetHeight();
    int64_t width = sourceWidth, height = sourceHeight;
    if (sourceWidth > kThumbNailImageMax || sourceHeight > kThumbNailImageMax) {
        if (sourceHeight >= sourceWidth) {
            height = kThumbNailImageMax;
            width = sourceWidth * kThumbNailImageMax / sourceHeight;
        } else {
            width = kThumbNailImageMax;
            height = sourceHeight * kThumbNailImageMax / sourceWidth;
        }
        if (width < 1)
            width = 1;
        if (height < 1)
            height = 1;
    }
    const int w = static_cast<int>(width), h = static_cast<int>(height);
    int x = (98 - w) / 2;
    if (x < kMinLeftMargin)
        x = kMinLeftMargin;
    const int y = kTopMargin;

    for (int i = 0; i < kThumbNailSide * kThumbNailSide; ++i)
        Put(buffer, i / kThumbNailSide, i % kThumbNailSide, kWhite);

    // Frame from (x - 5, 0) to (x + w + 4, h + 9); the shadow two pixels wide
    // below and right of it, offset by two pixels.
    const int left = x - 5, top = 0, right = x + w + 4, bottom = h + 9;
    HorizontalLine(buffer, top, left, right, kFrameGray);
    HorizontalLine(buffer, bottom, left, right, kFrameGray);
    VerticalLine(buffer, left, top, bottom, kFrameGray);
    VerticalLine(buffer, right, top, bottom, kFrameGray);
    for (int k = 1; k <= 2; ++k) {
        HorizontalLine(buffer, bottom + k, left + 2, right + 2, kShadowGray);
        VerticalLine(buffer, right + k, top + 2, bottom + 2, kShadowGray);
    }

    switch (GetColorNum()) {
    case 2: ShrinkBW(w, h, x, y, buffer); break;
    case 16: Shrink16(w, h, x, y, buffer); break;
    case 256:
        if (IsGrayScale())
            Shrink256gray(w, h, x, y, buffer);
        else
            Shrink256Color(w, h, x, y, buffer);
        break;
    default: ShrinkTrueColor(w, h, x, y, buffer); break;
    }
    return static_cast<long>(h) * 65536 + w;
}

void TBitmapFile::ShrinkBW(int width, int height, int x, int y, RGBTRIPLE* buffer)
{
    TBitmapFileInternals::Source s;
    if (!TBitmapFileInternals::ShrinkSource(*this, 1, &s))
        return;
    ShrinkBoxes(
        s, width, height, x, y, buffer,
        [](const BYTE* line, int64_t col, BoxSum& sum) {
            sum.blue += (line[col >> 3] >> (7 - (col & 7))) & 1;
        },
        [](const BoxSum& sum, uint64_t count, RGBTRIPLE& out) {
            StoreGray(QuantiseGray(sum.blue * 255 / count), out);
        });
}

void TBitmapFile::Shrink16(int width, int height, int x, int y, RGBTRIPLE* buffer)
{
    TBitmapFileInternals::Source s;
    if (!TBitmapFileInternals::ShrinkSource(*this, 4, &s))
        return;
    const RGBQUAD* table = m_pRGBQuad;
    ShrinkBoxes(
        s, width, height, x, y, buffer,
        [table](const BYTE* line, int64_t col, BoxSum& sum) {
            const BYTE pair = line[col >> 1];
            AddColour(table[(col & 1) ? (pair & 0x0F) : (pair >> 4)], sum);
        },
        StoreAverage);
}

void TBitmapFile::Shrink256gray(int width, int height, int x, int y, RGBTRIPLE* buffer)
{
    TBitmapFileInternals::Source s;
    if (!TBitmapFileInternals::ShrinkSource(*this, 8, &s))
        return;
    ShrinkBoxes(
        s, width, height, x, y, buffer,
        [](const BYTE* line, int64_t col, BoxSum& sum) { sum.blue += line[col]; },
        [](const BoxSum& sum, uint64_t count, RGBTRIPLE& out) {
            StoreGray(QuantiseGray(sum.blue / count), out);
        });
}

void TBitmapFile::Shrink256Color(int width, int height, int x, int y, RGBTRIPLE* buffer)
{
    TBitmapFileInternals::Source s;
    if (!TBitmapFileInternals::ShrinkSource(*this, 8, &s))
        return;
    const RGBQUAD* table = m_pRGBQuad;
    ShrinkBoxes(
        s, width, height, x, y, buffer,
        [table](const BYTE* line, int64_t col, BoxSum& sum) { AddColour(table[line[col]], sum); },
        StoreAverage);
}

void TBitmapFile::ShrinkTrueColor(int width, int height, int x, int y, RGBTRIPLE* buffer)
{
    TBitmapFileInternals::Source s;
    if (!TBitmapFileInternals::ShrinkSource(*this, 24, &s))
        return;
    ShrinkBoxes(
        s, width, height, x, y, buffer,
        [](const BYTE* line, int64_t col, BoxSum& sum) {
            const BYTE* p = line + col * 3;
            sum.blue += p[0];
            sum.green += p[1];
            sum.red += p[2];
        },
        StoreAverage);
}
