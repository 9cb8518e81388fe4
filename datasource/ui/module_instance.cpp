#include "ui/module_instance.h"

HINSTANCE KestrelInstance()
{
    HMODULE module = nullptr;
    // The module containing this very function, without touching its load count.
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&KestrelInstance), &module))
        return nullptr;
    return module;
}
