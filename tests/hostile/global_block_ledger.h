// Bookkeeping of the global memory blocks a loaded module allocates: the module's
// import table entries for GlobalAlloc, GlobalReAlloc and GlobalFree are pointed at
// counting wrappers, and the host reports the blocks it frees itself (containers,
// native images), so the blocks still alive can be counted at any time.
#pragma once

#include <windows.h>

#include <mutex>
#include <set>
#include <string.h>

namespace ledger {

inline std::mutex g_mutex;
inline std::set<HGLOBAL> g_live;
inline long g_allocated = 0;

inline void Add(HGLOBAL block)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (block) {
        g_live.insert(block);
        ++g_allocated;
    }
}

inline void Remove(HGLOBAL block)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_live.erase(block);
}

inline HGLOBAL WINAPI CountedAlloc(UINT flags, SIZE_T bytes)
{
    HGLOBAL block = GlobalAlloc(flags, bytes);
    Add(block);
    return block;
}

inline HGLOBAL WINAPI CountedReAlloc(HGLOBAL block, SIZE_T bytes, UINT flags)
{
    HGLOBAL moved = GlobalReAlloc(block, bytes, flags);
    if (moved && moved != block) {
        Remove(block);
        Add(moved);
    }
    return moved;
}

inline HGLOBAL WINAPI CountedFree(HGLOBAL block)
{
    HGLOBAL result = GlobalFree(block);
    if (!result)
        Remove(block);
    return result;
}

// The host gives back a block the module handed over.
inline void HostFrees(HGLOBAL block)
{
    if (block && !GlobalFree(block))
        Remove(block);
}

inline size_t Live()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_live.size();
}

// Points the module's imports of the three functions at the wrappers; the number
// of entries patched (0 when the module imports none of them).
inline int Hook(HMODULE module)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!dir.VirtualAddress)
        return 0;
    struct {
        const char* name;
        void* wrapper;
    } const hooks[] = {
        {"GlobalAlloc", reinterpret_cast<void*>(&CountedAlloc)},
        {"GlobalReAlloc", reinterpret_cast<void*>(&CountedReAlloc)},
        {"GlobalFree", reinterpret_cast<void*>(&CountedFree)},
    };
    int patched = 0;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name; ++desc) {
        if (_stricmp(reinterpret_cast<char*>(base + desc->Name), "kernel32.dll") != 0 ||
            !desc->OriginalFirstThunk)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            for (const auto& hook : hooks) {
                if (strcmp(reinterpret_cast<char*>(byName->Name), hook.name) != 0)
                    continue;
                DWORD old = 0;
                VirtualProtect(&slots->u1.Function, sizeof(void*), PAGE_READWRITE, &old);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook.wrapper);
                VirtualProtect(&slots->u1.Function, sizeof(void*), old, &old);
                ++patched;
            }
        }
    }
    return patched;
}

}  // namespace ledger
