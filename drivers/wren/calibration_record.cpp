#include "calibration_record.h"

#include "module_names.h"
#include "wren_state.h"

#include <windows.h>
#include <string.h>

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

namespace {

// The "Common AppData" shell folder, read with a size limit and terminated.
bool CommonAppData(char* out, DWORD size)
{
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion\\explorer\\shell folders",
                      0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, bytes = size - 1;
    LONG rc = RegQueryValueExA(key, "Common AppData", nullptr, &type, reinterpret_cast<BYTE*>(out), &bytes);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ) || bytes == 0)
        return false;
    out[bytes] = 0;
    return out[0] != 0;
}

} // namespace

bool CalibrationFilePath(char* out, size_t size)
{
    char dir[MAX_PATH] = {};
    if (HasAlternativeName()) {
        UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
        if (n == 0 || n >= MAX_PATH - 1)
            return false;
        strcat(dir, "\\");
    } else if (CommonAppData(dir, MAX_PATH - 1)) {
        strcat(dir, "\\");
    } else {
        DWORD n = GetTempPathA(MAX_PATH, dir);
        if (n == 0 || n >= MAX_PATH)
            return false;
    }
    char name[MAX_PATH];
    lstrcpynA(name, OwnModuleFileName(), MAX_PATH);
    char* dot = strrchr(name, '.');
    if (dot)
        *dot = 0;
    size_t need = strlen(dir) + strlen(name) + sizeof ".clb";
    if (need > size)
        return false;
    strcpy(out, dir);
    strcat(out, name);
    strcat(out, ".clb");
    return true;
}

bool LoadRecord(CalibrationRecord& r)
{
    DefaultRecord(r);
    char path[MAX_PATH];
    if (!CalibrationFilePath(path, sizeof path))
        return false;
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    CalibrationRecord loaded;
    DWORD got = 0;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(f, &size) && size.QuadPart == RECORD_SIZE &&
              ReadFile(f, &loaded, RECORD_SIZE, &got, nullptr) && got == RECORD_SIZE &&
              IsPlausibleRecord(loaded);
    CloseHandle(f);
    if (ok)
        r = loaded;
    return ok;
}

int16_t RecordAge(int thenYear, int thenMonth, int thenDay, int nowYear, int nowMonth, int nowDay)
{
    return int16_t(365 * (nowYear - thenYear) + 30 * (nowMonth - thenMonth) + (nowDay - thenDay));
}

int NeedCalibration(int days)
{
    char path[MAX_PATH];
    if (!CalibrationFilePath(path, sizeof path))
        return 1;
    CalibrationRecord r;
    memset(&r, 0, sizeof r); // a missing file reads as zeros
    HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return 1;
    DWORD got = 0;
    ReadFile(f, &r, RECORD_SIZE, &got, nullptr);
    int answer = 0;
    FILETIME written;
    SYSTEMTIME then, now;
    LARGE_INTEGER size = {};
    if (r.validityMark != CALIBRATED_MARK) {
        answer = 1;
    } else if (!GetFileTime(f, nullptr, nullptr, &written) || !FileTimeToSystemTime(&written, &then)) {
        answer = 1;
    } else {
        GetSystemTime(&now);
        int age = RecordAge(then.wYear, then.wMonth, then.wDay, now.wYear, now.wMonth, now.wDay);
        if (age > days)
            answer = 1;
        else if (!GetFileSizeEx(f, &size) || size.QuadPart != RECORD_SIZE)
            answer = 1;
    }
    CloseHandle(f);
    return answer;
}

} // namespace wren
