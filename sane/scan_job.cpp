#include "scan_job.h"

#include "debug.h"
#include "status.h"

#include <string.h>
#include <algorithm>
#include <new>

namespace kestrel_sane {

namespace {

const size_t kBlockBytes = 32 * 1024; // small enough that the first lines come early
const int kMostLinesPerBlock = 32767; // IO_GetImageBlock counts lines in 16 bits

// Lines per driver block; as the Windows data source sizes them, the page's last block
// is always shorter than a full one.
int LinesPerBlock(int stride, int height)
{
    int lines = int(std::min<size_t>(std::max<size_t>(kBlockBytes / size_t(stride), 1), kMostLinesPerBlock));
    lines = std::min(lines, height);
    if (lines > 1 && height % lines == 0)
        --lines;
    return lines;
}

// Ends the page and lets go of the device; a device that failed is let go entirely.
SANE_Status EndPageWith(Scanner& s, Outcome outcome)
{
    ScanJob& job = s.job;
    if (job.pageOpen)
        s.core->closePage();
    s.core->end();
    if (outcome == Outcome::NotAnswering || outcome == Outcome::NoScanner)
        s.core->release();
    job.pageOpen = false;
    job.after = StatusOf(outcome);
    DBG(outcome == Outcome::Cancelled ? 3 : 1, "%s: %s", s.name.c_str(), TextOf(outcome));
    return job.after;
}

// The next driver block into `ready`, as SANE lines.
SANE_Status FetchBlock(Scanner& s, bool first)
{
    ScanJob& job = s.job;
    const int want = std::min(job.linesPerBlock, job.driverHeight - job.linesDone);
    short got = IO_PAGE_ENDED;
    if (!job.driverEnded)
        got = s.core->readBlock(job.block.data(), short(want), job.driverWidth, job.driverHeight);
    if (got > 0 && got <= want) {
        ConvertBlock(job.layout, job.block.data(), got, job.ready.data());
    } else if (got == IO_PAGE_ENDED && !first) {
        // The sheet ended before the area did: the frame keeps the lines it announced.
        if (!job.driverEnded)
            DBG(3, "%s: the page ended after %d of %d lines; the rest is white", s.name.c_str(), job.linesDone,
                job.driverHeight);
        job.driverEnded = true;
        got = short(want);
        for (int k = 0; k < got; ++k)
            WhiteLine(job.layout, &job.ready[size_t(k) * size_t(job.layout.bytesPerLine)]);
    } else {
        DBG(5, "%s: block answer %d for %d lines", s.name.c_str(), int(got), want);
        return EndPageWith(s, got > want ? Outcome::NotAnswering : OutcomeOfBlock(got, first));
    }
    job.linesDone += got;
    job.readyAt = 0;
    job.readyEnd = size_t(got) * size_t(job.layout.bytesPerLine);
    DBG(5, "%s: %d lines, %d of %d", s.name.c_str(), int(got), job.linesDone, job.driverHeight);
    return SANE_STATUS_GOOD;
}

SANE_Status RefuseUncalibrated(Scanner& s)
{
    s.core->end();
    DBG(0, "the scanner kestrel:%s needs calibrating: put its white calibration card in the feeder and run "
           "\"scanimage -d kestrel:%s --calibrate -n\"",
        s.name.c_str(), s.name.c_str());
    s.job.after = StatusOf(Outcome::NeedsCalibration);
    return s.job.after;
}

} // namespace

SANE_Status StartPage(Scanner& s)
{
    ScanJob& job = s.job;
    if (job.pageOpen)
        return SANE_STATUS_DEVICE_BUSY;
    s.cancelAsked = false;
    job.request = RequestOf(s.options);
    if (!HasArea(job.request)) {
        DBG(1, "%s: the scan area holds no pixel", s.name.c_str());
        return job.after = SANE_STATUS_INVAL;
    }
    const BeginResult begun = s.core->begin();
    if (begun != BeginResult::Ready)
        return EndPageWith(s, OutcomeOfBegin(begun));
    if (s.core->calibrationNeeded())
        return RefuseUncalibrated(s);
    if (!s.core->paperOn())
        return EndPageWith(s, Outcome::NoPaper);

    const ScanSettings settings = SettingsOf(job.request);
    int width = 0, height = 0;
    const int started = s.core->startPage(settings, &width, &height);
    job.pageOpen = true; // a refused start is closed as the data source closes it
    if (started != 1 || width <= 0 || height <= 0)
        return EndPageWith(s, OutcomeOfStartPage(started, s.core->paperOn()));

    job.driverWidth = width;
    job.driverHeight = height;
    job.parameters = ParametersOf(job.request, width, height);
    const PageRequest& r = job.request;
    job.layout = MakeLayout(r.mode, width, job.parameters.pixels_per_line, r.brightness, r.contrast, r.threshold,
                            s.core->facts().firstColumnNotImage);
    job.linesPerBlock = LinesPerBlock(job.layout.stride, height);
    job.linesDone = 0;
    job.driverEnded = false;
    try {
        job.block.assign(size_t(job.linesPerBlock) * size_t(job.layout.stride), 0);
        job.ready.assign(size_t(job.linesPerBlock) * size_t(job.layout.bytesPerLine), 0);
    } catch (const std::bad_alloc&) {
        return EndPageWith(s, Outcome::NoMemory);
    }
    DBG(3, "%s: page of %d x %d pixels at %d dpi, %d lines per block", s.name.c_str(), job.parameters.pixels_per_line,
        height, r.dpi, job.linesPerBlock);
    const SANE_Status first = FetchBlock(s, true);
    if (first != SANE_STATUS_GOOD)
        return first;
    if (s.cancelAsked)
        return EndPageWith(s, Outcome::Cancelled);
    job.after = SANE_STATUS_GOOD;
    return SANE_STATUS_GOOD;
}

SANE_Status ReadPage(Scanner& s, SANE_Byte* data, SANE_Int most, SANE_Int* length)
{
    ScanJob& job = s.job;
    if (length)
        *length = 0;
    if (!data || !length || most < 0)
        return SANE_STATUS_INVAL;
    if (!job.pageOpen)
        return job.after;
    if (s.cancelAsked)
        return EndPageWith(s, Outcome::Cancelled);
    if (job.readyAt == job.readyEnd) {
        if (job.linesDone >= job.driverHeight) {
            const bool fedOut = s.core->closePage();
            job.pageOpen = false;
            if (!fedOut)
                return EndPageWith(s, Outcome::Jammed);
            s.core->end();
            DBG(3, "%s: page done", s.name.c_str());
            return job.after = SANE_STATUS_EOF;
        }
        const SANE_Status fetched = FetchBlock(s, false);
        if (fetched != SANE_STATUS_GOOD)
            return fetched;
        if (s.cancelAsked)
            return EndPageWith(s, Outcome::Cancelled);
    }
    const size_t n = std::min(size_t(most), job.readyEnd - job.readyAt);
    memcpy(data, &job.ready[job.readyAt], n);
    job.readyAt += n;
    *length = SANE_Int(n);
    return SANE_STATUS_GOOD;
}

void CancelPage(Scanner& s)
{
    if (s.job.pageOpen)
        EndPageWith(s, Outcome::Cancelled);
}

SANE_Status Calibrate(Scanner& s)
{
    if (s.job.pageOpen)
        return SANE_STATUS_DEVICE_BUSY;
    const BeginResult begun = s.core->begin();
    if (begun != BeginResult::Ready)
        return EndPageWith(s, OutcomeOfBegin(begun));
    if (!s.core->paperOn())
        return EndPageWith(s, Outcome::NoPaper);
    DBG(3, "%s: calibrating", s.name.c_str());
    if (!s.core->calibrate())
        return EndPageWith(s, Outcome::CalibrationFailed);
    s.core->end();
    DBG(3, "%s: calibrated", s.name.c_str());
    return SANE_STATUS_GOOD;
}

} // namespace kestrel_sane
