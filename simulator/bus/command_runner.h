// Runs the command under umockdev's preload, so that it and its children see the
// testbed's devices, and waits for it.
#pragma once

#include <string>

namespace bus {

// argv: the command and its arguments, null-terminated; found on PATH. SIGINT, SIGTERM
// and SIGHUP sent to this process meanwhile go on to the command. Returns its exit
// status, 128 + the signal's number when a signal ended it, or 127 with the reason
// when it could not be started.
int RunUnderPreload(char* const argv[], std::string& error);

} // namespace bus
