// plover's driver functions on the module's state: what each IO_ export does. The
// Windows export layer calls them with its one instance; results as in io_driver.h.
#pragma once

#include "plover_state.h"

#include <stddef.h>

namespace plover {

int HasScanner(PloverState& s);
int HardwareCheck(PloverState& s, char* model, char* interfaceType, char* attachment, char* versionMajor,
                  char* versionMinor, short* value1, short* value2, short* value3);
int StartScan(PloverState& s);
void EndScan(PloverState& s);
int IsPaperOn(PloverState& s);
int IsButtonOn(PloverState& s);
int ResolutionInfo(PloverState& s, short* maximum, short* minimum, short* step);
int Clean(PloverState& s);
int FeedOn(PloverState& s);
int IsCapableOf(short capability);
short GetFilterNames(char* names);
short GetPreviewResolution(PloverState& s);
int GetVidPid(PloverState& s, uint32_t* vendorId, uint32_t* productId);
void AbortScan(PloverState& s);
void AdjustChannelValue(PloverState& s, unsigned char table[256], short brightness, short contrast, short gamma,
                        short highlight, short shadow);

// Pages (page_scan.cpp).
int GetPageDimension(PloverState& s, const ScanSettings* settings, int* width, int* height);
int StartScanPage(PloverState& s, const ScanSettings* settings, int* width, int* height);
short GetImageBlock(PloverState& s, unsigned char* buffer, short linesWanted, int width);
int EndScanPage(PloverState& s);
int FeedPage(PloverState& s);

// Calibration (calibration.cpp).
int IsCalibrationNeeded(PloverState& s);
int CalibrateScanner(PloverState& s);

// Where IO_Scan's blocks go: each whole block buffer with the lines it holds and
// whether it is the last. False when it could not be handed on: the scan ends.
struct CardBlockSink {
    void* context;
    bool (*deliver)(void* context, const uint8_t* block, size_t bytes, int lines, int last);
};

// IO_Scan (card_scan.cpp): a whole card without the page functions.
int CardScan(PloverState& s, short mode, short resolution, short totalLines, short linesPerBlock,
             const CardBlockSink& sink);

} // namespace plover
