// The paper path in motor steps (600 per inch). Positions are those of the sheet's
// leading edge relative to the scan line: negative = not yet at the scan line.
#pragma once

#include <stdint.h>

namespace scansim {

enum class Run { None, Forward, Backward };

struct PaperGeometry {
    static constexpr double SENSOR_POSITION = -420.0; // paper sensor, 0.7 inch before the scan line
    static constexpr double INSERT_POSITION = -400.0; // a sheet pushed into the feeder
    static constexpr double READY_POSITION = 0.0;     // a drawn-in sheet waits at the scan line
    static constexpr double EXIT_DISTANCE = 40.0;     // trailing edge this far past the scan line: out
    static constexpr double FEED_RATE = 4.0;          // steps per millisecond of a free run
    static constexpr uint32_t HOLD_MS = 1500;         // the first free run holds the sheet at ready
};

class PaperPath {
public:
    void insert(double lengthSteps);
    void remove() { present_ = false; }
    bool present() const { return present_; }
    double lead() const { return lead_; }
    double motorSteps() const { return motorSteps_; }
    uint32_t ejected() const { return ejected_; }
    Run run() const { return run_; }

    // Free runs (forward / backward until stopped) advance with the clock.
    void startRun(Run run, uint64_t nowMs);
    void stopRun(uint64_t nowMs);
    void update(uint64_t nowMs);
    // The motor makes exactly `steps` steps forward; the sheet follows unless jammed.
    void step(double steps);

    // The sheet stops moving once its leading edge reaches this position.
    void jamAfter(double steps) { jamLimit_ = lead_ + steps; jammed_ = true; }
    void clearJam() { jammed_ = false; }

    bool coversSensor() const;
    // Sheet row (600-dpi rows from the leading edge) under the scan line; may be outside.
    double rowAtScanLine() const { return lead_; }

private:
    void moveSheet(double steps);

    bool present_ = false;
    double lead_ = 0;
    double length_ = 0;
    double motorSteps_ = 0;
    uint32_t ejected_ = 0;
    Run run_ = Run::None;
    uint64_t runStart_ = 0;
    uint64_t lastUpdate_ = 0;
    bool holding_ = false;
    bool jammed_ = false;
    double jamLimit_ = 0;
};

} // namespace scansim
