// The options of one handle: the table of standard options (options.cpp, as data),
// their constraints for the handle's driver, their values, and the rules for getting
// and setting them. The calibrate button's action is the caller's.
#pragma once

#include "driver_core.h"

#include <sane/sane.h>

#include <vector>

namespace kestrel_sane {

enum OptionIndex : int {
    OPT_NUM_OPTS = 0,
    OPT_STANDARD_GROUP, OPT_MODE, OPT_SOURCE, OPT_RESOLUTION, OPT_PREVIEW,
    OPT_GEOMETRY_GROUP, OPT_TL_X, OPT_TL_Y, OPT_BR_X, OPT_BR_Y,
    OPT_ENHANCEMENT_GROUP, OPT_BRIGHTNESS, OPT_CONTRAST, OPT_THRESHOLD,
    OPT_ADVANCED_GROUP, OPT_CALIBRATE,
    OPTION_COUNT
};

enum class ScanMode { Color, Gray, Lineart };

struct OptionSet {
    SANE_Option_Descriptor descriptors[OPTION_COUNT];
    SANE_Word words[OPTION_COUNT];           // the value of every word-sized option
    int mode = 0;                            // index into modes
    std::vector<ScanMode> modes;             // what the driver scans
    std::vector<SANE_String_Const> modeNames; // their names, null-terminated
    std::vector<SANE_Word> resolutions;      // SANE word list: count, then dpi ascending
    SANE_Range xRange, yRange;               // the bed, in millimetres
};

// Descriptors and defaults for a driver that scans `resolutions` (not empty).
void InitOptions(OptionSet* o, const DriverFacts& facts, const std::vector<int>& resolutions);

ScanMode CurrentMode(const OptionSet& o);

// SANE_ACTION_GET_VALUE of an active option with a value.
SANE_Status GetOption(const OptionSet& o, int index, void* value);
// SANE_ACTION_SET_VALUE: the value as the constraint allows it (clamped or nearest, with
// SANE_INFO_INEXACT), and in *info what the change makes the frontend reload. A
// button is only checked here.
SANE_Status SetOption(OptionSet* o, int index, void* value, SANE_Int* info);

} // namespace kestrel_sane
