#include "calibration.h"

#include "chip_setup.h"
#include "device_ops.h"
#include "lm9831_registers.h"
#include "module_names.h"

#include <string.h>
#include <algorithm>
#include <vector>

using namespace lm9831;

namespace wren {

namespace {

const int kReferenceLines = 100;
const int kRawPixels600 = 2698, kRawPixels300 = 1348; // 2700 and 1350 bytes per line

struct Measure {
    const Link& h;
    int variant;
    CalibrationRecord& r;
};

ChipSetup MeasureSetup(const Measure& m, int base, bool lampOff)
{
    ChipSetup s;
    s.variant = m.variant;
    s.fixedGain = m.r.fixedGain;
    s.fixedOffset = m.r.fixedOffset;
    s.resolution = base;
    s.firstPixel = 0; // references cover the sensor from pixel 0
    s.rawPixels = base == 600 ? kRawPixels600 : kRawPixels300;
    s.motor = false;
    s.lampOff = lampOff;
    s.exposure = base == 600 ? m.r.exposure600 : m.r.exposure300;
    s.lineGain = uint8_t(base == 600 ? m.r.lineGain600 : m.r.lineGain300);
    s.lineOffset = uint8_t(base == 600 ? m.r.lineOffset600 : m.r.lineOffset300);
    return s;
}

int LineBytes(const ChipSetup& s) { return (s.rawPixels & ~1) + 2; }

bool ScanLines(const Link& h, const ChipSetup& s, int lines, std::vector<uint8_t>& out)
{
    out.assign(size_t(LineBytes(s)) * lines, 0);
    ProgramChip(h, ComputeRegisters(s), true);
    WriteReg(h, REG_COMMAND, CMD_SCAN);
    uint32_t got = ReadRegs(h, REG_DATA_PORT, out.data(), uint32_t(out.size()), false);
    WriteReg(h, REG_COMMAND, CMD_STOP);
    return got == out.size();
}

// Mean of `window` bytes around the brightest pixel of [from, to), kept inside the line.
int BrightestWindow(const std::vector<uint8_t>& line, int from, int to, int window)
{
    to = std::min<int>(to, int(line.size()));
    int at = int(std::max_element(line.begin() + from, line.begin() + to) - line.begin());
    int first = std::max(0, std::min(at - window / 2, int(line.size()) - window));
    int sum = 0;
    for (int i = first; i < first + window; ++i)
        sum += line[size_t(i)];
    return sum / window;
}

bool ExposureSearch(Measure& m, int base)
{
    uint16_t& exposure = base == 600 ? m.r.exposure600 : m.r.exposure300;
    const int window = base == 600 ? 8 : 4;
    const int from = base == 600 ? 100 : 50, to = base == 600 ? 1200 : 600;
    int value = m.variant ? 1315 : 1310;
    bool found = false;
    for (int tries = 0; tries < 100 && !found; ++tries) {
        exposure = uint16_t(value);
        std::vector<uint8_t> line;
        if (!ScanLines(m.h, MeasureSetup(m, base, false), 1, line))
            return false;
        int average = BrightestWindow(line, from, to, window);
        if (average > 228)
            value -= 10;
        else if (average < 212)
            value += 50;
        else
            found = true; // 212..228 inclusive: both ends count as reached
    }
    if (!found)
        value = m.variant ? 3000 : 2500;
    if (value >= 2061 && value <= 2069)
        value = 2071;
    exposure = uint16_t(value);
    return true;
}

// Analog offset code that lifts the dark level (lamp off) to 7..13.
bool LineOffsetSearch(Measure& m, int base)
{
    uint16_t& stored = base == 600 ? m.r.lineOffset600 : m.r.lineOffset300;
    int code = 1;
    for (int tries = 0; tries < 15; ++tries) {
        stored = uint16_t(code < 0 ? 31 - code : code);
        std::vector<uint8_t> line;
        ChipSetup s = MeasureSetup(m, base, true);
        if (!ScanLines(m.h, s, 1, line))
            return false;
        const int end = int(line.size()) - 4;
        int at = int(std::min_element(line.begin() + 53, line.begin() + end + 1) - line.begin());
        int first = std::max(0, std::min(at - 3, int(line.size()) - 6));
        int sum = 0;
        for (int i = first; i < first + 6; ++i)
            sum += line[size_t(i)];
        int average = sum / 6;
        if (average >= 7 && average <= 13)
            return true;
        if (average < 7 && code < 31)
            ++code;
        else if (average > 13 && code > -31)
            --code;
    }
    stored = uint16_t(m.variant ? 0 : 1);
    return true;
}

bool WhiteLineCheck(Measure& m)
{
    std::vector<uint8_t> line;
    if (!ScanLines(m.h, MeasureSetup(m, 600, false), 1, line))
        return false;
    const int from = m.variant ? 391 : 390, to = m.variant ? 1173 : 1169;
    int dark = 0;
    for (int p = from; p <= to; ++p)
        dark += line[size_t(p)] < 60;
    return dark * 100 < (to - from + 1) * 5;
}

// Per pixel the mean of the samples inside (low, high]; 0 where none qualifies.
void MeanReference(const std::vector<uint8_t>& lines, int bytes, int low, int high, uint8_t* out)
{
    const int count = int(lines.size()) / bytes;
    for (int p = 0; p < bytes && p < SENSOR_PIXELS; ++p) {
        int sum = 0, n = 0;
        for (int k = 0; k < count; ++k) {
            int v = lines[size_t(k) * bytes + p];
            if (v > low && v <= high) {
                sum += v;
                ++n;
            }
        }
        out[p] = uint8_t(n ? sum / n : 0);
    }
}

bool WhiteReference(Measure& m, int base)
{
    ChipSetup s = MeasureSetup(m, base, false);
    std::vector<uint8_t> lines;
    if (!ScanLines(m.h, s, kReferenceLines, lines))
        return false;
    uint8_t* white = base == 600 ? m.r.white600 : m.r.white300;
    uint8_t* half = base == 600 ? m.r.halfWhite600 : m.r.halfWhite300;
    const int bytes = LineBytes(s);
    MeanReference(lines, bytes, 88, 255, white);
    for (int p = 0; p < bytes && p < SENSOR_PIXELS; ++p)
        half[p] = uint8_t(white[p] / 2);
    return true;
}

bool DarkReference(Measure& m, int base)
{
    ChipSetup s = MeasureSetup(m, base, true);
    std::vector<uint8_t> lines;
    if (!ScanLines(m.h, s, kReferenceLines, lines))
        return false;
    MeanReference(lines, LineBytes(s), 5, 69, base == 600 ? m.r.dark600 : m.r.dark300);
    return true;
}

void FirstPixelOffset(CalibrationRecord& r)
{
    int index = 40;
    for (int i = 0; i < 40; ++i)
        if (r.white600[i] > 132) {
            index = i;
            break;
        }
    int offset = std::min(40, (index + 1) & ~1);
    r.firstPixel600 = uint16_t(offset);
    r.firstPixel300 = uint16_t(offset / 2);
}

bool BackgroundLevel(Measure& m)
{
    std::vector<uint8_t> line;
    if (!ScanLines(m.h, MeasureSetup(m, 600, false), 1, line))
        return false;
    const int from = m.variant ? 389 : 390, to = m.variant ? 906 : 909;
    int most = *std::max_element(line.begin() + from, line.begin() + to + 1);
    m.r.backgroundLevel = uint16_t(most > 157 ? 128 : most + 30);
    return true;
}

bool Measurements(Measure& m, int paperSource)
{
    CalibrationRecord& r = m.r;
    if (m.variant) {
        r.lineGain600 = 4;
        r.lineGain300 = 6;
        r.lineOffset600 = r.lineOffset300 = 0;
        if (!ExposureSearch(m, 600) || !WhiteLineCheck(m) || !ExposureSearch(m, 300))
            return false;
        if (paperSource == PAPER_SOURCE_QUICK)
            return true;
        memset(r.dark600, 0, SENSOR_PIXELS);
        memset(r.dark300, 0, SENSOR_PIXELS);
        if (!WhiteReference(m, 600))
            return false;
        FirstPixelOffset(r);
        return WhiteReference(m, 300);
    }
    r.lineGain600 = 12;
    r.lineGain300 = 6;
    if (!LineOffsetSearch(m, 600) || !ExposureSearch(m, 600) || !WhiteLineCheck(m) ||
        !LineOffsetSearch(m, 300) || !ExposureSearch(m, 300))
        return false;
    if (paperSource == PAPER_SOURCE_QUICK)
        return true;
    if (!DarkReference(m, 600) || !WhiteReference(m, 600))
        return false;
    FirstPixelOffset(r);
    return DarkReference(m, 300) && WhiteReference(m, 300);
}

} // namespace

bool RunCalibration(ModuleState& m, const Link& h, int paperSource, CalibrationRecord& r)
{
    const int variant = ReadSensorVariant(h);
    m.sensorVariant = variant;
    r.sensorVariant = uint16_t(variant);
    if (!FeedSteps(h, variant, (paperSource == PAPER_SOURCE_FEEDER ? 70 : 137) * 6))
        return false;
    r.validityMark = CALIBRATED_MARK;
    Measure measure{h, variant, r};
    bool ok = Measurements(measure, paperSource);
    if (paperSource == PAPER_SOURCE_FEEDER)
        ok = FeedSteps(h, variant, 10 * 6) && ok;
    else
        ok = FeedOutOn(h, variant, 0) && ok;
    if (ok && paperSource != PAPER_SOURCE_FEEDER)
        ok = BackgroundLevel(measure);
    return ok;
}

int CalibrateAndStore(ModuleState& m, int paperSource)
{
    const platform::FileOps& files = m.platform->files;
    char path[CALIBRATION_PATH_MOST];
    if (!CalibrationFilePath(m, path, sizeof path))
        return 0;
    // Held open from here to the end: other writers wait until the record is stored.
    platform::FileHandle f = files.open(files.context, path, platform::FileMode::Update);
    CalibrationRecord r;
    DefaultRecord(r);
    uint64_t size = 0;
    if (f && files.size(files.context, f, &size) && size == RECORD_SIZE) {
        CalibrationRecord loaded;
        uint32_t got = 0;
        if (files.read(files.context, f, &loaded, RECORD_SIZE, &got) && got == RECORD_SIZE &&
            IsPlausibleRecord(loaded))
            r = loaded;
    } else {
        if (f) {
            files.close(files.context, f);
            files.remove(files.context, path);
        }
        f = files.open(files.context, path, platform::FileMode::CreateUpdate);
        if (!f)
            return 0; // nothing can be stored: not calibrated
    }

    int result = 0;
    Link h = OpenWorkDevice(m);
    if (h.isOpen()) {
        uint8_t sensors = 0;
        WriteReg(h, REG_COMMAND, CMD_STOP);
        if (ReadReg(h, REG_SENSORS, &sensors) && (sensors & SENSOR_PAPER) &&
            RunCalibration(m, h, paperSource, r) && files.rewrite(files.context, f, &r, RECORD_SIZE))
            result = 1;
        CloseDevice(h);
    }
    files.close(files.context, f);
    if (!HasAlternativeName(m))
        files.openToEveryUser(files.context, path); // every user may recalibrate
    return result;
}

} // namespace wren
