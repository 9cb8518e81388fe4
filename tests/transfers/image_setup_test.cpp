// Image information and layout, the buffer and file set-up, and the native and
// file transfers as a host meets them.
#include "source_fixture.h"

#include "support/bmp_reader.h"
#include "twain/capability_container.h"

namespace {

using ImageSetup = OpenSource;

TW_FRAME Frame(double left, double top, double right, double bottom)
{
    return {FloatToFix32(left), FloatToFix32(top), FloatToFix32(right), FloatToFix32(bottom)};
}

TEST_F(ImageSetup, LayoutIsCheckedAgainstTheBedAndResetToIt)
{
    TW_IMAGELAYOUT layout = {};
    layout.Frame = Frame(0.5, 0.25, 2.5, 3.0);   // right edge beyond the 2.2-inch bed
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_CHECKSTATUS);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_EQ(theApp.settings.right, 100);

    layout.Frame = Frame(2.0, 0.25, 0.5, 3.0);   // edges are not compared with each other
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &layout), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.left, 200);
    EXPECT_EQ(theApp.settings.right, 50);
    EXPECT_EQ(theApp.settings.top, 25);
    EXPECT_EQ(theApp.settings.bottom, 300);

    TW_IMAGELAYOUT got = {};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &got), TWRC_SUCCESS);
    EXPECT_EQ(got.Frame.Left.Whole, 2);
    EXPECT_EQ(got.Frame.Top.Whole, 0);
    EXPECT_EQ(got.Frame.Top.Frac, 16384);   // 0.25 inch
    EXPECT_EQ(got.DocumentNumber, 1u);
    EXPECT_EQ(got.PageNumber, 1u);
    EXPECT_EQ(got.FrameNumber, 1u);

    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGELAYOUT, MSG_RESET, &got), TWRC_SUCCESS);
    EXPECT_EQ(theApp.settings.left, 0);
    EXPECT_EQ(theApp.settings.top, 0);
    EXPECT_EQ(theApp.settings.right, 220);
    EXPECT_EQ(theApp.settings.bottom, 360);
    EXPECT_EQ(got.Frame.Right.Whole, 2);
    EXPECT_EQ(got.Frame.Right.Frac, 13107);
    EXPECT_EQ(got.Frame.Bottom.Whole, 3);
    EXPECT_EQ(got.Frame.Bottom.Frac, 39322);
}

TEST_F(ImageSetup, FileSetUpAcceptsOnlyBmp)
{
    TW_SETUPFILEXFER setup = {};
    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_GET, &setup), TWRC_SUCCESS);
    EXPECT_STREQ(setup.FileName, "TWAIN.BMP");
    EXPECT_EQ(setup.Format, TWFF_BMP);

    strcpy(setup.FileName, "other.tif");
    setup.Format = TWFF_TIFF;
    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_BADVALUE);
    EXPECT_STREQ(theTransfer.fileXferName, "TWAIN.BMP");

    // A name without its terminator is cut at 255 characters.
    memset(setup.FileName, 'a', sizeof(setup.FileName));
    setup.Format = TWFF_BMP;
    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
    EXPECT_EQ(strlen(theTransfer.fileXferName), 255u);

    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_RESET, &setup), TWRC_SUCCESS);
    EXPECT_STREQ(theTransfer.fileXferName, "TWAIN.BMP");
}

TEST_F(ImageSetup, BufferSizesArePercentOfTheImageWithinLimits)
{
    TW_SETUPMEMXFER sizes = {};
    // 100 x 60 gray: 6000 bytes, far below the floor.
    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
    EXPECT_EQ(sizes.MinBufSize, 64000u);
    EXPECT_EQ(sizes.MaxBufSize, 2000000u);
    EXPECT_EQ(sizes.Preferred, 74000u);
    // Whole bed in colour at 600 dpi: 1320 x 2160 x 3 bytes, 5 % of it.
    theApp.settings = ScanSettings{theApp.settings};
    theApp.settings.mode = MODE_COLOR;
    theApp.settings.resolution = 600;
    theApp.settings.right = 220;
    theApp.settings.bottom = 360;
    EXPECT_EQ(Call(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &sizes), TWRC_SUCCESS);
    EXPECT_EQ(sizes.Preferred, 2160u * 3960 * 5 / 100);
}

