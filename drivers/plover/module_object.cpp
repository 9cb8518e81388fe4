// The static object whose construction and destruction bracket the module's life.
#include "driver_state.h"

namespace {
struct PloverModule {
    PloverModule() { PloverModuleLoad(); }
    ~PloverModule() { PloverModuleUnload(); }
} g_module;
}
