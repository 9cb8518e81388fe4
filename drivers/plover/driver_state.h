// Module state of the plover driver besides the transport: the settings copy, the
// page quantities, flags kept between calls, the tone table and the callback.
#pragma once

#include "io_driver.h"

#include <windows.h>
#include <stdint.h>

// Sensor geometry (600-dpi CCD), fixed.
enum : int {
    SENSOR_DPI = 600,
    SENSOR_PIXELS = 1344,     // pixels per sensor line (calibration width)
    FIRST_ACTIVE_PIXEL = 24,
    LINE_LENGTH = 1400,       // pixel periods per line
    BED_WIDTH = 220,          // 1/100 inch
    BED_HEIGHT = 360,
    STEPS_PER_HUNDREDTH = 6,  // 600 motor steps per inch
    PAPER_SENSOR_STEPS = 420  // paper sensor to scan line
};

// The block callback of IO_Scan: global memory handle, lines, last-block flag.
typedef void(__stdcall* BlockCallback)(HGLOBAL block, int lines, int last);

// One page as the chip will scan it.
struct PageGeometry {
    int mode = MODE_GRAY;  // effective mode: halftone (3) is scanned as black and white (2)
    int dpi = 0;           // g_ScanDpi
    int left = 0, top = 0, right = 0, bottom = 0; // area clamped to the bed
    int width = 0;         // pixels per line delivered (padded)
    int height = 0;        // lines
    int wideCcd = 0;       // SCAN_WIDE_CCD: the window in sensor pixels
    int windowStart = 0;   // first sensor pixel of the window, from the first active pixel
    int colorFactor = 1;
};

extern ScanSettings g_Settings;   // copy of the caller's record
extern PageGeometry g_Page;
extern int g_ScanDpi;
extern int SCAN_WIDE_CCD;
extern int g_PaperPolarity, g_ButtonPolarity;
extern bool g_FirstFeed;
extern bool g_Preview;
extern bool g_CardScanRunning;
extern int g_CardScanLines;
extern BlockCallback g_BlockCallback;
extern uint8_t g_Tone[256];
extern uint8_t g_LineOffset[3], g_LineGain[3];

// Horizontal divider code of a resolution; -1 when the chip cannot make it.
int DividerCode(int dpi);
// Page geometry of a settings record; false when the record asks for something the
// chip cannot scan (a resolution without a divider code, an empty area).
bool ComputePage(const ScanSettings& settings, bool preview, PageGeometry* page);
int BytesPerLine(int mode, int width);

void Init9831();
void ProgramPageRegisters(const PageGeometry& page);
void FillGammaTbl(int mode);
void DownloadIdentityGamma();
void FillCalibData();
bool PaperPresent(bool* present);

// Module life, bracketed by the static object of the DLL.
void PloverModuleLoad();
void PloverModuleUnload();
