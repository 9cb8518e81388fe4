#include "messages.h"

namespace {
PloverMessageHook g_messageHook = nullptr;
}

const char kCalibrationMessage[] =
    "To make sure you can always get the best scanned image quality,\n"
    "this calibration page will show up by the scanner driver periodically \n"
    "or when you press the 'Calibrate' button in the 'Custom Settng' page.\n"
    "Insert the Calibration Paper or a piece of bright white sheet of the same size.\n\n"
    "When ready, press the &OK button.";

void SetPloverMessageHook(PloverMessageHook hook) { g_messageHook = hook; }

int PloverMessageBox(const char* text, const char* caption, UINT type)
{
    if (g_messageHook)
        return g_messageHook(text, caption, type);
    return MessageBoxA(nullptr, text, caption, type);
}
