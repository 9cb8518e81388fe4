#include "paper_path.h"

#include <algorithm>

namespace scansim {

void PaperPath::insert(double lengthSteps)
{
    present_ = true;
    length_ = lengthSteps;
    lead_ = PaperGeometry::INSERT_POSITION;
    jammed_ = false;
}

void PaperPath::startRun(Run run, uint64_t nowMs)
{
    update(nowMs);
    run_ = run;
    runStart_ = lastUpdate_ = nowMs;
    // A sheet not yet at the scan line is drawn in and held there by the first run.
    holding_ = run == Run::Forward && present_ && lead_ <= PaperGeometry::READY_POSITION;
}

void PaperPath::stopRun(uint64_t nowMs)
{
    update(nowMs);
    run_ = Run::None;
    holding_ = false;
}

void PaperPath::update(uint64_t nowMs)
{
    if (run_ == Run::None || nowMs <= lastUpdate_)
        return;
    uint64_t from = lastUpdate_;
    lastUpdate_ = nowMs;
    double amount = double(nowMs - from) * PaperGeometry::FEED_RATE;
    motorSteps_ += amount;
    if (!present_)
        return;
    if (run_ == Run::Backward) {
        lead_ = std::max(PaperGeometry::INSERT_POSITION, lead_ - amount);
        return;
    }
    if (holding_) {
        uint64_t holdEnd = runStart_ + PaperGeometry::HOLD_MS;
        double inHold = double(std::min(nowMs, holdEnd) - std::min(from, holdEnd)) * PaperGeometry::FEED_RATE;
        double target = std::min(PaperGeometry::READY_POSITION, lead_ + inHold);
        moveSheet(target - lead_);
        if (nowMs < holdEnd)
            return;
        holding_ = false;
        amount = double(nowMs - std::max(from, holdEnd)) * PaperGeometry::FEED_RATE;
    }
    moveSheet(amount);
}

void PaperPath::step(double steps)
{
    motorSteps_ += steps;
    if (present_)
        moveSheet(steps);
}

void PaperPath::moveSheet(double steps)
{
    double target = lead_ + steps;
    if (jammed_ && target > jamLimit_)
        target = std::max(lead_, jamLimit_);
    lead_ = target;
    if (lead_ - length_ > PaperGeometry::EXIT_DISTANCE) {
        present_ = false;
        ++ejected_;
    }
}

bool PaperPath::coversSensor() const
{
    return present_ && lead_ >= PaperGeometry::SENSOR_POSITION &&
           lead_ - length_ < PaperGeometry::SENSOR_POSITION;
}

} // namespace scansim
