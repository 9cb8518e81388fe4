#include "debug.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

namespace kestrel_sane {

namespace {
int g_level = 0;
}

void InitDebug()
{
    const char* value = getenv("SANE_DEBUG_KESTREL");
    g_level = value ? atoi(value) : 0;
}

int DebugLevel() { return g_level; }

void DebugPrint(int, const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    // One write per line, so that lines of two handles do not interleave.
    fprintf(stderr, "[kestrel] %s\n", line);
}

void DriverLog(const char* text) { DBG(4, "driver: %s", text ? text : ""); }

} // namespace kestrel_sane
