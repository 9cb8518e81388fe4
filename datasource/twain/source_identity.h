// The identity this source reports, and the names it is known by.
#pragma once

#include "twain/twain.h"

#define kManufacturer  "Norvale Inc."
#define kProductFamily "Vantor"
#define kProductName   "Zureruri Zedu"

void FillSourceIdentity(TW_IDENTITY* identity);
