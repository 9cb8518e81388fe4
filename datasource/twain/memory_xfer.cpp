// DG_IMAGE / DAT_IMAGEMEMXFER: one strip of rows per call, straight from the
// driver into the host's buffer, turned top-down and red-green-blue.
#include <string.h>

#include "scan/misc.h"
#include "twain/handlers.h"
#include "twain/host_notify.h"
#include "twain/host_rules.h"
#include "twain/source_app.h"
#include "twain/transfer_state.h"
#include "ui/message_box.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"
#include "ui/text_table.h"

namespace {

const int kInsertItemText = 2;   // "Please insert the item to be scanned ..."

// The host's buffer for this call, locked when the host passed a handle.
class HostBuffer {
public:
    explicit HostBuffer(const TW_MEMORY& memory) : length_(memory.Length)
    {
        if (memory.Flags & TWMF_HANDLE) {
            handle_ = static_cast<HGLOBAL>(memory.TheMem);
            bytes_ = handle_ ? static_cast<uint8_t*>(GlobalLock(handle_)) : nullptr;
            if (bytes_ && GlobalSize(handle_) < length_)
                length_ = static_cast<uint32_t>(GlobalSize(handle_));
        } else {
            bytes_ = static_cast<uint8_t*>(memory.TheMem);
        }
        if (!bytes_)
            length_ = 0;
    }
    ~HostBuffer()
    {
        if (handle_ && bytes_)
            GlobalUnlock(handle_);
    }
    uint8_t* Bytes() const { return bytes_; }
    uint32_t Length() const { return length_; }

private:
    HGLOBAL handle_ = nullptr;
    uint8_t* bytes_ = nullptr;
    uint32_t length_;
};

void StartMemoryImage(uint32_t bufferLength)
{
    MemXferState& m = theTransfer.mem;
    ScanSettings& s = theApp.settings;
    int width = 0, height = 0;
    m.startResult = theApp.driver.StartScanPage(&s, &width, &height);
    m.pageOpen = true;
    if (width == 0 || height == 0) {
        width = (s.right - s.left) * s.resolution / 100;
        height = (s.bottom - s.top) * s.resolution / 100;
    }
    m.pageWidth = width;
    m.pageHeight = height;
    m.bytesPerRow = BytesPerLine(BitsPerPixelOfMode(s.mode), width);
    m.rowsPerStrip = m.bytesPerRow ? bufferLength / m.bytesPerRow : 0;
    // The last strip of an image is always shorter than a full one.
    if (m.rowsPerStrip && m.pageHeight % m.rowsPerStrip == 0)
        m.rowsPerStrip -= 1;
    EnableWindow(theApp.parentWindow, FALSE);
    m.progressWindow = new ScanProgressDialog(nullptr, IDD_SCAN_PROGRESS, s.mode,
                                              theApp.showIndicators != 0, m.pageWidth,
                                              m.pageHeight, static_cast<int>(m.rowsPerStrip));
    m.newImage = false;
}

void CalibrateIfNeeded()
{
    if (!theApp.driver.IsCalibrationNeeded())
        return;
    theApp.driver.CalibrateScanner(theApp.settings.paperSource);
    ShowMessageBox(nullptr, GetText(kInsertItemText), "", MB_OK);
}

// Rows of one call: those the driver delivered, and those the strip counts
// (more when the Photo Editor padding applies).
struct StripRows {
    int read = 0;     // 0 or less: the failure value
    int counted = 0;
};

// Asks the driver for the rows of this call.
StripRows ReadStrip(uint8_t* buffer, uint32_t rowsWanted, bool padToFullStrip)
{
    MemXferState& m = theTransfer.mem;
    StripRows rows;
    if (m.startResult <= 0) {
        rows.read = m.startResult;
        return rows;
    }
    if (!m.pageOpen) {
        rows.read = -5;
        return rows;
    }
    const short read = theApp.driver.GetImageBlock(buffer, static_cast<short>(rowsWanted),
                                                   &theApp.settings, m.pageWidth, m.pageHeight);
    if (read == -5) {
        memset(buffer, 0, m.bytesPerRow);  // the page ended early: one blank row
        rows.read = 1;
    } else if (read > 0 && static_cast<uint32_t>(read) > rowsWanted) {
        rows.read = 0;  // more rows than asked for is no strip either
        return rows;
    } else {
        rows.read = read;
        if (read <= 0)
            return rows;
    }
    rows.counted = rows.read;
    if (padToFullStrip) {
        memset(buffer + size_t(rows.read) * m.bytesPerRow, 0,
               size_t(m.rowsPerStrip - rows.read) * m.bytesPerRow);
        rows.counted = static_cast<int>(rowsWanted);
    }
    return rows;
}

}  // namespace

