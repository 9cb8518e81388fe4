// The process's kernel handles and private bytes, counted the same way in the
// soak program and the reload test. Wine answers 0 for GetProcessHandleCount and
// PrivateUsage, so where the platform's count is 0 these count themselves:
// kernel handles by asking each handle value for its flags, private bytes by
// walking the address space for committed private pages.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <stdint.h>

namespace processcounts {

inline DWORD CountHandlesByValue()
{
    DWORD count = 0;
    for (uintptr_t value = 4; value < 0x20000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count;
    }
    return count;
}

inline SIZE_T CountPrivateBytesByWalk()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof(info)) == sizeof(info);
         at = static_cast<const char*>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE)
            total += info.RegionSize;
        if (static_cast<const char*>(info.BaseAddress) + info.RegionSize < at)
            break;
    }
    return total;
}

inline DWORD Handles()
{
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return count ? count : CountHandlesByValue();
}

inline SIZE_T PrivateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX pmc = {};
    pmc.cb = sizeof(pmc);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&pmc), sizeof(pmc)) &&
        pmc.PrivateUsage)
        return pmc.PrivateUsage;
    return CountPrivateBytesByWalk();
}

} // namespace processcounts
