// Why an io call failed, and the one platform seam of the simulator: how a failure
// reaches the caller (scansim.h lists the Win32 and errno values).
#pragma once

namespace scansim {

enum class IoError {
    NoSuchDevice,
    InvalidHandle,
    NotConnected,
    UnknownControl,
    BufferTooSmall,
    NoBuffer,
    OutOfMemory
};

// Records the failure for the calling thread; win32/ and posix/ implement it.
void reportIoError(IoError error);

} // namespace scansim
