// The contract between the data source and a scanner driver module.
//
// A driver exports plain C functions named IO_*, caller-cleans (cdecl) on 32-bit
// Windows, so their export names are undecorated. The data source binds them by
// name; any of them may be missing. "short" arguments are signed 16-bit values.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#pragma pack(push, 2)

// Five tone words of one adjustment block.
typedef struct {
    int16_t brightness; // -100..100, 0 neutral
    int16_t contrast;   // -100..100, 0 neutral
    int16_t gamma;      // 1..99, 10 neutral
    int16_t highlight;  // 1..255, 255 neutral
    int16_t shadow;     // 0..254, 0 neutral
} ChannelAdjust;

enum { ADJUST_ALL = 0, ADJUST_RED = 1, ADJUST_GREEN = 2, ADJUST_BLUE = 3 };

// Image types (word 0).
enum { MODE_GRAY = 1, MODE_BW = 2, MODE_HALFTONE = 3, MODE_COLOR = 4 };

// The live scan settings: 43 signed 16-bit words, read by position by the drivers.
// Lengths are hundredths of an inch from the top-left corner of the scan bed.
typedef struct {
    int16_t mode;           // 0
    int16_t scanSize;       // 1  standard page size index, 0 = user area
    int16_t resolution;     // 2  dpi, both directions
    ChannelAdjust adjust[4];// 3..22  all, red, green, blue
    int16_t halftone;       // 23
    int16_t reserved;       // 24 always 0
    int16_t compress;       // 25
    int16_t trimEdge;       // 26
    int16_t deskew;         // 27
    int16_t scanPage;       // 28
    int16_t autoScan;       // 29
    int16_t paperSource;    // 30
    int16_t qualityScan;    // 31
    int16_t threshold;      // 32 black/white threshold 0..255
    int16_t filterType;     // 33
    int16_t inversion;      // 34
    int16_t colorMatch;     // 35
    int16_t channel;        // 36 adjustment channel in use (ADJUST_*)
    int16_t top;            // 37
    int16_t left;           // 38
    int16_t bottom;         // 39
    int16_t right;          // 40
    int16_t paperType;      // 41
    int16_t exposureTime;   // 42
} ScanSettings;

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(ScanSettings) == 86, "ScanSettings is 43 words");
static_assert(offsetof(ScanSettings, resolution) == 4, "word 2");
static_assert(offsetof(ScanSettings, adjust[1]) == 16, "word 8");
static_assert(offsetof(ScanSettings, adjust[3].shadow) == 44, "word 22");
static_assert(offsetof(ScanSettings, paperSource) == 60, "word 30");
static_assert(offsetof(ScanSettings, threshold) == 64, "word 32");
static_assert(offsetof(ScanSettings, channel) == 72, "word 36");
static_assert(offsetof(ScanSettings, top) == 74, "word 37");
static_assert(offsetof(ScanSettings, right) == 80, "word 40");
static_assert(offsetof(ScanSettings, exposureTime) == 84, "word 42");
#endif

// Result codes. A negative block or start result -k stands for the data source's scan
// error k; every other function answers non-zero for success or yes, 0 for failure or no.
#define IO_PAGE_ENDED          (-5) // IO_GetImageBlock: the page ended, no line delivered
#define IO_BLOCK_BAD_REQUEST   (-1) // IO_GetImageBlock: no buffer, no lines or no width asked
#define IO_NOT_ANSWERING       (-2) // IO_GetImageBlock: the scanner stopped answering, the page is lost
#define IO_NO_MEMORY           (-9) // IO_GetImageBlock, IO_StartScanPage: not enough memory
#define IO_START_READY         1    // IO_StartScan: the scanner is ready
#define IO_START_FAILED        0    // IO_StartScan: a calibration that was needed could not run
#define IO_START_BUSY          (-1) // IO_StartScan: another process holds the scanner
#define IO_START_NO_SCANNER    (-2) // IO_StartScan: no scanner connected

