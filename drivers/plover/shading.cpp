#include "shading.h"

#include <windows.h>

#include <math.h>

bool ReadWordFile(const std::string& path, uint16_t* words, uint32_t count)
{
    if (path.empty())
        return false;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    std::vector<uint8_t> bytes(size_t(count) * 2);
    DWORD size = GetFileSize(f, nullptr);
    DWORD got = 0;
    bool ok = size == bytes.size() && ReadFile(f, bytes.data(), DWORD(bytes.size()), &got, nullptr) &&
              got == bytes.size();
    CloseHandle(f);
    if (!ok)
        return false;
    for (uint32_t i = 0; i < count; ++i)
        words[i] = uint16_t(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    return true;
}

bool WriteWordFile(const std::string& path, const uint16_t* words, uint32_t count)
{
    if (path.empty())
        return false;
    std::vector<uint8_t> bytes(size_t(count) * 2);
    for (uint32_t i = 0; i < count; ++i) {
        bytes[2 * i] = uint8_t(words[i] >> 8);
        bytes[2 * i + 1] = uint8_t(words[i]);
    }
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    bool ok = WriteFile(f, bytes.data(), DWORD(bytes.size()), &put, nullptr) && put == bytes.size();
    CloseHandle(f);
    if (!ok)
        DeleteFileA(path.c_str()); // no half-written table
    return ok;
}

void ResampleShading(uint16_t table[SHADING_WORDS], int start, int span, int dpi)
{
    const int n = int(SHADING_WORDS);
    uint16_t in[SHADING_WORDS];
    for (int i = 0; i < n; ++i)
        in[i] = table[i];
    // Shift: word i takes word start + i; words past the table keep their values.
    for (int i = 0; i < n; ++i) {
        int src = start + i;
        if (src < 0)
            table[i] = in[0];
        else if (src < n)
            table[i] = in[src];
    }
    if (dpi <= 0)
        dpi = 600;
    double r = 600.0 / dpi;
    if (r == 1.0)
        return;
    for (int i = 0; i < n; ++i)
        in[i] = table[i];
    int limit = span + 1 < n ? span + 1 : n;
    auto at = [&](int j) { return double(in[j < n ? j : n - 1]); };
    int j = 0, out = 0;
    if (r == 1.5) {
        while (j < limit && out < n) {
            double v = (out % 2 == 0) ? at(j) + 0.5 * at(j + 1) : 0.5 * at(j) + at(j + 1);
            j += (out % 2 == 0) ? 1 : 2;
            if (v >= 65536)
                v = 65535;
            table[out++] = uint16_t(v * 2 / 3);
        }
        return;
    }
    int k = int(ceil(r - 1e-9));
    while (j < limit && out < n) {
        double sum = 0;
        for (int m = 0; m < k; ++m)
            sum += at(j + m);
        table[out++] = uint16_t(sum / r);
        j += k;
    }
}
