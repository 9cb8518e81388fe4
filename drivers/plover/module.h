// The module's life and the chip's start registers.
#pragma once

#include "plover_state.h"

namespace plover {

// Binds the state to its platform, finds and initialises the scanner.
void Load(PloverState& s, const platform::Platform* os);
// Powers the scanner down and closes it.
void Unload(PloverState& s);

// The start registers into the cache, then the reset pair to the chip.
void Init9831(PloverState& s);

} // namespace plover
