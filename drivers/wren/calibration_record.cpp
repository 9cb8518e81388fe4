#include "calibration_record.h"

#include "module_names.h"
#include "wren_state.h"

#include <string.h>
#include <string>

namespace wren {

void DefaultRecord(CalibrationRecord& r)
{
    memset(&r, 0, sizeof r);
    r.fixedGain = 0x3FFF;
    r.fixedOffset = 0;
    r.firstPixel600 = 18;
    r.exposure600 = 2500;
    r.lineGain600 = 12;
    r.lineOffset600 = 1;
    r.firstPixel300 = 9;
    r.exposure300 = 2500;
    r.lineGain300 = 6;
    r.lineOffset300 = 1;
    memset(r.white600, 220, SENSOR_PIXELS);
    memset(r.halfWhite600, 155, SENSOR_PIXELS);
    memset(r.white300, 220, SENSOR_PIXELS);
    memset(r.halfWhite300, 155, SENSOR_PIXELS);
}

bool IsPlausibleRecord(const CalibrationRecord& r)
{
    const uint16_t kMostExposure = 16000; // far above the 100-try search's reach
    return r.firstPixel600 <= 40 && r.firstPixel300 <= 20 && r.exposure600 >= 1 &&
           r.exposure600 <= kMostExposure && r.exposure300 >= 1 && r.exposure300 <= kMostExposure &&
           r.lineGain600 <= 0x3F && r.lineGain300 <= 0x3F && r.lineOffset600 <= 62 &&
           r.lineOffset300 <= 62 && r.backgroundLevel <= 255 && r.sensorVariant <= 1;
}

bool CalibrationFilePath(const ModuleState& m, char* out, size_t size)
{
    std::string name = OwnModuleFileName(m);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name.erase(dot);
    name += ".clb";
    const platform::FileOps& files = m.platform->files;
    const platform::DataPlace place =
        HasAlternativeName(m) ? platform::DataPlace::SystemFolder : platform::DataPlace::SharedData;
    return files.resolve(files.context, place, name.c_str(), out, size);
}

bool LoadRecord(const ModuleState& m, CalibrationRecord& r)
{
    DefaultRecord(r);
    char path[CALIBRATION_PATH_MOST];
    if (!CalibrationFilePath(m, path, sizeof path))
        return false;
    const platform::FileOps& files = m.platform->files;
    platform::FileHandle f = files.open(files.context, path, platform::FileMode::ReadShared);
    if (!f)
        return false;
    CalibrationRecord loaded;
    uint32_t got = 0;
    uint64_t size = 0;
    bool ok = files.size(files.context, f, &size) && size == RECORD_SIZE &&
              files.read(files.context, f, &loaded, RECORD_SIZE, &got) && got == RECORD_SIZE &&
              IsPlausibleRecord(loaded);
    files.close(files.context, f);
    if (ok)
        r = loaded;
    return ok;
}

int16_t RecordAge(int thenYear, int thenMonth, int thenDay, int nowYear, int nowMonth, int nowDay)
{
    return int16_t(365 * (nowYear - thenYear) + 30 * (nowMonth - thenMonth) + (nowDay - thenDay));
}

int NeedCalibration(const ModuleState& m, int days)
{
    char path[CALIBRATION_PATH_MOST];
    if (!CalibrationFilePath(m, path, sizeof path))
        return 1;
    CalibrationRecord r;
    memset(&r, 0, sizeof r); // a missing file reads as zeros
    const platform::FileOps& files = m.platform->files;
    platform::FileHandle f = files.open(files.context, path, platform::FileMode::ReadShared);
    if (!f)
        return 1;
    uint32_t got = 0;
    files.read(files.context, f, &r, RECORD_SIZE, &got);
    int answer = 0;
    platform::Date then, now;
    uint64_t size = 0;
    if (r.validityMark != CALIBRATED_MARK) {
        answer = 1;
    } else if (!files.modifiedDate(files.context, f, &then)) {
        answer = 1;
    } else {
        m.platform->clock.today(m.platform->clock.context, &now);
        int age = RecordAge(then.year, then.month, then.day, now.year, now.month, now.day);
        if (age > days)
            answer = 1;
        else if (!files.size(files.context, f, &size) || size != RECORD_SIZE)
            answer = 1;
    }
    files.close(files.context, f);
    return answer;
}

} // namespace wren
