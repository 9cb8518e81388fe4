// TBitmapFile: Open and its error codes, the headers it leaves, the bitmap
// section, the logical palette, copies and the object's own memory.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "bmp_builder.h"
#include "scan/bitmap_file.h"
#include "scan/bitmap_file_alloc.h"
#include "ui/message_box.h"

using namespace bmptest;

namespace {

Picture Gray8(int width, int height)
{
    Picture p;
    p.width = width;
    p.height = height;
    p.bits = 8;
    p.table = ScannerTable(8);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            p.pixels.push_back(static_cast<uint32_t>((r * 7 + c * 3) & 0xFF));
    return p;
}

ERRORCODE OpenBytes(const std::vector<uint8_t>& bytes, const char* stem, TBitmapFile& f, int* result = nullptr)
{
    TempFile file(stem, bytes);
    int ok = f.Open(file.Path(), CFile::modeRead | CFile::shareDenyWrite, nullptr);
    if (result)
        *result = ok;
    EXPECT_TRUE(file.Deletable()) << stem << ": Open left the file open";
    return f.GetErrorCode();
}

// Reads a member at its place in the fixed layout (P = pointer size).
template <class T>
T MemberAt(const TBitmapFile& f, size_t offset)
{
    T value;
    std::memcpy(&value, reinterpret_cast<const char*>(&f) + offset, sizeof value);
    return value;
}

constexpr size_t P = sizeof(void*);

HGLOBAL WINAPI FailingAlloc(UINT, SIZE_T)
{
    return nullptr;
}

std::vector<std::string> g_messages;
int RecordMessage(HWND, const char* text, const char*, UINT)
{
    g_messages.push_back(text);
    return IDOK;
}

}  // namespace

TEST(BitmapFileOpen, FreshObjectHasNothingAndSaysNotOpened)
{
    TBitmapFile f;
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOTOPENED);
    EXPECT_EQ(f.GetBITMAPINFO(), nullptr);
    EXPECT_EQ(f.GetBmpbit(), nullptr);
    EXPECT_EQ(f.GetWidth(), 0);
    EXPECT_EQ(f.GetHeight(), 0);
    EXPECT_EQ(f.GetColorNum(), 0);
    EXPECT_EQ(f.GetXrel(), 0);
    EXPECT_EQ(f.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(f.CreateLogPalette(), nullptr);
    EXPECT_EQ(MemberAt<char>(f, 11 * P + 22), '\0');
}

TEST(BitmapFileOpen, MissingFileOrUnusablePathIsErrorTwo)
{
    TBitmapFile f;
    CFileException ex;
    EXPECT_FALSE(f.Open("c:\\no such folder\\none.bmp", CFile::modeRead, &ex));
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOTOPENED);
    EXPECT_NE(ex.m_cause, CFileException::none);
    EXPECT_NE(ex.m_lOsError, 0);

    TempFile missing("missing");
    CFileException ex2;
    EXPECT_FALSE(f.Open(missing.Path(), CFile::modeRead, &ex2));
    EXPECT_EQ(ex2.m_cause, CFileException::fileNotFound);
    EXPECT_EQ(ex2.m_lOsError, ERROR_FILE_NOT_FOUND);

    // A path that does not fit the 260-character member is refused, not cut.
    std::string longPath(300, 'a');
    EXPECT_FALSE(f.Open(longPath.c_str(), CFile::modeRead, nullptr));
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOTOPENED);
    EXPECT_FALSE(f.Open(nullptr, CFile::modeRead, nullptr));
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOTOPENED);
}

