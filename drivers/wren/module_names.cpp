#include "module_names.h"

#include "wren_state.h"

#include <string.h>

namespace wren {

const ModuleName kModuleNames[MODULE_NAME_COUNT] = {
    {"wren.dll", 0x3000},    {"fw2100.dll", 0x3008},   {"fw2110.dll", 0x3010},
    {"fw2120.dll", 0x3011},  {"fw2200.dll", 0x3018},   {"fw2210.dll", 0x3019},
    {"fw3100.dll", 0x3020},  {"fw3110.dll", 0x3021},   {"cardwren.dll", 0x3028},
    {"wrenplus.dll", 0x302A}, {"wrenmini.dll", 0x3030},
};

const char* const kAlternativeModuleName = "fw2110.dll";

const char* OwnModuleFileName(const ModuleState& m) { return m.moduleFileName.c_str(); }

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool SameFileName(const char* a, const char* b)
{
    for (; *a && *b; ++a, ++b)
        if (Lower(*a) != Lower(*b))
            return false;
    return *a == *b;
}

} // namespace

const ModuleName* FindModuleName(const char* fileName)
{
    for (const ModuleName& m : kModuleNames)
        if (SameFileName(m.fileName, fileName))
            return &m;
    return nullptr;
}

bool HasAlternativeName(const ModuleState& m)
{
    return SameFileName(OwnModuleFileName(m), kAlternativeModuleName);
}

const char* ModelText() { return "Wren CIS600"; }
const char* DriverNameText() { return "Fenwick Wren card scanner"; }

} // namespace wren
