// The register image of a programming, computed into the device unit's cache; writing
// it is a separate step (WriteRegisterImage). Keys of the settings file are read here
// as the registers need them, in this order, on every call.
#pragma once

#include "config.h"
#include "lm9831_register_image.h"
#include "page_geometry.h"

namespace plover {

// The registers every programming starts from: fixed values, the settings file's, and
// the clock of a page of `pageMode` at `resolution` (the record's). Other registers
// keep their values.
void SetInitialRegisters(lm9831::RegisterImage& r, const Config& config, int pageMode, int resolution);
// Pixel format, channel mode and illumination of the page's mode, and its divider code.
void SetModeRegisters(lm9831::RegisterImage& r, const PageGeometry& page);
// Master clock, integration and fast step size of a page scan.
void SetClockRegisters(lm9831::RegisterImage& r, const Config& config, const PageGeometry& page);
// The line window, buffer level, start steps and scan step size of the page.
void SetLineWindow(lm9831::RegisterImage& r, const PageGeometry& page);
// A page scan's motor switch ("Motor SW" 0: no motor control bits).
void SetMotorSwitch(lm9831::RegisterImage& r, const Config& config);

} // namespace plover
