#include "wren_state.h"

namespace wren {
ModuleState g_wren;
}
