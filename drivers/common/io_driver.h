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

// Results of IO_GetImageBlock besides a positive line count.
#define IO_PAGE_ENDED (-5)

// Questions for IO_IsCapableOf.
#define IO_CAP_COLOR    1000
#define IO_CAP_FEEDOUT  1001

// Signatures of every bound entry point.
typedef int     (*IO_HasScannerFn)(void);
typedef int     (*IO_HardwareCheckFn)(char* model, char* interfaceType, char* attachment,
                                      char* versionMajor, char* versionMinor,
                                      short* value1, short* value2, short* value3);
typedef int     (*IO_StartScanFn)(void);
typedef void    (*IO_EndScanFn)(void);
typedef void    (*IO_ResetHardwareFn)(void);
typedef void    (*IO_ProcessPaperJamFn)(void);
typedef int     (*IO_TrueColorFn)(void);
typedef int     (*IO_StartScanPageFn)(ScanSettings* settings, int* width, int* height);
typedef int     (*IO_GetPageDimensionFn)(ScanSettings* settings, int* width, int* height);
typedef int     (*IO_EndScanPageFn)(void);
typedef int     (*IO_ResolutionInfoFn)(short* maximum, short* minimum, short* step);
typedef int     (*IO_DoCalibrationFn)(void);
typedef int     (*IO_CalibrateScannerFn)(int paperSource);
typedef void    (*IO_FeedOnFn)(void);
typedef int     (*IO_FeedPageFn)(void);
typedef int     (*IO_CleanFn)(void);
typedef int     (*IO_IsPaperOnFn)(void);
typedef short   (*IO_GetImageBlockFn)(unsigned char* buffer, short linesWanted,
                                      ScanSettings* settings, int width, int pageHeight);
typedef void    (*IO_GetHalftonePatternFn)(void);
typedef int     (*IO_GetPatternDataFn)(void);
typedef void    (*IO_AdjustChannelValueFn)(unsigned char table[256], short brightness,
                                           short contrast, short gamma, short highlight,
                                           short shadow);
typedef int     (*IO_IsCalibrationNeededFn)(void);
typedef int     (*IO_IsCapableOfFn)(short capability);
typedef int     (*IO_IsAttachedFn)(void);
typedef short   (*IO_GetPaperNamesFn)(void);
typedef short   (*IO_GetFilterNamesFn)(char* names);
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
