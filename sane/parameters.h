// From option values to what the drivers are asked (a settings record) and to the
// image SANE announces (its parameters).
#pragma once

#include "io_driver.h"
#include "options.h"

#include <sane/sane.h>

namespace kestrel_sane {

struct PageRequest {
    ScanMode mode;
    int dpi;
    int left, top, right, bottom; // hundredths of an inch from the bed's top-left corner
    int brightness, contrast, threshold;
};

PageRequest RequestOf(const OptionSet& o);

// False when the area holds no whole pixel.
bool HasArea(const PageRequest& r);

// The settings record the drivers get (Lineart is scanned in gray).
ScanSettings SettingsOf(const PageRequest& r);

// The image of a request: the estimate before a page starts (driver size 0), the exact
// size once the driver gave its page size (its padding columns dropped).
SANE_Parameters ParametersOf(const PageRequest& r, int driverWidth, int driverHeight);

} // namespace kestrel_sane
