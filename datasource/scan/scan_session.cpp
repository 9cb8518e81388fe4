#include "scan/scan_session.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <memory>
#include <new>

#include "scan/misc.h"
#include "scan/scan_errors.h"
#include "scan/scan_log.h"
#include "ui/progress_dialog.h"
#include "ui/resource.h"

namespace {

const uint64_t kSmallestBlock = 60000;
const uint64_t kLargestBlock = 2000000;
const int kBlocksPerPage = 30;
const int kMostLinesPerCall = 32767;   // IO_GetImageBlock takes a 16-bit count

bool WriteAt(HANDLE file, uint64_t position, const unsigned char* data, uint64_t size)
{
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(position);
    if (!SetFilePointerEx(file, to, nullptr, FILE_BEGIN))
        return false;
    while (size > 0) {
        DWORD piece = static_cast<DWORD>(std::min<uint64_t>(size, 0x40000000));
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr) || written != piece)
            return false;
        data += piece;
        size -= piece;
    }
    return true;
}

} // namespace

bool ComputeScanGeometry(const ScanSettings& settings, int reportedWidth, int reportedHeight,
                         bool showIndicators, ScanGeometry* geometry)
{
    ScanGeometry g;
    g.width = reportedWidth;
    g.height = reportedHeight;
    if (g.width == 0 || g.height == 0) {
        g.width = (settings.right - settings.left) * settings.resolution / 100;
        g.height = (settings.bottom - settings.top) * settings.resolution / 100;
    }
    switch (settings.mode) {
    case MODE_GRAY:     g.bitsPerPixel = 8;  g.paletteEntries = 256; break;
    case MODE_COLOR:    g.bitsPerPixel = 24; g.paletteEntries = 0;   break;
    case MODE_BW:
    case MODE_HALFTONE: g.bitsPerPixel = 1;  g.paletteEntries = 2;   break;
    default:            return false;
    }
    if (g.width < 1 || g.height < 1)
        return false;
    g.bytesPerLine = BytesPerLine(g.bitsPerPixel, g.width);
    const uint64_t page = static_cast<uint64_t>(g.bytesPerLine) * g.height;
    const uint64_t headers = 14 + 40 + 4 * g.paletteEntries;
    if (g.bytesPerLine < 1 || headers + page > 0x7FFFFFFF)
        return false;

    uint64_t size = page;
    if (showIndicators)
        size = std::min(kLargestBlock, std::max(kSmallestBlock, page / kBlocksPerPage));
    // At least one whole line, however wide the page.
    size = std::max<uint64_t>(size, g.bytesPerLine);
    g.bufferSize = static_cast<size_t>(size);

    int lines = static_cast<int>(std::min<uint64_t>(size / g.bytesPerLine, kMostLinesPerCall));
    if (g.height % lines == 0)
        --lines;
    g.linesPerBlock = std::max(1, lines);
    *geometry = g;
    return true;
}