TEST(BitmapFileOpen, SharingViolationAndWriteFlagsNeverTouchTheFile)
{
    const std::vector<uint8_t> bytes = Encode(Gray8(8, 8));
    TempFile file("share", bytes);
    TBitmapFile f;

    // Exclusive open while another handle writes the file.
    HANDLE other = CreateFileA(file.Path(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    CFileException ex;
    EXPECT_FALSE(f.Open(file.Path(), CFile::modeRead | CFile::shareExclusive, &ex));
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOTOPENED);
    EXPECT_EQ(ex.m_cause, CFileException::sharingViolation);
    CloseHandle(other);

    // Create and write bits do not empty the file: it is only read.
    EXPECT_TRUE(f.Open(file.Path(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyNone, nullptr));
    EXPECT_EQ(f.GetFileLength(), static_cast<long>(bytes.size()));
    // A share value the framework does not define.
    EXPECT_FALSE(f.Open(file.Path(), 0x70, nullptr));
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOTOPENED);
}

TEST(BitmapFileOpen, FilesThatAreNotBitmapsAreErrorThree)
{
    const std::vector<uint8_t> good = Encode(Gray8(16, 8));  // 1078 + 128 bytes
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
    auto with32 = [&](size_t at, uint32_t value) {
        auto b = good;
        Put32(b, at, value);
        return b;
    };
    auto wrongType = good;
    wrongType[0] = 'X';
    auto pixelsCut = good;
    pixelsCut.resize(good.size() - 20);  // pixel lines missing
    auto absurd = with32(18, 0x7FFFFFFF);
    Put32(absurd, 22, 0x7FFFFFFF);
    const std::vector<Case> cases = {
        {"empty", {}},
        {"short_file_header", cut(10)},
        {"file_header_only", cut(14)},
        {"short_info_header", cut(40)},
        {"wrong_type", wrongType},
        {"header_108", with32(14, 108)},  // a later header kind
        {"header_0", with32(14, 0)},
        {"offset_inside_header", with32(10, 30)},
        {"offset_below_14", with32(10, 5)},
        {"offset_past_end", with32(10, 0xFFFFFFF0u)},
        {"pixels_cut_short", pixelsCut},
        {"width_0", with32(18, 0)},
        {"width_negative", with32(18, 0xFFFFFFF0u)},
        {"height_0", with32(22, 0)},
        {"height_min", with32(22, 0x80000000u)},
        {"absurd_size", absurd},
    };
    for (const Case& c : cases) {
        TBitmapFile f;
        int result = -1;
        EXPECT_EQ(OpenBytes(c.bytes, c.name, f, &result), BMPERR_NOTBITMAP) << c.name;
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(f.CreateCBitmap(nullptr, 0), nullptr) << c.name;
        EXPECT_EQ(f.GetXrel(), 0) << c.name;
    }
}

TEST(BitmapFileOpen, CompressedIsFourAndOtherDepthsAreFive)
{
    TBitmapFile f;
    auto rle = Encode(Gray8(8, 8));
    Put32(rle, 30, BI_RLE8);
    EXPECT_EQ(OpenBytes(rle, "rle8", f), BMPERR_COMPRESSED);

    auto fields = Encode(Gray8(8, 8));
    Put16(fields, 28, 16);
    Put32(fields, 30, BI_BITFIELDS);
    EXPECT_EQ(OpenBytes(fields, "bitfields", f), BMPERR_COMPRESSED);

    for (int bits : {0, 16, 32, 25, 48}) {
        auto b = Encode(Gray8(8, 8));
        Put16(b, 28, static_cast<uint16_t>(bits));
        int result = -1;
        EXPECT_EQ(OpenBytes(b, "depth", f, &result), BMPERR_COLORDEPTH) << bits;
        EXPECT_FALSE(result);
        EXPECT_EQ(f.CreateLogPalette(), nullptr);
    }
}

TEST(BitmapFileOpen, NoMemoryIsErrorOneAndNothingIsLeftOpen)
{
    TempFile file("nomem", Encode(Gray8(8, 8)));
    TBitmapFile f;
    SetBitmapFileAllocator(FailingAlloc);
    const int ok = f.Open(file.Path(), CFile::modeRead, nullptr);
    TBitmapFile* heapObject = new TBitmapFile;
    SetBitmapFileAllocator(nullptr);

    EXPECT_FALSE(ok);
    EXPECT_EQ(f.GetErrorCode(), BMPERR_NOMEMORY);
    EXPECT_EQ(f.GetBITMAPINFO(), nullptr);
    EXPECT_EQ(f.GetWidth(), 0);
    EXPECT_EQ(heapObject, nullptr);
    EXPECT_TRUE(file.Deletable());
    delete heapObject;

    // The palette block can fail alone.
    TempFile again("nomem2", Encode(Gray8(8, 8)));
    ASSERT_TRUE(f.Open(again.Path(), CFile::modeRead, nullptr));
    SetBitmapFileAllocator(FailingAlloc);
    EXPECT_EQ(f.CreateLogPalette(), nullptr);
    SetBitmapFileAllocator(nullptr);
    EXPECT_NE(f.CreateLogPalette(), nullptr);
}

TEST(BitmapFileHeaders, ScannerFileAt300DpiReadsBackAs299)
{
    Picture p = Gray8(17, 5);
    Layout layout;
    layout.pixelsPerMetre = 300 * 10000 / 254;  // 11811, as the scan engine writes it
    auto bytes = Encode(p, layout);
    TBitmapFile f;
    int result = 0;
    ASSERT_EQ(OpenBytes(bytes, "dpi", f, &result), BMPERR_NONE);
    EXPECT_TRUE(result);
    EXPECT_EQ(f.GetXrel(), 299);
    EXPECT_EQ(f.GetYrel(), 299);
    EXPECT_EQ(f.GetWidth(), 17);
    EXPECT_EQ(f.GetHeight(), 5);
    EXPECT_TRUE(f.IsUpSideDown());
    EXPECT_EQ(f.GetColorNum(), 256);
    EXPECT_TRUE(f.IsGrayScale());
    EXPECT_EQ(f.GetFileLength(), static_cast<long>(bytes.size()));
    EXPECT_EQ(f.GetBITMAPINFOHEADER()->biSizeImage, 0u);
    EXPECT_EQ(static_cast<void*>(f.GetBITMAPINFOHEADER()), static_cast<void*>(f.GetBITMAPINFO()));
    EXPECT_EQ(reinterpret_cast<BYTE*>(f.GetRGBQUAD()), reinterpret_cast<BYTE*>(f.GetBITMAPINFO()) + 40);
    EXPECT_EQ(f.GetRGBQUAD()[200].rgbGreen, 200);
    EXPECT_EQ(f.GetBITMAPFILEHEADER()->bfOffBits, 1078u);

    // The file's own size field is replaced by the real length.
    auto lying = bytes;
    Put32(lying, 2, 12345678);
    ASSERT_EQ(OpenBytes(lying, "size_field", f), BMPERR_NONE);
    EXPECT_EQ(f.GetFileLength(), static_cast<long>(bytes.size()));

    // "CH" is accepted as a type as well; 24-bit files have 2^24 colours.
    Random random(7);
    auto ch = Encode(RandomPicture(5, 3, 24, random));
    ch[0] = 'C';
    ch[1] = 'H';
    ASSERT_EQ(OpenBytes(ch, "ch", f), BMPERR_NONE);
    EXPECT_EQ(f.GetColorNum(), 16777216);
    EXPECT_FALSE(f.IsGrayScale());
}

TEST(BitmapFileHeaders, TopDownFileHasPositiveHeightAndIsNotUpsideDown)
{
    Layout layout;
    layout.topDown = true;
    TBitmapFile f;
    ASSERT_EQ(OpenBytes(Encode(Gray8(9, 7), layout), "topdown", f), BMPERR_NONE);
    EXPECT_EQ(f.GetHeight(), 7);
    EXPECT_FALSE(f.IsUpSideDown());
    EXPECT_EQ(f.GetBITMAPINFOHEADER()->biHeight, -7);
}

TEST(BitmapFileHeaders, OldStyleHeaderIsConvertedWithItsColourTable)
{
    Random random(11);
    Picture p = RandomPicture(13, 6, 8, random);
    for (int i = 0; i < 256; ++i)
        p.table[i] = Quad(i, 255 - i, (i * 37) & 0xFF);
    Layout layout;
    layout.coreHeader = true;
    const std::vector<uint8_t> bytes = Encode(p, layout);
    ASSERT_EQ(bytes.size(), 14 + 12 + 768 + 16 * 6u);

    TempFile file("core", bytes);
    TBitmapFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    EXPECT_EQ(MemberAt<BOOL>(f, 10 * P + 18), TRUE) << "converted flag";
    const BITMAPINFOHEADER* h = f.GetBITMAPINFOHEADER();
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 13);
    EXPECT_EQ(h->biHeight, 6);
    EXPECT_EQ(h->biPlanes, 1);
    EXPECT_EQ(h->biBitCount, 8);
    EXPECT_EQ(h->biCompression, 0u);
    EXPECT_EQ(h->biClrUsed, 0u);
    EXPECT_EQ(h->biXPelsPerMeter, 0);
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD q = f.GetRGBQUAD()[i];
        ASSERT_EQ(q.rgbRed, i) << i;
        ASSERT_EQ(q.rgbGreen, 255 - i) << i;
        ASSERT_EQ(q.rgbBlue, (i * 37) & 0xFF) << i;
        ASSERT_EQ(q.rgbReserved, 0) << i;
    }
    // The pixels follow the 3-byte table.
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(f.GetBmpbit()[0], p.At(5, 0));
    EXPECT_EQ(f.GetBmpbit()[16 * 5 + 12], p.At(0, 12));

    // A 40-byte header leaves the flag clear; 1-bit and 24-bit old headers convert too.
    ASSERT_EQ(OpenBytes(Encode(p), "core_not", f), BMPERR_NONE);
    EXPECT_EQ(MemberAt<BOOL>(f, 10 * P + 18), FALSE);
    Picture bw = RandomPicture(20, 4, 1, random);
    ASSERT_EQ(OpenBytes(Encode(bw, layout), "core1", f), BMPERR_NONE);
    EXPECT_EQ(f.GetRGBQUAD()[1].rgbRed, 255);
    EXPECT_EQ(f.GetRGBQUAD()[0].rgbRed, 0);
    ASSERT_EQ(OpenBytes(Encode(RandomPicture(3, 3, 24, random), layout), "core24", f), BMPERR_NONE);
    EXPECT_EQ(f.GetColorNum(), 16777216);
}

