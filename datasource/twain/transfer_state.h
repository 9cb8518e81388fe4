// State of the image transfers, kept between DS_Entry calls.
#pragma once

#include <windows.h>
#include <stdint.h>

class ScanProgressDialog;

// Where a memory transfer stands between two DAT_IMAGEMEMXFER calls.
struct MemXferState {
    bool newImage = true;       // the next call starts a new image
    bool pageOpen = false;      // IO_StartScanPage has been called for this image
    bool skipToggle = true;     // alternation of the PageManager host
    int startResult = 0;        // IO_StartScanPage's answer for this image
    int32_t pageWidth = 0;
    int32_t pageHeight = 0;
    uint32_t bytesPerRow = 0;
    uint32_t rowsPerStrip = 0;
    uint32_t rowsDone = 0;
    ScanProgressDialog* progressWindow = nullptr;
};

struct TransferState {
    int32_t imageWidth = 0;           // learnt when the source is enabled
    int32_t imageHeight = 0;
    uint16_t fileXferFormat = 2;      // TWFF_BMP, the only format offered
    char fileXferName[256] = "TWAIN.BMP";
    MemXferState mem;
};

extern TransferState theTransfer;

// Ends a memory-transfer image: feeds the sheet out, closes the page, gives the
// host's window its input back and closes the progress window. False when
// the sheet could not be fed out (a jam).
bool EndMemoryImage();

// Bits per pixel of an image type: gray 8, colour 24, black and white or halftone 1.
inline int BitsPerPixelOfMode(int mode)
{
    return mode == 1 ? 8 : mode == 4 ? 24 : 1;
}

// The temporary file of the native transfer, in the current directory.
extern const char kNativeXferFile[];
