// Long fuzz run of TBitmapFile (not a test: run by hand, figures in the README):
//   bitmap_fuzz_run.exe [files] [seed]     (defaults: 1000000 files, seed 77)
// Every mutated file goes through Open, CreateCBitmap, CreateLogPalette and
// CreateThumbNail. Counted per outcome; a result that contradicts the error code,
// a file left open or a global block left allocated is a fault.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "bmp_builder.h"
#include "bmp_mutations.h"
#include "scan/bitmap_file.h"
#include "scan/bitmap_file_alloc.h"

using namespace bmptest;

namespace {

class ThumbFile : public TBitmapFile {
public:
    using TBitmapFile::CreateThumbNail;
};

// Blocks TBitmapFile allocated for the current file.
std::vector<HGLOBAL> g_blocks;

HGLOBAL WINAPI CountingAlloc(UINT flags, SIZE_T bytes)
{
    HGLOBAL block = GlobalAlloc(flags, bytes);
    if (block)
        g_blocks.push_back(block);
    return block;
}

const char* const kCodeNames[] = {"opened", "no memory", "not opened", "not a bitmap",
                                  "compressed", "colour depth"};

}  // namespace

int main(int argc, char** argv)
{
    const long files = argc > 1 ? strtol(argv[1], nullptr, 0) : 1000000;
    const uint32_t seed = argc > 2 ? static_cast<uint32_t>(strtoul(argv[2], nullptr, 0)) : 77;
    printf("TBitmapFile fuzz: %ld files, seed %u\n", files, seed);
    fflush(stdout);
    SetBitmapFileAllocator(CountingAlloc);

    const auto seeds = Seeds();
    Random random(seed);
    TempFile file("fuzzrun");
    long codes[6] = {}, thumbnails = 0, bitmaps = 0, palettes = 0;
    long contradictions = 0, leftOpen = 0, leakedBlocks = 0, writeFailures = 0;
    std::vector<RGBTRIPLE> buffer(kThumbNailSide * kThumbNailSide);
    const DWORD started = GetTickCount();

    for (long round = 0; round < files; ++round) {
        const auto bytes = Mutate(seeds[round % seeds.size()], random);
        if (!file.Write(bytes)) {
            ++writeFailures;
            continue;
        }
        g_blocks.clear();
        {
            ThumbFile* f = new ThumbFile;
            const int ok = f->Open(file.Path(), CFile::modeRead | CFile::shareDenyWrite, nullptr);
            const ERRORCODE code = f->GetErrorCode();
            CBitmap* bitmap = f->CreateCBitmap(nullptr, 0);
            LOGPALETTE* palette = f->CreateLogPalette();
            const long size = f->CreateThumbNail(nullptr, buffer.data());
            bool consistent = code >= BMPERR_NONE && code <= BMPERR_COLORDEPTH &&
                              code != BMPERR_NOTOPENED && (ok != 0) == (code == BMPERR_NONE);
            if (consistent && code != BMPERR_NONE)
                consistent = !bitmap && !palette && size == 0;
            if (consistent && code == BMPERR_NONE) {
                const BITMAPINFOHEADER* h = f->GetBITMAPINFOHEADER();
                consistent = h->biSize == 40 && f->GetWidth() > 0 && f->GetHeight() > 0 &&
                             h->biClrUsed <= 256 && palette && palette->palNumEntries <= 256 &&
                             f->GetFileLength() == static_cast<long>(bytes.size());
                const long w = size & 0xFFFF, ht = size >> 16;
                if (size != 0)
                    consistent = consistent && bitmap && w >= 1 && w <= kThumbNailImageMax &&
                                 ht >= 1 && ht <= kThumbNailImageMax;
            }
            if (code >= BMPERR_NONE && code <= BMPERR_COLORDEPTH)
                ++codes[code];
            thumbnails += size != 0;
            bitmaps += bitmap != nullptr;
            palettes += palette != nullptr;
            if (!consistent && ++contradictions <= 5)
                printf("CONTRADICTION: file %ld (%zu bytes), code %d\n", round, bytes.size(), code);
            delete f;
        }
        for (HGLOBAL block : g_blocks)
            if (GlobalSize(block) != 0)
                ++leakedBlocks;
        // Every 16th file is checked for a handle left open (the check costs an open of its own).
        if (round % 16 == 0 && !file.Deletable())
            ++leftOpen;
        if (round % 100000 == 99999) {
            printf("  %ld files, %.0f s\n", round + 1, (GetTickCount() - started) / 1000.0);
            fflush(stdout);
        }
    }
    printf("files %ld in %.0f s\n", files, (GetTickCount() - started) / 1000.0);
    for (int c = 0; c < 6; ++c)
        printf("  %-13s %ld\n", kCodeNames[c], codes[c]);
    printf("  bitmaps %ld, palettes %ld, thumbnails %ld\n", bitmaps, palettes, thumbnails);
    printf("crashes 0 (the run ended), contradictions %ld, files left open %ld, blocks leaked %ld, "
           "write failures %ld\n",
           contradictions, leftOpen, leakedBlocks, writeFailures);
    const bool ok = !contradictions && !leftOpen && !leakedBlocks;
    printf(ok ? "PASS\n" : "FAIL\n");
    return ok ? 0 : 1;
}
