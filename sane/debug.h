// The backend's one way to say anything: DBG(level, ...) to standard error when
// SANE_DEBUG_KESTREL is at least `level`. Levels: 0 the user must act, 1 errors,
// 3 progress, 4 the drivers' own log lines, 5 and up per block.
#pragma once

namespace kestrel_sane {

// Reads SANE_DEBUG_KESTREL; called by sane_init.
void InitDebug();
int DebugLevel();
void DebugPrint(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The drivers' log hook (their messages and diagnostic lines), at level 4.
void DriverLog(const char* text);

} // namespace kestrel_sane

#define DBG(level, ...)                                                                            \
    do {                                                                                           \
        if (::kestrel_sane::DebugLevel() >= (level))                                               \
            ::kestrel_sane::DebugPrint((level), __VA_ARGS__);                                      \
    } while (0)
