// The device seam on the simulated scanner. scansim.dll is loaded once per process:
// the module a test already linked, else the copy beside the module holding this code,
// else whatever the loader finds by name; so a test and a driver see the same devices.
// Its entry points are looked up at every call rather than kept, so the seam holds no
// state and no thread sees a half-made binding. Handles are the simulator's own small
// numbers.
#include "usb_device.h"

#include <string.h>

namespace {

typedef intptr_t (*OpenFn)(const char*);
typedef int (*ControlFn)(intptr_t, uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t*);
typedef int (*WriteFn)(intptr_t, const void*, uint32_t, uint32_t*);
typedef int (*ReadFn)(intptr_t, void*, uint32_t, uint32_t*);
typedef int (*CloseFn)(intptr_t);

struct SimEntries {
    OpenFn open = nullptr;
    ControlFn control = nullptr;
    WriteFn write = nullptr;
    ReadFn read = nullptr;
    CloseFn close = nullptr;
};

// A driver loaded from a folder the loader does not search still finds its simulator.
HMODULE loadBesideThisModule()
{
    HMODULE self = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&loadBesideThisModule), &self))
        return nullptr;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return nullptr;
    char* slash = strrchr(path, '\\');
    if (!slash || size_t(slash + 1 - path) + sizeof "scansim.dll" > MAX_PATH)
        return nullptr;
    strcpy(slash + 1, "scansim.dll");
    return LoadLibraryA(path);
}

// After the first load this is GetModuleHandle and GetProcAddress only.
SimEntries entries()
{
    SimEntries e;
    HMODULE m = GetModuleHandleA("scansim.dll");
    if (!m)
        m = loadBesideThisModule();
    if (!m)
        m = LoadLibraryA("scansim.dll");
    if (m) {
        e.open = reinterpret_cast<OpenFn>(GetProcAddress(m, "scansim_io_open"));
        e.control = reinterpret_cast<ControlFn>(GetProcAddress(m, "scansim_io_control"));
        e.write = reinterpret_cast<WriteFn>(GetProcAddress(m, "scansim_io_write"));
        e.read = reinterpret_cast<ReadFn>(GetProcAddress(m, "scansim_io_read"));
        e.close = reinterpret_cast<CloseFn>(GetProcAddress(m, "scansim_io_close"));
        if (!e.open || !e.control || !e.write || !e.read || !e.close)
            e.open = nullptr; // an incomplete simulator counts as no device at all
    }
    return e;
}

intptr_t toSim(HANDLE h) { return reinterpret_cast<intptr_t>(h); }

} // namespace

HANDLE UsbDevOpen(const char* name)
{
    const SimEntries e = entries();
    if (!e.open) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    intptr_t h = e.open(name);
    return h ? reinterpret_cast<HANDLE>(h) : INVALID_HANDLE_VALUE;
}

BOOL UsbDevControl(HANDLE device, uint32_t code, void* in, uint32_t inSize,
                   void* out, uint32_t outSize, uint32_t* returned)
{
    const SimEntries e = entries();
    if (returned)
        *returned = 0;
    if (!e.open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return e.control(toSim(device), code, in, inSize, out, outSize, returned);
}

BOOL UsbDevWrite(HANDLE device, const void* data, uint32_t size, uint32_t* written)
{
    const SimEntries e = entries();
    if (written)
        *written = 0;
    if (!e.open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return e.write(toSim(device), data, size, written);
}

BOOL UsbDevRead(HANDLE device, void* buffer, uint32_t size, uint32_t* received)
{
    const SimEntries e = entries();
    if (received)
        *received = 0;
    if (!e.open) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return e.read(toSim(device), buffer, size, received);
}

BOOL UsbDevClose(HANDLE device)
{
    const SimEntries e = entries();
    if (!e.open || device == INVALID_HANDLE_VALUE || device == nullptr)
        return FALSE;
    return e.close(toSim(device));
}