TEST(BitmapFileHeaders, OversizedColourCountAndFarPixelOffsetAreHandled)
{
    // A colour count beyond the table would make the platform read past the block.
    auto bytes = Encode(Gray8(8, 4));
    Put32(bytes, 46, 100000);
    Put32(bytes, 50, 70000);
    TempFile file("clrused", bytes);
    TBitmapFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    EXPECT_EQ(f.GetBITMAPINFOHEADER()->biClrUsed, 0u);
    EXPECT_EQ(f.GetBITMAPINFOHEADER()->biClrImportant, 0u);
    EXPECT_NE(f.CreateCBitmap(nullptr, 0), nullptr);

    // Pixels 3000 bytes after the file header: the gap is skipped, not read
    // into the 1064-byte block.
    Picture p = Gray8(8, 4);
    auto plain = Encode(p);
    std::vector<uint8_t> padded(plain.begin(), plain.begin() + 1078);
    padded.resize(14 + 3000, 0xEE);
    padded.insert(padded.end(), plain.begin() + 1078, plain.end());
    Put32(padded, 10, 14 + 3000);
    TempFile farFile("faroffset", padded);
    ASSERT_TRUE(f.Open(farFile.Path(), CFile::modeRead, nullptr));
    EXPECT_TRUE(f.IsGrayScale());
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(std::memcmp(f.GetBmpbit(), plain.data() + 1078, 32), 0);
}

