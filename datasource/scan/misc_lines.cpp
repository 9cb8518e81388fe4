// Reordering of image blocks: bottom-up to top-down, blue-green-red to red-green-blue.
#include "scan/misc.h"

#include <algorithm>

void ReverseLines(unsigned char* block, int lines, int bytesPerLine)
{
    if (!block || lines < 2 || bytesPerLine < 1)
        return;
    for (int top = 0, bottom = lines - 1; top < bottom; ++top, --bottom) {
        unsigned char* a = block + static_cast<size_t>(top) * bytesPerLine;
        unsigned char* b = block + static_cast<size_t>(bottom) * bytesPerLine;
        std::swap_ranges(a, a + bytesPerLine, b);
    }
}

void SwapRedBlue(unsigned char* block, int lines, int bytesPerLine)
{
    if (!block || lines < 1 || bytesPerLine < 3)
        return;
    for (int y = 0; y < lines; ++y) {
        unsigned char* line = block + static_cast<size_t>(y) * bytesPerLine;
        for (int x = 0; x + 2 < bytesPerLine; x += 3)
            std::swap(line[x], line[x + 2]);
    }
}
