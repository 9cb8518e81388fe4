// DAT_PENDINGXFERS, DAT_SETUPMEMXFER and DAT_SETUPFILEXFER.
#include <string.h>

#include "scan/misc.h"
#include "twain/handlers.h"
#include "twain/host_notify.h"
#include "twain/host_rules.h"
#include "twain/source_app.h"
#include "twain/transfer_state.h"

TransferState theTransfer;

// DG_CONTROL / DAT_PENDINGXFERS / MSG_GET, MSG_ENDXFER, MSG_RESET. Only Count is written.
TW_UINT16 OnPendingXfers(pTW_IDENTITY, TW_UINT16 msg, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* pending = static_cast<pTW_PENDINGXFERS>(data);
    if (msg != MSG_GET && !theTransfer.mem.newImage)
        EndMemoryImage();  // a memory image given up in the middle still closes its page
    switch (msg) {
    case MSG_GET:
        break;
    case MSG_ENDXFER:
        // PageManager keeps its count, and with it state 6, between images.
        if (!(CurrentHostQuirks() & HOST_QUIRK_PAGEMANAGER_XFER))
            theApp.pendingCount = 0;
        theApp.twainState = theApp.pendingCount != 0 ? 6 : 5;
        break;
    case MSG_RESET:
        theApp.pendingCount = 0;
        theApp.twainState = 5;
        break;
    }
    pending->Count = static_cast<TW_UINT16>(theApp.pendingCount);
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_SETUPMEMXFER / MSG_GET: about 5 % of the image per strip.
TW_UINT16 OnSetupMemXfer(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    const ScanSettings& s = theApp.settings;
    const int32_t width = (s.right - s.left) * s.resolution / 100;
    const int32_t height = (s.bottom - s.top) * s.resolution / 100;
    const int64_t imageBytes = int64_t(height) * BytesPerLine(BitsPerPixelOfMode(s.mode), width);
    int64_t preferred = imageBytes * 5 / 100;
    if (preferred > 2000000)
        preferred = 2000000;
    if (preferred < 64000) {
        preferred = imageBytes / 10;
        if (preferred < 74000)
            preferred = 74000;
    }
    auto* setup = static_cast<pTW_SETUPMEMXFER>(data);
    setup->MinBufSize = 64000;
    setup->MaxBufSize = 2000000;
    setup->Preferred = static_cast<TW_UINT32>(preferred);
    return TWRC_SUCCESS;
}

// DG_CONTROL / DAT_SETUPFILEXFER: the file name of the file transfer; always BMP.
TW_UINT16 OnSetupFileXfer(pTW_IDENTITY, TW_UINT16 msg, TW_MEMREF data)
{
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* setup = static_cast<pTW_SETUPFILEXFER>(data);
    switch (msg) {
    case MSG_SET:
        if (setup->Format != TWFF_BMP) {
            theApp.SetCondition(TWCC_BADVALUE);
            return TWRC_FAILURE;
        }
        theTransfer.fileXferFormat = TWFF_BMP;
        // The host's name may lack its terminator: take at most 255 characters.
        memcpy(theTransfer.fileXferName, setup->FileName, sizeof(setup->FileName) - 1);
        theTransfer.fileXferName[sizeof(theTransfer.fileXferName) - 1] = 0;
        return TWRC_SUCCESS;
    case MSG_RESET:
        theTransfer.fileXferFormat = TWFF_BMP;
        strcpy(theTransfer.fileXferName, "TWAIN.BMP");
        [[fallthrough]];
    case MSG_GETDEFAULT:
        strcpy(setup->FileName, "TWAIN.BMP");
        break;
    default:  // MSG_GET
        strcpy(setup->FileName, theTransfer.fileXferName);
        break;
    }
    setup->Format = TWFF_BMP;
    setup->VRefNum = 0;
    return TWRC_SUCCESS;
}