TEST_F(ImageSetup, ImageInformationFollowsTheImageType)
{
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    const struct {
        int mode, samples, bits, pixelType, bitsPerSample;
    } cases[] = {
        {MODE_GRAY, 1, 8, TWPT_GRAY, 8},
        {MODE_COLOR, 3, 24, TWPT_RGB, 8},
        {MODE_BW, 1, 1, TWPT_BW, 1},
        {MODE_HALFTONE, 1, 1, TWPT_BW, 1},
    };
    for (const auto& c : cases) {
        theApp.settings.mode = static_cast<int16_t>(c.mode);
        TW_IMAGEINFO info;
        memset(&info, 0xCC, sizeof(info));
        ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
        EXPECT_EQ(info.XResolution.Whole, 100);
        EXPECT_EQ(info.YResolution.Frac, 0);
        EXPECT_EQ(info.ImageWidth, 100);
        EXPECT_EQ(info.ImageLength, 60);
        EXPECT_EQ(info.SamplesPerPixel, c.samples);
        EXPECT_EQ(info.BitsPerPixel, c.bits);
        EXPECT_EQ(info.PixelType, c.pixelType);
        EXPECT_EQ(info.BitsPerSample[7], c.bitsPerSample);
        EXPECT_EQ(info.Planar, FALSE);
        EXPECT_EQ(info.Compression, TWCP_NONE);
    }
    theApp.settings.mode = 9;
    TW_IMAGEINFO info = {};
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info), TWRC_SUCCESS);
    EXPECT_EQ(TraceRecorder::Traces().back(), "coding error in IMAGE_IMAGEINFO_GET");
}

class NativeXfer : public OpenSource {};

TEST_F(NativeXfer, TheImageIsAPackedDibInAMovableBlockAndTheNudgeFollows)
{
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    TakeMessages();
    TW_HANDLE image = nullptr;
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_XFERDONE);
    EXPECT_EQ(theApp.twainState, 7);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(GlobalFlags(image) & GMEM_LOCKCOUNT, 0u);
    const SIZE_T size = GlobalSize(image);
    const uint8_t* dib = static_cast<const uint8_t*>(GlobalLock(image));
    ASSERT_NE(dib, nullptr);
    // Rebuild the file a host would save, and decode it.
    std::vector<uint8_t> file(14 + size);
    BITMAPFILEHEADER header = {0x4D42, static_cast<DWORD>(file.size()), 0, 0,
                               static_cast<DWORD>(14 + 40 + 256 * 4)};
    memcpy(file.data(), &header, 14);
    memcpy(file.data() + 14, dib, size);
    GlobalUnlock(image);
    EXPECT_EQ(GlobalFree(image), nullptr);
    DecodedBmp bmp = DecodeBmpBytes(file);
    ASSERT_TRUE(bmp.ok) << bmp.error;
    ASSERT_EQ(bmp.width, 100);
    ASSERT_EQ(bmp.height, 60);
    EXPECT_EQ(bmp.Red(5, 0), TestPagePixel(MODE_GRAY, 5, 0, 0));
    EXPECT_EQ(bmp.Red(99, 59), TestPagePixel(MODE_GRAY, 99, 59, 0));
    EXPECT_EQ(GetFileAttributesA(kNativeXferFile), INVALID_FILE_ATTRIBUTES);

    auto posted = TakeMessages();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, static_cast<UINT>(WM_KEYDOWN));

    // A second transfer without MSG_ENDXFER is out of sequence.
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(Condition(), TWCC_SEQERROR);
    TW_PENDINGXFERS pending = {};
    EXPECT_EQ(Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending), TWRC_SUCCESS);
    EXPECT_EQ(pending.Count, 0);
    EXPECT_EQ(theApp.twainState, 5);
}

TEST_F(NativeXfer, AFailedScanIsAFailureWithTheStateAdvanced)
{
    driver.Control().startScanPage = 0;
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    TW_HANDLE image = nullptr;
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_FAILURE);
    EXPECT_EQ(image, nullptr);
    EXPECT_EQ(theApp.twainState, 7);
    EXPECT_EQ(GetFileAttributesA(kNativeXferFile), INVALID_FILE_ATTRIBUTES);
}

class TwainTestNative : public OpenSource {
    const char* HostName() const override { return "TWAINTEST"; }
};

TEST_F(TwainTestNative, NoNudgeAfterTheTransfer)
{
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    TakeMessages();
    TW_HANDLE image = nullptr;
    ASSERT_EQ(Call(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &image), TWRC_XFERDONE);
    GlobalFree(image);
    EXPECT_TRUE(TakeMessages().empty());
}

TEST_F(ImageSetup, FileTransferWritesTheHostsFileAndNoNudge)
{
    char path[MAX_PATH];
    GetTempPathA(MAX_PATH, path);
    strcat(path, "kestrel_file_xfer.bmp");
    DeleteFileA(path);
    TW_SETUPFILEXFER setup = {};
    strcpy(setup.FileName, path);
    setup.Format = TWFF_BMP;
    ASSERT_EQ(Call(DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup), TWRC_SUCCESS);
    ASSERT_EQ(Enable(), TWRC_SUCCESS);
    TakeMessages();
    EXPECT_EQ(Call(DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr), TWRC_XFERDONE);
    EXPECT_TRUE(TakeMessages().empty());
    DecodedBmp bmp = DecodeBmpFile(path);
    ASSERT_TRUE(bmp.ok) << bmp.error;
    EXPECT_EQ(bmp.width, 100);
    DeleteFileA(path);
}

}  // namespace