TEST(BitmapFileSection, PixelsAreLoadedInPiecesAndNeverPastTheSection)
{
    Random random(3);
    // 24-bit 700 x 300: 630,000 bytes of pixels, more than one piece.
    Picture p = RandomPicture(700, 300, 24, random);
    auto bytes = Encode(p);
    const size_t pixelBytes = bytes.size() - 54;
    // Trailing bytes after the pixel area must not be copied past the section.
    bytes.insert(bytes.end(), 200000, 0xAB);
    TempFile file("big", bytes);
    TBitmapFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    CBitmap* first = f.CreateCBitmap(nullptr, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(f.GetBmpbit(), nullptr);
    EXPECT_EQ(std::memcmp(f.GetBmpbit(), bytes.data() + 54, pixelBytes), 0);
    DIBSECTION ds;
    ASSERT_EQ(GetObjectA(first->GetSafeHandle(), sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmWidth, 700);
    EXPECT_EQ(ds.dsBm.bmBitsPixel, 24);

    // A second call replaces the object and the section.
    CBitmap* second = f.CreateCBitmap(nullptr, 0);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(std::memcmp(f.GetBmpbit(), bytes.data() + 54, pixelBytes), 0);
    EXPECT_TRUE(file.Deletable());
}

TEST(BitmapFileSection, FileChangedAfterOpen)
{
    Picture p = Gray8(16, 10);
    auto bytes = Encode(p);
    TempFile file("changed", bytes);
    TBitmapFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));

    // Shortened: the lines that are still there are read, the rest is zero.
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 16 * 4 - 2);
    ASSERT_TRUE(file.Write(cut));
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(std::memcmp(f.GetBmpbit(), bytes.data() + 1078, 16 * 5), 0);
    for (int i = 16 * 6; i < 160; ++i)
        ASSERT_EQ(f.GetBmpbit()[i], 0) << i;

    // Gone: no bitmap rather than an empty one.
    ASSERT_TRUE(file.Deletable());
    EXPECT_EQ(f.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(f.GetBmpbit(), nullptr);
}

