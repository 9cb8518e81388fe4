// DG_IMAGE / DAT_IMAGEINFO and DAT_IMAGELAYOUT.
#include "twain/capability_container.h"
#include "twain/handlers.h"
#include "twain/source_app.h"
#include "twain/trace.h"
#include "twain/transfer_state.h"

// DG_IMAGE / DAT_IMAGEINFO / MSG_GET
TW_UINT16 OnImageInfo(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* info = static_cast<pTW_IMAGEINFO>(data);
    info->XResolution = FloatToFix32(theApp.settings.resolution);
    info->YResolution = info->XResolution;
    info->ImageWidth = theTransfer.imageWidth;
    info->ImageLength = theTransfer.imageHeight;
    info->Planar = FALSE;
    info->Compression = TWCP_NONE;

    TW_INT16 samples, bitsPerSample, pixelType;
    switch (theApp.settings.mode) {
    case MODE_GRAY:
        samples = 1, bitsPerSample = 8, pixelType = TWPT_GRAY;
        break;
    case MODE_COLOR:
        samples = 3, bitsPerSample = 8, pixelType = TWPT_RGB;
        break;
    case MODE_BW:
    case MODE_HALFTONE:
        samples = 1, bitsPerSample = 1, pixelType = TWPT_BW;
        break;
    default:
        DebugTrace("coding error in IMAGE_IMAGEINFO_GET");
        return TWRC_SUCCESS;
    }
    info->SamplesPerPixel = samples;
    for (TW_INT16& bits : info->BitsPerSample)
        bits = bitsPerSample;
    info->BitsPerPixel = static_cast<TW_INT16>(samples * bitsPerSample);
    info->PixelType = pixelType;
    return TWRC_SUCCESS;
}

namespace {

const int kBedWidth = 220;   // hundredths of an inch
const int kBedHeight = 360;

void DefaultFrame(TW_FRAME* frame)
{
    frame->Left = FloatToFix32(0);
    frame->Top = FloatToFix32(0);
    frame->Right = FloatToFix32(2.2);
    frame->Bottom = FloatToFix32(3.6);
}

int16_t Hundredths(TW_FIX32 inches)
{
    return static_cast<int16_t>(static_cast<int32_t>(Fix32ToFloat(inches) * 100));
}

}  // namespace

// DG_IMAGE / DAT_IMAGELAYOUT / MSG_GET, MSG_GETDEFAULT, MSG_SET, MSG_RESET
TW_UINT16 OnImageLayout(pTW_IDENTITY, TW_UINT16 msg, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* layout = static_cast<pTW_IMAGELAYOUT>(data);
    ScanSettings& s = theApp.settings;
    switch (msg) {
    case MSG_SET: {
        const int16_t top = Hundredths(layout->Frame.Top);
        const int16_t bottom = Hundredths(layout->Frame.Bottom);
        const int16_t left = Hundredths(layout->Frame.Left);
        const int16_t right = Hundredths(layout->Frame.Right);
        auto within = [](int16_t v, int limit) { return v >= 0 && v <= limit; };
        if (!within(top, kBedHeight) || !within(bottom, kBedHeight) || !within(left, kBedWidth) ||
            !within(right, kBedWidth)) {
            theApp.SetCondition(TWCC_BADVALUE);
            return TWRC_CHECKSTATUS;
        }
        s.top = top;
        s.bottom = bottom;
        s.left = left;
        s.right = right;
        return TWRC_SUCCESS;
    }
    case MSG_GET:
        layout->Frame.Left = FloatToFix32(s.left / 100.0);
        layout->Frame.Top = FloatToFix32(s.top / 100.0);
        layout->Frame.Right = FloatToFix32(s.right / 100.0);
        layout->Frame.Bottom = FloatToFix32(s.bottom / 100.0);
        break;
    case MSG_RESET:
        s.top = 0;
        s.left = 0;
        s.bottom = kBedHeight;
        s.right = kBedWidth;
        [[fallthrough]];
    default:  // MSG_GETDEFAULT
        DefaultFrame(&layout->Frame);
        break;
    }
    layout->DocumentNumber = 1;
    layout->PageNumber = 1;
    layout->FrameNumber = 1;
    return TWRC_SUCCESS;
}
