// The static object whose construction and destruction bracket the module's life.
#include "win32_module.h"

namespace {
struct PloverModuleObject {
    PloverModuleObject() { PloverModuleLoad(); }
    ~PloverModuleObject()
    {
        PloverModuleUnload();
        PloverModuleRelease();
    }
} g_module;
}
