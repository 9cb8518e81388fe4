// A driver module in front of a real one: every IO_ name is forwarded to the
// driver named at build time (PAGE_COUNTER_TARGET; the .def files list the
// forwards), except the calls that bracket a scan, which are noted on the way
// through with what the driver answered. kestrel loads it by name like any
// driver; the test reads the note.
#include <windows.h>

#include <stdio.h>
#include <string>

#include "io_driver.h"

namespace {

std::string g_trace;
int g_pagesStarted = 0;
int g_pagesEnded = 0;

template <typename Fn>
Fn Target(const char* name)
{
    static HMODULE target = LoadLibraryA(PAGE_COUNTER_TARGET);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(target ? GetProcAddress(target, name) : nullptr));
}

void Note(const char* what, int value)
{
    char text[32];
    snprintf(text, sizeof(text), "%s%s=%d", g_trace.empty() ? "" : " ", what, value);
    g_trace += text;
}

} // namespace

IO_EXPORT int IO_StartScan(void)
{
    const int result = Target<IO_StartScanFn>("IO_StartScan")();
    Note("scan", result);
    return result;
}

IO_EXPORT void IO_EndScan(void)
{
    Target<IO_EndScanFn>("IO_EndScan")();
    g_trace += " endscan";
}

IO_EXPORT int IO_CalibrateScanner(int paperSource)
{
    const int result = Target<IO_CalibrateScannerFn>("IO_CalibrateScanner")(paperSource);
    Note("calibrate", result);
    return result;
}

IO_EXPORT int IO_StartScanPage(ScanSettings* settings, int* width, int* height)
{
    ++g_pagesStarted;
    const int result = Target<IO_StartScanPageFn>("IO_StartScanPage")(settings, width, height);
    Note("page", result);
    return result;
}

// Line counts are noted once per run of them ("lines"); other answers as they are.
IO_EXPORT short IO_GetImageBlock(unsigned char* buffer, short lines, ScanSettings* settings, int width,
                                 int pageHeight)
{
    const short result =
        Target<IO_GetImageBlockFn>("IO_GetImageBlock")(buffer, lines, settings, width, pageHeight);
    if (result > 0) {
        if (g_trace.size() < 6 || g_trace.compare(g_trace.size() - 6, 6, " lines") != 0)
            g_trace += " lines";
    } else {
        Note("block", result);
    }
    return result;
}

IO_EXPORT int IO_FeedPage(void)
{
    const int result = Target<IO_FeedPageFn>("IO_FeedPage")();
    Note("feed", result);
    return result;
}

IO_EXPORT int IO_EndScanPage(void)
{
    ++g_pagesEnded;
    g_trace += " endpage";
    return Target<IO_EndScanPageFn>("IO_EndScanPage")();
}

// The calls noted since the last take, and the pages opened and closed; starts afresh.
extern "C" __declspec(dllexport) int PageCounter_Take(char* trace, int capacity, int* started, int* ended)
{
    snprintf(trace, capacity, "%s", g_trace.c_str());
    *started = g_pagesStarted;
    *ended = g_pagesEnded;
    g_trace.clear();
    g_pagesStarted = g_pagesEnded = 0;
    return 1;
}
