// The calibration dialog: asks for the calibration sheet and lets the driver
// calibrate the scanner.
#pragma once

#include <windows.h>

// Runs the dialog modally over `parent`. IDOK once the dialog ended through a
// calibration attempt (also a skipped or failed one), IDCANCEL otherwise.
INT_PTR RunCalibrationDialog(HWND parent);
