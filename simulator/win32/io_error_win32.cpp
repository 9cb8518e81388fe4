// scansim.dll's io failures set the Win32 last error, as the usbscan calls they stand
// for do.
#include "io_error.h"

#include <windows.h>

namespace scansim {

void reportIoError(IoError error)
{
    switch (error) {
    case IoError::NoSuchDevice: SetLastError(ERROR_FILE_NOT_FOUND); break;
    case IoError::InvalidHandle: SetLastError(ERROR_INVALID_HANDLE); break;
    case IoError::NotConnected: SetLastError(ERROR_DEVICE_NOT_CONNECTED); break;
    case IoError::UnknownControl: SetLastError(ERROR_INVALID_FUNCTION); break;
    case IoError::BufferTooSmall: SetLastError(ERROR_INSUFFICIENT_BUFFER); break;
    case IoError::NoBuffer: SetLastError(ERROR_INVALID_PARAMETER); break;
    case IoError::OutOfMemory: SetLastError(ERROR_NOT_ENOUGH_MEMORY); break;
    }
}

} // namespace scansim
