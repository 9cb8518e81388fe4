#include "twain/trace.h"

#include <windows.h>

static TraceObserver g_traceObserver = nullptr;

void DebugTrace(const char* text)
{
    if (!text)
        return;
    OutputDebugStringA(text);
    if (g_traceObserver)
        g_traceObserver(text);
}

void SetTraceObserver(TraceObserver observer)
{
    g_traceObserver = observer;
}
