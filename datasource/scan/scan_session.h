// One page scanned through the bound driver into a BMP file, with a progress window.
#pragma once

#include <windows.h>

#include <stddef.h>

#include "io_driver.h"
#include "scan/driver_functions.h"

// Pages with fewer lines than this count as not fed properly.
enum { SCAN_MINIMUM_LINES = 20 };

// Everything fixed when a page starts.
struct ScanGeometry {
    int width = 0;              // pixels per line
    int height = 0;             // lines of the page
    int bitsPerPixel = 0;
    int paletteEntries = 0;
    int bytesPerLine = 0;
    size_t bufferSize = 0;      // block buffer bytes
    int linesPerBlock = 0;      // lines asked for per IO_GetImageBlock call
};

// Works the page parameters out from the size the driver reported (either value
// 0: both from the record's area) and the mode. False for an unknown mode, a
// size that is not positive, or a page too large for a BMP file.
bool ComputeScanGeometry(const ScanSettings& settings, int reportedWidth, int reportedHeight,
                         bool showIndicators, ScanGeometry* geometry);

// Scans one page into a new BMP file at `path`. `owner` (may be NULL) is disabled
// while the progress window exists. Returns a scan result code (scan_errors.h):
// SCAN_SUCCESS or a failure, in which case the file has been deleted.
int ScanToBmpFile(DriverBinding& driver, HWND owner, const char* path, ScanSettings* settings,
                  bool showIndicators);