int ScanToBmpFile(DriverBinding& driver, HWND owner, const char* path, ScanSettings* settings,
                  bool showIndicators)
{
    if (!path || !path[0] || !settings)
        return SCAN_GENERAL_FAILURE;

    int width = 0, height = 0;
    const int started = driver.StartScanPage(settings, &width, &height);
    if (started <= 0) {
        driver.EndScanPage();
        return started == -9 ? SCAN_OUT_OF_MEMORY : SCAN_START_FAILED;
    }

    ScanGeometry g;
    if (!ComputeScanGeometry(*settings, width, height, showIndicators, &g)) {
        char text[128];
        snprintf(text, sizeof(text), "scan page refused: mode %d, %d x %d pixels",
                 settings->mode, width, height);
        WriteLog(text);
        driver.EndScanPage();
        return SCAN_GENERAL_FAILURE;
    }

    const int created = WriteNullBMP(path, g.bitsPerPixel, settings->resolution, g.width,
                                     g.height);
    if (created <= 0) {
        driver.EndScanPage();
        return created < 0 ? SCAN_OUT_OF_MEMORY : SCAN_DISK_ERROR;
    }
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileA(path);
        driver.EndScanPage();
        return SCAN_DISK_ERROR;
    }
    // Every block is placed relative to the end of the file WriteNullBMP made.
    const uint64_t fileEnd = 14 + 40 + 4 * static_cast<uint64_t>(g.paletteEntries) +
                             static_cast<uint64_t>(g.bytesPerLine) * g.height;
    LARGE_INTEGER fileSize = {};
    if (!GetFileSizeEx(file, &fileSize) || static_cast<uint64_t>(fileSize.QuadPart) != fileEnd) {
        CloseHandle(file);
        DeleteFileA(path);
        driver.EndScanPage();
        return SCAN_DISK_ERROR;
    }

    char text[96];
    snprintf(text, sizeof(text), "scan buffer size %lu bytes",
             static_cast<unsigned long>(g.bufferSize));
    WriteLog(text);
    unsigned char* buffer = static_cast<unsigned char*>(calloc(1, g.bufferSize));
    if (!buffer) {
        CloseHandle(file);
        DeleteFileA(path);
        driver.EndScanPage();
        return SCAN_OUT_OF_MEMORY;
    }

    int result = SCAN_SUCCESS;
    int done = 0;
    {
        // The owner stays disabled for exactly the lifetime of the progress window;
        // one that was disabled already (under a modal window) is left so.
        const bool ownerWasEnabled = owner && !EnableWindow(owner, FALSE);
        std::unique_ptr<ScanProgressDialog> progressWindow(new (std::nothrow) ScanProgressDialog(
            owner, IDD_SCAN_PROGRESS, settings->mode, showIndicators, g.width, g.height,
            g.linesPerBlock));
        if (!progressWindow)
            result = SCAN_OUT_OF_MEMORY;
        const uint64_t line = g.bytesPerLine;
        while (result == SCAN_SUCCESS && done < g.height) {
            ScanProgressDialog& progress = *progressWindow;
            const int wanted = std::min(g.linesPerBlock, g.height - done);
            const short got = driver.GetImageBlock(buffer, static_cast<short>(wanted), settings,
                                                   g.width, g.height);
            if (got == IO_PAGE_ENDED) {
                progress.update(100, 0, buffer);
                break;
            }
            // A count beyond what was asked is as unknown as any other stray value.
            if (got <= 0 || got > wanted) {
                result = SetErroecode(got);
                break;
            }
            // Blocks fill the file from its end towards the headers.
            if (!WriteAt(file, fileEnd - (static_cast<uint64_t>(done) + got) * line, buffer,
                         got * line)) {
                result = SCAN_DISK_ERROR;
                break;
            }
            done += got;
            if (got < wanted) {
                progress.update(100, got, buffer);
                break;
            }
            const int percent = static_cast<int>(static_cast<int64_t>(done) * 100 / g.height);
            if (!progress.update(percent, got, buffer)) {
                result = SCAN_CANCELLED;
                break;
            }
        }
        CloseHandle(file);
        if (result == SCAN_SUCCESS && done < SCAN_MINIMUM_LINES)
            result = SCAN_PAPER_NOT_FED;
        if (!driver.FeedPage() && result == SCAN_SUCCESS)
            result = SCAN_PAPER_JAM;
        if (result == SCAN_SUCCESS && done < g.height &&
            !TruncateBmp(path, done, buffer, g.bufferSize))
            result = SCAN_DISK_ERROR;
        free(buffer);
        // Enabled before the progress window goes, so activation returns to the owner.
        if (ownerWasEnabled)
            EnableWindow(owner, TRUE);
        progressWindow.reset();
    }

    if (result < SCAN_SUCCESS)
        DeleteFileA(path);
    driver.EndScanPage();
    return result;
}
