#include "shading.h"

#include <math.h>

namespace plover {

bool ReadWordFile(const platform::Platform& os, const std::string& path, uint16_t* words, uint32_t count)
{
    if (path.empty())
        return false;
    const platform::FileOps& files = os.files;
    platform::FileHandle f = files.open(files.context, path.c_str(), platform::FileMode::Read);
    if (!f)
        return false;
    std::vector<uint8_t> bytes(size_t(count) * 2);
    uint64_t size = 0;
    uint32_t got = 0;
    bool ok = files.size(files.context, f, &size) && size == bytes.size() &&
              files.read(files.context, f, bytes.data(), uint32_t(bytes.size()), &got) && got == bytes.size();
    files.close(files.context, f);
    if (!ok)
        return false;
    for (uint32_t i = 0; i < count; ++i)
        words[i] = uint16_t(bytes[2 * i] << 8 | bytes[2 * i + 1]);
    return true;
}

bool WriteWordFile(const platform::Platform& os, const std::string& path, const uint16_t* words, uint32_t count)
{
    if (path.empty())
        return false;
    std::vector<uint8_t> bytes(size_t(count) * 2);
    for (uint32_t i = 0; i < count; ++i) {
        bytes[2 * i] = uint8_t(words[i] >> 8);
        bytes[2 * i + 1] = uint8_t(words[i]);
    }
    const platform::FileOps& files = os.files;
    platform::FileHandle f = files.open(files.context, path.c_str(), platform::FileMode::CreateWrite);
    if (!f)
        return false;
    bool ok = files.write(files.context, f, bytes.data(), uint32_t(bytes.size()));
    files.close(files.context, f);
    if (!ok)
        files.remove(files.context, path.c_str()); // no half-written table
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

} // namespace plover
