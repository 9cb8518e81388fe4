// Area-averaging reduction of image blocks into 24-bit display lines.
#include "scan/misc.h"

#include <vector>

namespace {

// The source rows (or columns) behind destination row i of `parts`: the q = total /
// parts whole rows each gets, spread with the remainder like a line drawing, so the
// boxes tile the source exactly. When the destination is larger than the source a
// box still holds one row, so no average is taken over nothing.
struct Span {
    int start;
    int count;
};

std::vector<Span> Spans(int parts, int total)
{
    std::vector<Span> spans(parts);
    const int64_t q = total / parts;
    const int64_t r = total % parts;
    for (int i = 0; i < parts; ++i) {
        int64_t start = q * i + r * i / parts;
        int64_t next = q * (i + 1) + r * (i + 1) / parts;
        if (start > total - 1)
            start = total - 1;
        int64_t count = next - start;
        if (count < 1)
            count = 1;
        if (start + count > total)
            count = total - start;
        spans[i] = {static_cast<int>(start), static_cast<int>(count)};
    }
    return spans;
}

int DisplayLineBytes(int width)
{
    return ((3 * width + 3) / 4) * 4;
}

// Walks every destination pixel; `sum` adds up the source box of one channel.
template <typename BoxSum>
void Shrink(int dstWidth, int dstLines, unsigned char* dst, int srcWidth, int srcLines,
            int channels, BoxSum sum)
{
    if (!dst || dstWidth < 1 || dstLines < 1 || srcWidth < 1 || srcLines < 1)
        return;
    const std::vector<Span> rows = Spans(dstLines, srcLines);
    const std::vector<Span> columns = Spans(dstWidth, srcWidth);
    const int dstLine = DisplayLineBytes(dstWidth);
    for (int y = 0; y < dstLines; ++y) {
        unsigned char* out = dst + static_cast<size_t>(y) * dstLine;
        for (int x = 0; x < dstWidth; ++x) {
            const int64_t area = static_cast<int64_t>(rows[y].count) * columns[x].count;
            for (int c = 0; c < 3; ++c) {
                if (channels == 1 && c > 0) {
                    out[3 * x + c] = out[3 * x];
                    continue;
                }
                out[3 * x + c] = static_cast<unsigned char>(sum(rows[y], columns[x], c) / area);
            }
        }
    }
}

} // namespace

void ShrinkBlock8(int dstWidth, int dstLines, unsigned char* dst, int srcWidth, int srcLines,
                  const unsigned char* src)
{
    if (!src)
        return;
    const int srcLine = BytesPerLine(8, srcWidth);
    Shrink(dstWidth, dstLines, dst, srcWidth, srcLines, 1,
           [&](const Span& rows, const Span& columns, int) {
               int64_t total = 0;
               for (int y = rows.start; y < rows.start + rows.count; ++y) {
                   const unsigned char* line = src + static_cast<size_t>(y) * srcLine;
                   for (int x = columns.start; x < columns.start + columns.count; ++x)
                       total += line[x];
               }
               return total;
           });
}

void ShrinkBlock24(int dstWidth, int dstLines, unsigned char* dst, int srcWidth, int srcLines,
                   const unsigned char* src)
{
    if (!src)
        return;
    const int srcLine = BytesPerLine(24, srcWidth);
    Shrink(dstWidth, dstLines, dst, srcWidth, srcLines, 3,
           [&](const Span& rows, const Span& columns, int channel) {
               int64_t total = 0;
               for (int y = rows.start; y < rows.start + rows.count; ++y) {
                   const unsigned char* line = src + static_cast<size_t>(y) * srcLine;
                   for (int x = columns.start; x < columns.start + columns.count; ++x)
                       total += line[3 * x + channel];
               }
               return total;
           });
}

void ShrinkBlock1(int dstWidth, int dstLines, unsigned char* dst, int srcWidth, int srcLines,
                  const unsigned char* src)
{
    if (!src)
        return;
    const int srcLine = BytesPerLine(1, srcWidth);
    Shrink(dstWidth, dstLines, dst, srcWidth, srcLines, 1,
           [&](const Span& rows, const Span& columns, int) {
               int64_t set = 0;
               for (int y = rows.start; y < rows.start + rows.count; ++y) {
                   const unsigned char* line = src + static_cast<size_t>(y) * srcLine;
                   for (int x = columns.start; x < columns.start + columns.count; ++x)
                       set += (line[x >> 3] >> (7 - (x & 7))) & 1;
               }
               return set * 255;
           });
}
