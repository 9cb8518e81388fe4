// One open handle: everything it keeps, in one place.
#pragma once

#include "driver_core.h"
#include "handle_platform.h"
#include "options.h"
#include "page_reader.h"
#include "parameters.h"

#include <sane/sane.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace kestrel_sane {

// The page between sane_start and its end.
struct ScanJob {
    bool pageOpen = false;
    SANE_Status after = SANE_STATUS_INVAL; // sane_read's answer while no page is open
    PageRequest request = {};
    SANE_Parameters parameters = {};       // exact while the page is open
    LineLayout layout = {};
    int driverWidth = 0, driverHeight = 0;
    int linesPerBlock = 0;
    int linesDone = 0;                     // SANE lines made so far
    bool driverEnded = false;              // the driver ended the page early: white from here
    std::vector<uint8_t> block;            // one driver block
    std::vector<uint8_t> ready;            // SANE lines not yet handed out
    size_t readyAt = 0, readyEnd = 0;
};

// Members go in reverse order: the core before the platform it runs on.
struct Scanner {
    std::string name;                // the SANE device name, without "kestrel:"
    HandlePlatform platform;
    std::unique_ptr<DriverCore> core;
    OptionSet options;
    ScanJob job;
    // sane_cancel may come from a signal handler or another thread while a call runs:
    // it then only asks, and the running call stops the page.
    std::atomic<bool> inCall{false};
    std::atomic<bool> cancelAsked{false};
};

} // namespace kestrel_sane
