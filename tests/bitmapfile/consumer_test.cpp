// A program outside kestrel that uses TBitmapFile as other programs do: through
// the import library of kestrel.ds, with the class loaded from the DLL.
#define KESTREL_BITMAPFILE_IMPORT
#include <gtest/gtest.h>

#include <vector>

#include "bmp_builder.h"
#include "scan/bitmap_file.h"

using namespace bmptest;

namespace {

class Viewer : public TBitmapFile {
public:
    long Thumbnail(RGBTRIPLE* buffer) { return CreateThumbNail(nullptr, buffer); }
};

}  // namespace

TEST(BitmapFileConsumer, UsesTheClassExportedByKestrel)
{
    HMODULE kestrel = GetModuleHandleA("kestrel.ds");
    ASSERT_NE(kestrel, nullptr) << "the class must come from kestrel.ds";
    // The constructor this program calls is the DLL's export.
    EXPECT_NE(GetProcAddress(kestrel, "_ZN11TBitmapFileC1Ev"), nullptr);

    Random random(99);
    Picture p = RandomPicture(150, 60, 8, random);
    Layout layout;
    layout.pixelsPerMetre = 600 * 10000 / 254;
    TempFile file("consumer", Encode(p, layout));

    TBitmapFile* f = new TBitmapFile;
    ASSERT_NE(f, nullptr);
    EXPECT_NE(GlobalHandle(f), nullptr) << "allocated by the class's own operator new";
    EXPECT_EQ(f->GetErrorCode(), BMPERR_NOTOPENED);
    CFileException ex;
    ASSERT_TRUE(f->Open(file.Path(), CFile::modeRead | CFile::shareDenyWrite, &ex));
    EXPECT_EQ(f->GetWidth(), 150);
    EXPECT_EQ(f->GetHeight(), 60);
    EXPECT_EQ(f->GetXrel(), 599);
    EXPECT_TRUE(f->IsGrayScale());
    CDC dc(GetDC(nullptr));
    CBitmap* bitmap = f->CreateCBitmap(&dc, 0);
    ReleaseDC(nullptr, dc.m_hDC);
    ASSERT_NE(bitmap, nullptr);
    BITMAP bm;
    ASSERT_NE(GetObjectA(bitmap->GetSafeHandle(), sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 150);
    EXPECT_EQ(f->GetBmpbit()[0], p.At(59, 0));
    LOGPALETTE* palette = f->CreateLogPalette();
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(palette->palNumEntries, 256);

    // Copies through the DLL's copy constructor, and the derived class's view.
    Viewer viewer;
    static_cast<TBitmapFile&>(viewer) = *f;
    delete f;
    std::vector<RGBTRIPLE> buffer(100 * 100);
    EXPECT_EQ(viewer.Thumbnail(buffer.data()), 35 * 65536L + 88);
    EXPECT_EQ(buffer[0].rgbtRed, 0xC4);
    EXPECT_TRUE(file.Deletable());
}