// Questions for IO_IsCapableOf.
#define IO_CAP_COLOR    1000
#define IO_CAP_FEEDOUT  1001

// Signatures of every bound entry point, each with what it returns.

// Non-zero when a supported scanner answers (module probing).
typedef int     (*IO_HasScannerFn)(void);
// Non-zero when a scanner is there; then the texts are filled (each buffer at least 12 bytes).
typedef int     (*IO_HardwareCheckFn)(char* model, char* interfaceType, char* attachment,
                                      char* versionMajor, char* versionMinor,
                                      short* value1, short* value2, short* value3);
// IO_START_READY, or IO_START_FAILED, IO_START_BUSY, IO_START_NO_SCANNER.
typedef int     (*IO_StartScanFn)(void);
typedef void    (*IO_EndScanFn)(void);
typedef void    (*IO_ResetHardwareFn)(void);
typedef void    (*IO_ProcessPaperJamFn)(void);
// Non-zero when colour can be scanned.
typedef int     (*IO_TrueColorFn)(void);
// 1 when the page started, with its size; 0 or -1 when it cannot; IO_NO_MEMORY.
typedef int     (*IO_StartScanPageFn)(ScanSettings* settings, int* width, int* height);
// Non-zero with the size a page of these settings would have; 0 when it cannot be scanned.
typedef int     (*IO_GetPageDimensionFn)(ScanSettings* settings, int* width, int* height);
// Always closes the page IO_StartScanPage opened; the result is ignored.
typedef int     (*IO_EndScanPageFn)(void);
// Non-zero (ignored by the data source).
typedef int     (*IO_ResolutionInfoFn)(short* maximum, short* minimum, short* step);
// As IO_CalibrateScanner.
typedef int     (*IO_DoCalibrationFn)(void);
// 1 when a calibration was measured and stored, 0 when not.
typedef int     (*IO_CalibrateScannerFn)(int paperSource);
typedef void    (*IO_FeedOnFn)(void);
// 0 when the sheet could not be fed out (a jam), else non-zero.
typedef int     (*IO_FeedPageFn)(void);
// 1 when the cleaning cycle ran, 0 when not (no paper).
typedef int     (*IO_CleanFn)(void);
// Non-zero while paper is in the feeder.
typedef int     (*IO_IsPaperOnFn)(void);
// Lines delivered (more than 0), IO_PAGE_ENDED, or a failure: IO_BLOCK_BAD_REQUEST,
// IO_NOT_ANSWERING, IO_NO_MEMORY.
typedef short   (*IO_GetImageBlockFn)(unsigned char* buffer, short linesWanted,
                                      ScanSettings* settings, int width, int pageHeight);
typedef void    (*IO_GetHalftonePatternFn)(void);
typedef int     (*IO_GetPatternDataFn)(void);
// Fills `table` from the five words of one adjustment block.
typedef void    (*IO_AdjustChannelValueFn)(unsigned char table[256], short brightness,
                                           short contrast, short gamma, short highlight,
                                           short shadow);
// Non-zero when the scanner should be calibrated before scanning.
typedef int     (*IO_IsCalibrationNeededFn)(void);
// Non-zero when capable of `capability` (IO_CAP_*).
typedef int     (*IO_IsCapableOfFn)(short capability);
// Non-zero when the attachment is there.
typedef int     (*IO_IsAttachedFn)(void);
typedef short   (*IO_GetPaperNamesFn)(void);
// Non-zero when `names` was filled (zero-separated names in 100 bytes).
typedef short   (*IO_GetFilterNamesFn)(char* names);
// The preview resolution in dpi.
typedef short   (*IO_GetPreviewResolutionFn)(short paperSource);
typedef void    (*IO_GetDriverNameFn)(void);

#ifdef __cplusplus
}
#endif

// A driver module's own definitions use this to export an entry point undecorated.
#ifdef __cplusplus
#define IO_EXPORT extern "C" __declspec(dllexport)
#else
#define IO_EXPORT __declspec(dllexport)
#endif