TEST(BitmapFilePalette, EntriesComeFromTheColourTable)
{
    Picture p = Gray8(4, 4);
    for (int i = 0; i < 256; ++i)
        p.table[i] = Quad(i, i / 2, 255 - i, i % 3 == 0 ? PC_NOCOLLAPSE : 0);
    TBitmapFile f;
    ASSERT_EQ(OpenBytes(Encode(p), "palette8", f), BMPERR_NONE);
    LOGPALETTE* pal = f.CreateLogPalette();
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal->palVersion, 0x300);
    ASSERT_EQ(pal->palNumEntries, 256);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(pal->palPalEntry[i].peRed, i);
        ASSERT_EQ(pal->palPalEntry[i].peGreen, i / 2);
        ASSERT_EQ(pal->palPalEntry[i].peBlue, 255 - i);
        ASSERT_EQ(pal->palPalEntry[i].peFlags, i % 3 == 0 ? PC_NOCOLLAPSE : 0);
    }
    EXPECT_GE(GlobalSize(GlobalHandle(pal)), 4u * 256 + 8);

    Random random(5);
    Picture bw = RandomPicture(9, 2, 1, random);
    ASSERT_EQ(OpenBytes(Encode(bw), "palette1", f), BMPERR_NONE);
    pal = f.CreateLogPalette();
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal->palNumEntries, 2);
    EXPECT_EQ(pal->palPalEntry[1].peBlue, 255);

    ASSERT_EQ(OpenBytes(Encode(RandomPicture(2, 2, 24, random)), "palette24", f),
              BMPERR_NONE);
    pal = f.CreateLogPalette();
    ASSERT_NE(pal, nullptr);
    EXPECT_EQ(pal->palNumEntries, 0);
    EXPECT_EQ(pal->palVersion, 0x300);
}

TEST(BitmapFileObject, LayoutIsTheFixedBinaryInterface)
{
    EXPECT_EQ(sizeof(TBitmapFile), 11 * P + 282);
    TempFile file("layout", Encode(Gray8(4, 4)));
    TBitmapFile f;
    ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
    EXPECT_EQ(MemberAt<WORD>(f, P), 0x4D42) << "file header after the vtable pointer";
    EXPECT_EQ(MemberAt<BITMAPINFO*>(f, P + 14), f.GetBITMAPINFO());
    EXPECT_EQ(MemberAt<int>(f, 7 * P + 14), 0) << "error code";
    EXPECT_STREQ(reinterpret_cast<const char*>(&f) + 11 * P + 22, file.Path());
    ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_EQ(MemberAt<BYTE*>(f, 4 * P + 14), f.GetBmpbit());
    EXPECT_EQ(MemberAt<CBitmap*>(f, 10 * P + 22)->GetSafeHandle(), MemberAt<HBITMAP>(f, 7 * P + 18));
    TBitmapFile idle;
    EXPECT_EQ(MemberAt<int>(idle, 7 * P + 14), 2);
}

