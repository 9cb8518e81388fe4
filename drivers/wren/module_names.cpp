#include "module_names.h"

#include "wren_state.h"

#include <string.h>
#include <windows.h>

namespace wren {

const ModuleName kModuleNames[MODULE_NAME_COUNT] = {
    {"wren.dll", 0x3000},    {"fw2100.dll", 0x3008},   {"fw2110.dll", 0x3010},
    {"fw2120.dll", 0x3011},  {"fw2200.dll", 0x3018},   {"fw2210.dll", 0x3019},
    {"fw3100.dll", 0x3020},  {"fw3110.dll", 0x3021},   {"cardwren.dll", 0x3028},
    {"wrenplus.dll", 0x302A}, {"wrenmini.dll", 0x3030},
};

const char* const kAlternativeModuleName = "fw2110.dll";

const char* OwnModuleFileName()
{
    const char* path = g_wren.modulePath;
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

const ModuleName* FindModuleName(const char* fileName)
{
    for (const ModuleName& m : kModuleNames)
        if (lstrcmpiA(m.fileName, fileName) == 0)
            return &m;
    return nullptr;
}

bool HasAlternativeName() { return lstrcmpiA(OwnModuleFileName(), kAlternativeModuleName) == 0; }

const char* ModelText() { return "Wren CIS600"; }
const char* DriverNameText() { return "Fenwick Wren card scanner"; }

} // namespace wren
