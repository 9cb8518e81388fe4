// DG_IMAGE / DAT_IMAGENATIVEXFER and DAT_IMAGEFILEXFER: a whole page is scanned
// into a BMP file, which is either handed over as a DIB or left under the host's name.
#include "scan/scan_errors.h"
#include "scan/scan_session.h"
#include "twain/handlers.h"
#include "twain/host_notify.h"
#include "twain/host_rules.h"
#include "twain/source_app.h"
#include "twain/transfer_state.h"

const char kNativeXferFile[] = "twain$74.bmp";

namespace {

const DWORD kFileHeaderSize = 14;

int ScanPageToFile(const char* fileName)
{
    return ScanToBmpFile(theApp.driver, theApp.parentWindow, fileName, &theApp.settings,
                         theApp.showIndicators != 0);
}

// Reads the scanned file, without its file header, into a movable global block.
HGLOBAL LoadPackedDib(const char* fileName)
{
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return nullptr;
    HGLOBAL block = nullptr;
    const DWORD size = GetFileSize(file, nullptr);
    if (size != INVALID_FILE_SIZE && size > kFileHeaderSize &&
        SetFilePointer(file, kFileHeaderSize, nullptr, FILE_BEGIN) == kFileHeaderSize) {
        block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size - kFileHeaderSize);
        void* bytes = block ? GlobalLock(block) : nullptr;
        DWORD read = 0;
        const bool ok = bytes && ReadFile(file, bytes, size - kFileHeaderSize, &read, nullptr) &&
                        read == size - kFileHeaderSize;
        if (bytes)
            GlobalUnlock(block);
        if (!ok && block) {
            GlobalFree(block);
            block = nullptr;
        }
    }
    CloseHandle(file);
    return block;
}

}  // namespace

// DG_IMAGE / DAT_IMAGENATIVEXFER / MSG_GET (state 6 only)
TW_UINT16 OnImageNativeXfer(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    const int result = ScanPageToFile(kNativeXferFile);
    theApp.twainState = 7;

    TW_UINT16 rc = TWRC_FAILURE;
    if (result == SCAN_CANCELLED) {
        rc = TWRC_CANCEL;
    } else if (result >= SCAN_SUCCESS) {
        HGLOBAL image = LoadPackedDib(kNativeXferFile);
        DeleteFileA(kNativeXferFile);
        if (image) {
            // The handle is pointer-sized: the 32-bit handle of the protocol on
            // 32-bit Windows, and not cut short on 64-bit Windows.
            *static_cast<TW_HANDLE*>(data) = image;
            rc = TWRC_XFERDONE;
        } else {
            theApp.SetCondition(TWCC_LOWMEMORY);
        }
    }
    PostNudge(theApp.parentWindow);
    return rc;
}

// DG_IMAGE / DAT_IMAGEFILEXFER / MSG_GET (state 6 only)
TW_UINT16 OnImageFileXfer(pTW_IDENTITY, TW_UINT16, TW_MEMREF)
{
    const int result = ScanPageToFile(theTransfer.fileXferName);
    theApp.twainState = 7;
    if (result == SCAN_CANCELLED)
        return TWRC_CANCEL;
    if (result >= SCAN_SUCCESS)
        return TWRC_XFERDONE;
    theApp.SetCondition(TWCC_OPERATIONERROR);
    return TWRC_FAILURE;
}