TEST(BitmapFileObject, CopiesShareTheirBlocksAndOutliveEachOther)
{
    TempFile file("copy", Encode(Gray8(30, 20)));
    auto* original = new TBitmapFile;
    ASSERT_NE(original, nullptr);
    ASSERT_TRUE(original->Open(file.Path(), CFile::modeRead, nullptr));
    ASSERT_NE(original->CreateCBitmap(nullptr, 0), nullptr);
    ASSERT_NE(original->CreateLogPalette(), nullptr);

    TBitmapFile copy(*original);
    EXPECT_EQ(copy.GetBITMAPINFO(), original->GetBITMAPINFO());
    EXPECT_EQ(copy.GetBmpbit(), original->GetBmpbit());
    EXPECT_EQ(copy.GetErrorCode(), BMPERR_NONE);
    EXPECT_EQ(MemberAt<HGLOBAL>(copy, 8 * P + 18), MemberAt<HGLOBAL>(*original, 8 * P + 18));

    TBitmapFile assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(assigned.GetBmpbit(), original->GetBmpbit());

    // The original goes first; what the copies share must still be there.
    const BYTE firstPixel = original->GetBmpbit()[0];
    delete original;
    EXPECT_EQ(copy.GetWidth(), 30);
    EXPECT_EQ(copy.GetBmpbit()[0], firstPixel);
    EXPECT_EQ(GlobalFlags(GlobalHandle(copy.GetBITMAPINFO())) & GMEM_INVALID_HANDLE, 0u);

    // Replacing the bitmap in one copy leaves the other's intact.
    BYTE* sharedBits = assigned.GetBmpbit();
    ASSERT_NE(copy.CreateCBitmap(nullptr, 0), nullptr);
    EXPECT_NE(copy.GetBmpbit(), sharedBits);
    EXPECT_EQ(assigned.GetBmpbit()[0], firstPixel);
    // Opening again in one copy leaves the other's headers.
    TempFile other("copy2", Encode(Gray8(5, 5)));
    ASSERT_TRUE(copy.Open(other.Path(), CFile::modeRead, nullptr));
    EXPECT_EQ(copy.GetWidth(), 5);
    EXPECT_EQ(assigned.GetWidth(), 30);
}

TEST(BitmapFileObject, OwnOperatorNewUsesALockedMovableBlock)
{
    TBitmapFile* f = new TBitmapFile;
    ASSERT_NE(f, nullptr);
    HGLOBAL block = GlobalHandle(f);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(block, static_cast<HGLOBAL>(f)) << "a movable block has a handle of its own";
    EXPECT_GE(GlobalSize(block), sizeof(TBitmapFile));
    EXPECT_GE(GlobalFlags(block) & GMEM_LOCKCOUNT, 1u);
    EXPECT_EQ(f->GetErrorCode(), BMPERR_NOTOPENED);
    delete f;
    EXPECT_EQ(GlobalSize(block), 0u) << "the block is freed";
}

TEST(BitmapFileObject, DestructorReportsABitmapThatCannotBeDeleted)
{
    TempFile file("detach", Encode(Gray8(4, 4)));
    g_messages.clear();
    SetMessageBoxHook(RecordMessage);
    {
        TBitmapFile f;
        ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
        CBitmap* bitmap = f.CreateCBitmap(nullptr, 0);
        ASSERT_NE(bitmap, nullptr);
        // Someone else deletes the section behind the object's back.
        EXPECT_TRUE(DeleteObject(bitmap->GetSafeHandle()));
    }
    {
        TBitmapFile f;
        ASSERT_TRUE(f.Open(file.Path(), CFile::modeRead, nullptr));
        ASSERT_NE(f.CreateCBitmap(nullptr, 0), nullptr);
    }
    SetMessageBoxHook(nullptr);
    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0], "bitmap detach error");
}
