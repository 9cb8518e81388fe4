// Throughput of wren's per-line work (reference correction, output curve and
// horizontal scaling or threshold) over raw lines already in memory, beside memcpy
// of the same bytes in the same run. CPU time of this process; no device involved.
//   wren_line_bench [megabytes of raw lines per case, default 400]
#include "image_lines.h"
#include "tables.h"

#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

namespace {

double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

struct Case {
    const char* name;
    int rawPixels;  // per raw line
    int outPixels;  // per output line
    bool blackAndWhite;
};

volatile uint8_t g_sink;

} // namespace

int main(int argc, char** argv)
{
    const double megabytes = argc > 1 ? atof(argv[1]) : 400.0;
    std::vector<uint8_t> division(65536);
    wren::FillDivisionTable(division.data());
    const uint8_t* curve = wren::OutputCurve(0);

    const int kChunkLines = 64;
    const int kMostPixels = 2600;
    std::vector<uint8_t> raw(size_t(kChunkLines) * kMostPixels), dark(kMostPixels), white(kMostPixels);
    uint32_t seed = 12345;
    for (auto& b : raw)
        b = uint8_t(20 + ((seed = seed * 1103515245u + 12345u) >> 16) % 200);
    for (int p = 0; p < kMostPixels; ++p) {
        dark[p] = uint8_t(6 + p % 7);
        white[p] = uint8_t(180 + p % 60);
    }
    std::vector<uint8_t> corrected(kMostPixels), out(size_t(kMostPixels) * 2), copy(raw.size());

    const Case cases[] = {
        {"300 dpi gray (copy)", 633, 633, false},
        {"200 dpi gray (shrink from 300)", 633, 422, false},
        {"1200 dpi gray (grow from 600)", 1266, 2532, false},
        {"300 dpi black and white", 633, 633, true},
    };
    printf("%-34s %12s %12s %8s\n", "case", "MB/CPU s", "memcpy MB/s", "ratio");
    for (const Case& c : cases) {
        const size_t chunkBytes = size_t(kChunkLines) * c.rawPixels;
        const int rounds = int(megabytes * 1e6 / double(chunkBytes)) + 1;
        const int outBytes = c.blackAndWhite ? ((c.outPixels + 7) / 8 + 3) / 4 * 4 : (c.outPixels + 3) / 4 * 4;

        double start = CpuSeconds();
        for (int r = 0; r < rounds; ++r)
            for (int k = 0; k < kChunkLines; ++k) {
                const uint8_t* line = &raw[size_t(k) * c.rawPixels];
                wren::CorrectLine(line, dark.data(), white.data(), c.rawPixels, division.data(), curve,
                                  corrected.data());
                if (c.blackAndWhite)
                    wren::ThresholdLine(corrected.data(), c.rawPixels, out.data(), c.outPixels, outBytes);
                else
                    wren::ScaleGrayLine(corrected.data(), c.rawPixels, out.data(), c.outPixels);
                g_sink = out[size_t(k) % size_t(outBytes)];
            }
        const double work = CpuSeconds() - start;

        // memcpy is far faster: twenty times the bytes, so the timer's tick does not dominate.
        const int copyRounds = rounds * 20;
        start = CpuSeconds();
        for (int r = 0; r < copyRounds; ++r) {
            memcpy(copy.data(), raw.data() + (r & 1), chunkBytes - 1);
            g_sink = copy[size_t(r) % chunkBytes];
        }
        const double plain = CpuSeconds() - start;

        const double mb = double(chunkBytes) * rounds / 1e6;
        const double rate = work > 0 ? mb / work : 0, copyRate = plain > 0 ? mb * 20 / plain : 0;
        printf("%-34s %12.1f %12.1f %8.3f\n", c.name, rate, copyRate, copyRate > 0 ? rate / copyRate : 0.0);
    }
    return 0;
}
