// The TWAIN road of the benchmark (Windows): a simulated scanner plugged in alone,
// calibrated with the white card, and cards scanned through kestrel.ds with twscan's
// acquisition code, the source loaded directly as a host loads it.
#pragma once

#include <stdint.h>
#include <string>

namespace fidelity {

struct Scanner {
    const char* driver; // the driver's name in the case list
    const char* module; // the simulated build the profile names
    int device;         // one attached at a time: wren would also take the CCD scanner's ids
    int kind;
    uint16_t productId;
};
extern const Scanner kPlover, kWren;

// Attaches `s` alone with `card` in its feeder; the profile names its driver.
void Plug(const Scanner& s, int card);
// Calibrates with the white card, as the settings window's button does.
bool Calibrate(const Scanner& s);
// The file in which plover keeps its colour pages' LED times.
std::string PloverBalanceFile();
// Scans the whole card in the feeder in `mode` (rgb, gray, bw) at `dpi` into the BMP
// `file`; the failure, or "" when the image was written.
std::string ScanCard(const std::string& mode, int dpi, const std::string& file);

} // namespace fidelity
