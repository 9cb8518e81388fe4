// plover_bench: the driver's processing throughput, device time excluded. A page is
// scanned once from the simulated scanner while its raw image bytes are recorded;
// then IO_GetImageBlock runs over the replayed bytes, timed in CPU seconds, beside a
// memcpy of the same delivered bytes in the same run.
#include "win32_module.h"
#include "replay_device.h"
#include "scansim.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <vector>

extern "C" {
int IO_StartScanPage(ScanSettings*, int*, int*);
short IO_GetImageBlock(unsigned char*, short, ScanSettings*, int, int);
int IO_EndScanPage(void);
}

namespace {

double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
        return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) * 1e-7;
    };
    return seconds(kernel) + seconds(user);
}

const int kBlockLines = 128;

// Reads a whole page in blocks; returns the delivered bytes, or -1 on a failure.
long long ReadPage(int mode, std::vector<uint8_t>& page, double* blockSeconds)
{
    ScanSettings s = {};
    s.mode = int16_t(mode);
    s.resolution = 600;
    s.right = 220;
    s.bottom = 360;
    int width = 0, height = 0;
    if (IO_StartScanPage(&s, &width, &height) != 1)
        return -1;
    int bpl = mode == MODE_COLOR ? width * 3 : width;
    page.resize(size_t(bpl) * height);
    long long delivered = 0;
    double start = CpuSeconds();
    for (int top = 0; top < height; top += kBlockLines) {
        int lines = height - top < kBlockLines ? height - top : kBlockLines;
        short got = IO_GetImageBlock(page.data() + size_t(top) * bpl, short(lines), &s, width, height);
        if (got != lines)
            return -1;
        delivered += (long long)lines * bpl;
    }
    *blockSeconds += CpuSeconds() - start;
    IO_EndScanPage();
    return delivered;
}

} // namespace

int main()
{
    scansim_reset();
    scansim_attach(0, SCANSIM_KIND_CCD, SCANSIM_DEFAULT_VID, SCANSIM_DEFAULT_PID_CCD);
    PloverModuleLoad();
    const int modes[2] = {MODE_GRAY, MODE_COLOR};
    const char* names[2] = {"gray", "colour"};
    // Record both pages from the simulator (device time, not measured).
    std::vector<uint8_t> page;
    long long bytes[2];
    for (int m = 0; m < 2; ++m) {
        scansim_insert_card(0, SCANSIM_CARD_FIDUCIAL);
        double unused = 0;
        bytes[m] = ReadPage(modes[m], page, &unused);
        if (bytes[m] < 0) {
            fprintf(stderr, "plover_bench: recording the %s page failed\n", names[m]);
            return 1;
        }
    }
    printf("plover_bench: 600 dpi card pages, blocks of %d lines, CPU time\n", kBlockLines);
    const int repeats = 60;
    for (int m = 0; m < 2; ++m) {
        double driver = 0;
        for (int r = 0; r < repeats; ++r) {
            ReplayStart(m == 0 ? 0 : size_t(bytes[0]));
            if (ReadPage(modes[m], page, &driver) != bytes[m]) {
                fprintf(stderr, "plover_bench: replay of the %s page failed\n", names[m]);
                return 1;
            }
        }
        // memcpy of the same bytes, repeated until the CPU clock has moved enough.
        std::vector<uint8_t> copy(page.size());
        volatile uint8_t sink = 0;
        int copies = 0;
        double start = CpuSeconds(), baseline = 0;
        while ((baseline = CpuSeconds() - start) < 0.5) {
            for (int k = 0; k < 20; ++k, ++copies) {
                memcpy(copy.data(), page.data(), page.size());
                sink = sink + copy[size_t(copies) * 4099 % copy.size()];
            }
        }
        baseline *= double(repeats) / copies;
        double mb = double(bytes[m]) * repeats / 1e6;
        printf("  %-6s page %.1f MB: driver %.0f MB/s, memcpy %.0f MB/s (driver at %.0f%% of memcpy)\n",
               names[m], bytes[m] / 1e6, mb / driver, mb / baseline, 100.0 * baseline / driver);
    }
    PloverModuleUnload();
    return 0;
}