bool EndMemoryImage()
{
    MemXferState& m = theTransfer.mem;
    const bool pageWasOpen = m.pageOpen;
    m.rowsDone = 0;
    m.newImage = true;
    m.pageOpen = false;
    bool fedOut = true;
    if (pageWasOpen) {
        fedOut = theApp.driver.FeedPage() != 0;
        theApp.driver.EndScanPage();
    }
    EnableWindow(theApp.parentWindow, TRUE);
    delete m.progressWindow;
    m.progressWindow = nullptr;
    return fedOut;
}

// DG_IMAGE / DAT_IMAGEMEMXFER / MSG_GET
TW_UINT16 OnImageMemXfer(pTW_IDENTITY, TW_UINT16, TW_MEMREF data)
{
    MemXferState& m = theTransfer.mem;
    if (!data) {
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }
    auto* xfer = static_cast<pTW_IMAGEMEMXFER>(data);

    // PageManager: every second image's first request is refused.
    if (m.newImage && (CurrentHostQuirks() & HOST_QUIRK_PAGEMANAGER_XFER)) {
        if (!m.skipToggle) {
            m.skipToggle = true;
            theApp.pendingCount = 0;
            PostNudge(theApp.parentWindow);
            return TWRC_CANCEL;
        }
        m.skipToggle = false;
    }

    HostBuffer host(xfer->Memory);
    const bool photoEditor = (CurrentHostQuirks() & HOST_QUIRK_PAD_STRIPS) != 0;
    CalibrateIfNeeded();

    if (m.newImage)
        StartMemoryImage(host.Length());
    if (m.rowsPerStrip == 0 || !host.Bytes()) {
        // A buffer that cannot hold a strip: the image is given up, the sheet fed out.
        EndMemoryImage();
        theApp.SetCondition(TWCC_BADVALUE);
        return TWRC_FAILURE;
    }

    uint32_t rowsWanted = static_cast<uint32_t>(m.pageHeight) - m.rowsDone;
    if (rowsWanted > m.rowsPerStrip)
        rowsWanted = m.rowsPerStrip;
    const StripRows rows = ReadStrip(host.Bytes(), rowsWanted, photoEditor);
    const int stripRows = rows.counted;
    if (rows.read <= 0) {
        EndMemoryImage();
        theApp.SetCondition(TWCC_OPERATIONERROR);
        return TWRC_FAILURE;
    }

    m.rowsDone += stripRows;
    const bool keepGoing = m.progressWindow->update(
        m.pageHeight ? static_cast<int>(int64_t(m.rowsDone) * 100 / m.pageHeight) : 100,
        rows.read, host.Bytes());

    xfer->Compression = TWCP_NONE;
    xfer->BytesPerRow = m.bytesPerRow;
    xfer->Columns = static_cast<TW_UINT32>(m.pageWidth);
    xfer->Rows = static_cast<TW_UINT32>(stripRows);
    xfer->XOffset = 0;
    xfer->YOffset = m.rowsDone - stripRows;
    xfer->BytesWritten = m.bytesPerRow * stripRows;

    // Only the rows read are turned; padding rows stay below them.
    ReverseLines(host.Bytes(), rows.read, m.bytesPerRow);
    if (theApp.settings.mode == MODE_COLOR)
        SwapRedBlue(host.Bytes(), rows.read, m.bytesPerRow);

    if (!keepGoing) {
        EndMemoryImage();
        theApp.pendingCount = 0;
        PostNudge(theApp.parentWindow);
        return TWRC_CANCEL;
    }
    if (static_cast<uint32_t>(stripRows) < rowsWanted ||
        m.rowsDone >= static_cast<uint32_t>(m.pageHeight)) {
        // A sheet that jammed on its way out was not where the lines were read:
        // the image fails here as it does in a file or native transfer.
        if (!EndMemoryImage()) {
            theApp.SetCondition(TWCC_OPERATIONERROR);
            return TWRC_FAILURE;
        }
        PostNudge(theApp.parentWindow);
        return TWRC_XFERDONE;
    }
    return TWRC_SUCCESS;
}
