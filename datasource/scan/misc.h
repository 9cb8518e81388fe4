// Image buffer utilities shared by the scan session and the transfers: line
// arithmetic, blank BMP files, shortening a partly filled BMP, reordering and
// shrinking image blocks, the two display palettes, the disk space test and
// the module directory. None of them holds state or shows a message.
#pragma once

#include <windows.h>

#include <stdint.h>

// 4-byte-aligned length of one line of `width` pixels at 1, 4, 8 or 24 bits per
// pixel; 0 for any other depth or a width below 1.
int BytesPerLine(int bitsPerPixel, int width);

// Entries of the colour table a BMP file of that depth carries (2, 16, 256 or 0).
int PaletteEntriesFor(int bitsPerPixel);

// Bytes of free space WriteNullBMP asks for before creating a file of `fileSize`
// bytes: the file plus a reserve of half its size, or of 5,000,000 bytes for
// files above 9,999,999 bytes.
uint64_t BmpSpaceNeeded(uint64_t fileSize);

// Creates (or replaces) a bottom-up BMP file of width x height pixels with its
// headers and colour table, extended to its full size without writing pixels.
// 1 = created; 0 = not enough disk space, bad geometry, or the file could not be
// created (nothing is left behind); -1 = no memory for the header.
int WriteNullBMP(const char* path, int bitsPerPixel, int dpi, int width, int height);

// Keeps the last `lines` lines of the file's pixel area, moved down behind the
// headers, and cuts the file after them. 1 = done; 0 = the file could not be
// opened, its headers could not be read or are not a BMP's, or `lines` is not
// between 0 and the file's height.
int TruncateBmp(const char* path, int lines, unsigned char* scratch, size_t scratchSize);

// Reverses the order of the lines of a block in place.
void ReverseLines(unsigned char* block, int lines, int bytesPerLine);

// Exchanges the first and third byte of every 3-byte pixel of every line.
void SwapRedBlue(unsigned char* block, int lines, int bytesPerLine);

// Area-averaging reductions of a block of srcWidth x srcLines pixels into
// dstWidth x dstLines 24-bit pixels (destination lines 4-byte aligned). Gray and
// one-bit results go to all three bytes. Nothing happens when a size is not positive.
void ShrinkBlock1(int dstWidth, int dstLines, unsigned char* dst,
                  int srcWidth, int srcLines, const unsigned char* src);
void ShrinkBlock8(int dstWidth, int dstLines, unsigned char* dst,
                  int srcWidth, int srcLines, const unsigned char* src);
void ShrinkBlock24(int dstWidth, int dstLines, unsigned char* dst,
                   int srcWidth, int srcLines, const unsigned char* src);

// A logical GDI palette owned by its object (deleted with it).
class Palette {
public:
    Palette() = default;
    ~Palette() { Reset(); }
    Palette(const Palette&) = delete;
    Palette& operator=(const Palette&) = delete;

    bool Create(const LOGPALETTE* description);
    void Reset();
    HPALETTE Handle() const { return handle_; }

private:
    HPALETTE handle_ = nullptr;
};

enum { DISPLAY_PALETTE_SIZE = 256 };

// The gray ramp (entry i = i, i, i) and the colour cube (36 grays i * 7 + 3,
// the 6 x 6 x 6 cube of 0, 51, ..., 255 with red varying fastest, then white).
void FillGrayPaletteEntries(PALETTEENTRY entries[DISPLAY_PALETTE_SIZE]);
void FillColorPaletteEntries(PALETTEENTRY entries[DISPLAY_PALETTE_SIZE]);
bool MakeGrayPalette(Palette& palette);
bool MakeColorPalette(Palette& palette);

// True when the drive that holds the data source module has at least `bytes` free.
bool HasDiskSpace(uint64_t bytes);

// True when the volume that holds `path` (an existing or a future file) has at
// least `bytes` free. A failing query means no space.
bool HasDiskSpaceAt(const char* path, uint64_t bytes);

// Copies the data source module's directory, with its trailing backslash, into
// `buffer` of `size` bytes (MAX_PATH by default). False when it does not fit.
bool ModuleDirectory(char* buffer, size_t size = MAX_PATH);
