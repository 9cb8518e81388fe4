#include "messages.h"

namespace plover {

namespace {

const char kCalibrationMessage[] =
    "To make sure you can always get the best scanned image quality,\n"
    "this calibration page will show up by the scanner driver periodically \n"
    "or when you press the 'Calibrate' button in the 'Custom Settng' page.\n"
    "Insert the Calibration Paper or a piece of bright white sheet of the same size.\n\n"
    "When ready, press the &OK button.";

} // namespace

int Tell(const PloverState& s, const char* text, const char* caption)
{
    const platform::MessageOps& messages = s.platform->messages;
    return messages.tell(messages.context, text, caption, platform::MESSAGE_OK);
}

int TellCalibrationNeeded(const PloverState& s) { return Tell(s, kCalibrationMessage, ""); }

} // namespace plover
