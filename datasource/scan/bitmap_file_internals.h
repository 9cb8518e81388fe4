// Helpers of TBitmapFile that are not part of its exported interface. They are
// a friend of the class so that they can reach its members without adding
// exported member functions.
#pragma once

#include <cstdint>

#include "scan/bitmap_file.h"

struct TBitmapFileInternals {
    // Compile-time checks of the member layout (never called).
    static void CheckLayout();

    // Bytes of one pixel line, padded to 4 bytes; 0 when it does not fit a DWORD.
    static uint64_t LineBytes(int64_t width, unsigned bitCount);

    // Frees the blocks and the bitmap object this object refers to, unless a
    // copy still shares them; the members are emptied either way.
    static void ReleaseInfo(TBitmapFile& f);
    static void ReleaseReserved(TBitmapFile& f);
    static void ReleasePalette(TBitmapFile& f);
    static void ReleaseBitmap(TBitmapFile& f, bool reportFailure);

    // Copies every member but the virtual table pointer, sharing what it refers to.
    static void CopyMembers(TBitmapFile& to, const TBitmapFile& from);

    // Reads and checks the headers of an open file; returns the error code.
    static ERRORCODE ReadHeaders(TBitmapFile& f, HANDLE file);
    static void ConvertCoreHeader(TBitmapFile& f);

    // Reads the pixel area of the file into the section; false when the file
    // cannot be read.
    static bool LoadPixels(TBitmapFile& f, BYTE* bits, uint64_t sectionBytes);

    // The source of a reduction: the loaded pixels, when they match the info
    // header and have the given bit count.
    struct Source {
        const BYTE* bits;
        int64_t width;
        int64_t lines;
        uint64_t stride;
        bool bottomUp;
    };
    static bool ShrinkSource(TBitmapFile& f, unsigned bitCount, Source* source);
};
