// Gamma downloads: the page's curves (or the black-and-white threshold), or identity.
#pragma once

#include "plover_state.h"

namespace plover {

void FillGammaTbl(PloverState& s, int mode);
void DownloadIdentityGamma(PloverState& s);

} // namespace plover
